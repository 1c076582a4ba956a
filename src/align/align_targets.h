#pragma once
#include <array>
#include <optional>
#include <string>

#include "align/align_radio.h"
#include "model/alignment_record.h"
#include "testset/test_set_profile.h"

namespace kv7 {

// The points the program can align against the test set, in the order "All points" runs them.
enum class AlignPoint { PowerHi, PowerLo, Mod, Txf };
inline constexpr std::array<AlignPoint, 4> kAlignPoints = {AlignPoint::PowerHi, AlignPoint::PowerLo,
                                                           AlignPoint::Mod, AlignPoint::Txf};

// One point's section of the alignment file, in the program's units: W for power, Hz for
// deviation and frequency. TXF has no target of its own: each step aims at the frequency its
// TXF line shows.
struct AlignTarget {
    double target = 0;
    double tolerance = 0;
    int maxSteps = 12;     // readings of the search
    int maxKeyTimeS = 60;  // transmission before the run pauses
    std::string note;      // shown before the run (MOD: the audio to feed)
};

struct AlignTargets {
    std::array<std::optional<AlignTarget>, kAlignPoints.size()> points;
    const std::optional<AlignTarget>& of(AlignPoint p) const {
        return points[static_cast<size_t>(p)];
    }
};

struct AlignTargetsParse {
    std::optional<AlignTargets> targets;
    std::string error;  // "FILE line N: what is wrong" when refused
};

// Reads the alignment file; a fault anywhere refuses the whole file.
AlignTargetsParse ParseAlignTargets(const std::string& text, const std::string& fileName);

// The section name ("Power(Hi)", "Power(LO)", "MOD", "TXF").
const char* AlignPointName(AlignPoint p);
// The point's item.
AlignItem AlignItemOf(AlignPoint p);
// What the test set measures for the point.
Quantity AlignQuantity(AlignPoint p);
// How the point's readings are shown.
AlignMeasure AlignMeasureOf(AlignPoint p);

}  // namespace kv7
