#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <random>
#include <string>

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
    static constexpr const char* kIdentity = "KV7 Bench,Simulated Test Set,0,1.0";

    explicit SimTestSet(Source source, SimTestSetFault fault = SimTestSetFault::None,
                        uint32_t seed = 1);

    // Bytes from the program; returns what the instrument sends back (possibly nothing).
    std::string receive(const std::string& bytes);
    void setFault(SimTestSetFault fault) { fault_ = fault; }

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
    void line(const std::string& text, std::string& out);
    std::optional<std::string> execute(Op op, const std::string& param);
    std::optional<std::string> measure(Op op, const std::string& param);
    std::string garbage();
    void pushError(int code, const char* text);
    double gauss() { return normal_(random_); }

    Source source_;
    SimTestSetFault fault_;
    std::mt19937 random_;
    std::normal_distribution<double> normal_{0.0, 1.0};
    std::string partial_;
    bool overrun_ = false;
    std::deque<std::string> errors_;
    std::optional<double> referenceHz_;
};

}  // namespace kv7::sim
