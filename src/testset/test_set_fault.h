#pragma once

namespace kv7 {

// What kind of thing went wrong with the test set, beside the sentence that says it, so the
// alignment and the window act on the kind instead of guessing it from the state.
enum class TestSetFault {
    None,
    TimeOut,          // a query not answered, or the connection not accepted, in time
    LinkBroken,       // the connection could not be made, or broke
    Unasked,          // a line nobody asked for: the answers fell out of step with the queries
    OverLong,         // a reply or what the instrument sent at once beyond its limit
    InstrumentError,  // the instrument reports an error (SYST:ERR?)
    Unparsable,       // a reply that is not the number asked for
    Implausible,      // a number beyond what a bench can measure
    NoMeasurement,    // the instrument says it has no measurement (no carrier)
    NotReady,         // no connection to measure over, or it was ended
};

// True for a fault after which the connection is over: nothing more will come of asking again.
constexpr bool EndsConnection(TestSetFault f) {
    switch (f) {
        case TestSetFault::TimeOut:
        case TestSetFault::LinkBroken:
        case TestSetFault::Unasked:
        case TestSetFault::NotReady: return true;
        default: return false;
    }
}

}  // namespace kv7
