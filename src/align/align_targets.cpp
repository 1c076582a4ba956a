#include "align/align_targets.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "store/ini_text.h"
#include "testset/test_set_number.h"

namespace kv7 {

namespace {

constexpr size_t kMaxLine = 1024;

struct PointInfo {
    AlignPoint point;
    const char* section;  // upper-case, as the reader hands it over
    const char* name;
    AlignItem item;
    Quantity quantity;
    const char* unit;  // of Target= and Tolerance= in the file
    double scale;      // file unit to the program's unit
    double maxTarget;  // in the file's unit
    // The widest Tolerance= in the file's unit; 0 where it must be below the target instead.
    double maxTolerance;
};

constexpr PointInfo kInfo[] = {
    {AlignPoint::PowerHi, "POWER(HI)", "Power(Hi)", AlignItem::PowerHi, Quantity::Power, "W", 1,
     100, 0},
    {AlignPoint::PowerLo, "POWER(LO)", "Power(LO)", AlignItem::PowerLo, Quantity::Power, "W", 1,
     100, 0},
    {AlignPoint::Mod, "MOD", "MOD", AlignItem::Mod, Quantity::Deviation, "kHz", 1e3, 25, 0},
    // A frequency error beyond 1 kHz is no alignment of the reference any more.
    {AlignPoint::Txf, "TXF", "TXF", AlignItem::Txf, Quantity::Frequency, "Hz", 1, 0, 1000},
};

const PointInfo& info(AlignPoint p) {
    return kInfo[static_cast<size_t>(p)];
}

// Takes the file's lines one point at a time.
class TargetsReader {
  public:
    explicit TargetsReader(std::string fileName) : file_(std::move(fileName)) {}

    AlignTargetsParse read(const std::string& text) {
        IniTextHandlers handlers{
            [this](const std::string& s, int line) { return section(s, line); },
            [this](const std::string& k, const std::string& v) { return key(k, v); }};
        std::string error = ReadIniText(text, file_, kMaxLine, handlers);
        if (error.empty()) error = complete();
        if (!error.empty()) return {std::nullopt, error};
        return {targets_, {}};
    }

  private:
    std::string section(const std::string& name, int line) {
        current_ = nullptr;
        for (const PointInfo& i : kInfo) {
            if (name == i.section) current_ = &i;
        }
        if (current_ == nullptr) {
            return "unknown section [" + name + "] (Power(Hi), Power(LO), MOD, TXF)";
        }
        targets_.points[static_cast<size_t>(current_->point)] = AlignTarget{};
        sectionLine_[static_cast<size_t>(current_->point)] = line;
        return {};
    }

    std::string key(const std::string& key, const std::string& value) {
        AlignTarget& t = *targets_.points[static_cast<size_t>(current_->point)];
        const std::string where = std::string(" in [") + current_->name + "]";
        if (key == "TARGET") {
            if (current_->point == AlignPoint::Txf) {
                return "[TXF] takes no Target=: each step aims at the frequency its TXF line shows";
            }
            const std::optional<double> v = ParseNumber(value);
            if (!v || *v <= 0 || *v > current_->maxTarget) {
                return std::string("Target= must be above 0 and at most ") +
                       number(current_->maxTarget) + " " + current_->unit + where;
            }
            t.target = *v * current_->scale;
        } else if (key == "TOLERANCE") {
            const std::optional<double> v = ParseNumber(value);
            const double most = current_->maxTolerance;
            if (!v || *v <= 0 || (most > 0 && *v > most)) {
                return std::string("Tolerance= must be above 0") +
                       (most > 0 ? " and at most " + number(most) : std::string()) + " " +
                       current_->unit + where;
            }
            t.tolerance = *v * current_->scale;
        } else if (key == "MAXSTEPS") {
            if (!IniInt(value, 2, 50, t.maxSteps)) return "MaxSteps= must be 2 to 50" + where;
        } else if (key == "MAXKEYTIME") {
            if (!IniInt(value, 5, 600, t.maxKeyTimeS)) {
                return "MaxKeyTime= must be 5 to 600 seconds" + where;
            }
        } else if (key == "NOTE") {
            t.note = value;
        } else {
            return "unknown key " + key + "=" + where;
        }
        // A tolerance as wide as the target would pass a point that gives nothing at all; told
        // on the line of whichever of the two comes second.
        if (t.target > 0 && t.tolerance >= t.target) {
            return "Tolerance= must be below Target= (" + number(t.target / current_->scale) + " " +
                   current_->unit + ")" + where;
        }
        return {};
    }

    // Every section needs its tolerance, and all but TXF a target.
    std::string complete() {
        for (const PointInfo& i : kInfo) {
            const std::optional<AlignTarget>& t = targets_.of(i.point);
            if (!t) continue;
            if (i.point != AlignPoint::Txf && t->target <= 0) {
                return fault(i, std::string("[") + i.name + "] has no Target=");
            }
            if (t->tolerance <= 0)
                return fault(i, std::string("[") + i.name + "] has no Tolerance=");
        }
        return {};
    }

    std::string fault(const PointInfo& i, const std::string& what) {
        return IniFault(file_, sectionLine_[static_cast<size_t>(i.point)], what);
    }

    static std::string number(double v) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%g", v);
        return buf;
    }

    std::string file_;
    AlignTargets targets_;
    const PointInfo* current_ = nullptr;
    std::array<int, kAlignPoints.size()> sectionLine_{};
};

}  // namespace

AlignTargetsParse ParseAlignTargets(const std::string& text, const std::string& fileName) {
    return TargetsReader(fileName).read(text);
}

const char* AlignPointName(AlignPoint p) {
    return info(p).name;
}

AlignItem AlignItemOf(AlignPoint p) {
    return info(p).item;
}

Quantity AlignQuantity(AlignPoint p) {
    return info(p).quantity;
}

AlignMeasure AlignMeasureOf(AlignPoint p) {
    switch (AlignQuantity(p)) {
        case Quantity::Power: return AlignMeasure::Power;
        case Quantity::Deviation: return AlignMeasure::Deviation;
        default: return AlignMeasure::Frequency;
    }
}

}  // namespace kv7
