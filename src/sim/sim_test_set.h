#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "sim/sim_options.h"
#include "sim/sim_transmitter.h"

namespace kv7::sim {

// A communications test set that measures the simulated transmitter and speaks the SCPI the
// built-in "Generic SCPI" profile uses (the README lists the dialect). Lines end with LF (a CR
// before it is dropped); several commands may share a line, separated by ';', and the answers
// to the queries among them share one reply line the same way. A command it does not know, or
// a query with a bad parameter, is not answered and leaves an error for SYST:ERR?.
class SimTestSet {
  public:
    using Source = std::function<Emission()>;
    // Each reading it answers: the quantity and the answer as sent.
    using MeasureListener = std::function<void(SimQuantity, const std::string&)>;
    static constexpr const char* kIdentity = "KV7 Bench,Simulated Test Set,0,1.0";

    explicit SimTestSet(Source source, SimTestSetFault fault = SimTestSetFault::None,
                        uint32_t seed = 1);

    // What the instrument sends back, piece by piece: each is held delayMs after the bytes
    // that asked for it came in, and none overtakes the one before it.
    struct Piece {
        std::string text;
        int32_t delayMs = 0;
    };
    std::vector<Piece> receiveTimed(const std::string& bytes);
    // Bytes from the program; returns what the instrument sends back (possibly nothing), late
    // answers included.
    std::string receive(const std::string& bytes);
    void setFault(SimTestSetFault fault) { fault_ = fault; }
    void setBenchFaults(SimBenchFaults faults) { bench_ = std::move(faults); }
    void setMeasureListener(MeasureListener listener) { listener_ = std::move(listener); }

    // What it can be asked to do.
    enum class Op {
        Identify,
        Clear,
        Reset,
        OperationComplete,
        NextError,
        ConfigurePower,
        ConfigureFrequency,
        ConfigureReference,
        ConfigureDeviation,
        MeasurePower,
        MeasureFrequency,
        MeasureFreqError,
        MeasureDeviation,
    };

  private:
    void line(const std::string& text, std::vector<Piece>& out);
    std::optional<std::string> execute(Op op, const std::string& param);
    std::optional<std::string> measure(Op op, const std::string& param);
    // The answer as the faults asked for on request make it; `base` is the true reading in W
    // or Hz, `scale` the base units per unit answered in (dBm: 0). Only readings of a carrier
    // count toward a fault's K-th answer.
    std::string answer(SimQuantity q, double base, double scale, bool carrier = true);
    std::string garbage();
    void pushError(int code, const char* text);
    double gauss() { return normal_(random_); }

    Source source_;
    SimTestSetFault fault_;
    SimBenchFaults bench_;
    MeasureListener listener_;
    std::array<int32_t, 4> answered_{};  // per quantity
    // What the answers of the line being served need: its delay, a stray line after it.
    int32_t lateMs_ = 0;
    std::optional<std::string> stray_;
    std::mt19937 random_;
    std::normal_distribution<double> normal_{0.0, 1.0};
    std::string partial_;
    bool overrun_ = false;
    std::deque<std::string> errors_;
    std::optional<double> referenceHz_;
};

}  // namespace kv7::sim
