#include "testset/test_set.h"

#include <cmath>

#include "testset/test_set_number.h"

namespace kv7 {

namespace {

constexpr const char* kErrorQuery = "SYST:ERR?";
constexpr size_t kMaxIdentity = 200;
constexpr const char* kNoTxFrequency =
    "there is no transmit frequency to measure against (read the radio and select a channel)";

bool usesFrequency(const QuantityProfile& qp) {
    for (const std::string& c : qp.setup) {
        if (c.find("{FREQ_") != std::string::npos) return true;
    }
    return false;
}

std::string joined(const std::vector<std::string>& commands) {
    std::string out;
    for (const std::string& c : commands) out += (out.empty() ? "" : " | ") + c;
    return out;
}

Reading noReading(TestSetFault fault, const std::string& reason) {
    Reading r;
    r.reason = reason;
    r.fault = fault;
    return r;
}

// Collects the answers of one measurement: the error check after its setup, if any, and the
// readings it averages.
struct Collector {
    Quantity q = Quantity::Power;
    QuantityProfile qp;
    std::optional<double> channelHz;
    int remaining = 0;
    int valid = 0;
    double sum = 0;
    std::string reason;  // the first thing that spoilt it
    TestSetFault fault = TestSetFault::None;
    TestSet::ReadingHandler done;

    void spoil(TestSetFault kind, const std::string& why) {
        if (!reason.empty()) return;
        reason = why;
        fault = kind;
    }
    void takeErrorCheck(const ScpiReply& reply, const std::string& setup) {
        if (!reply.ok()) {
            spoil(reply.kind, reply.fault);
        } else if (const std::optional<long> code = ScpiErrorCode(reply.line); !code) {
            spoil(TestSetFault::Unparsable,
                  "the answer to SYST:ERR? is not an error report: " + QuotedReply(reply.line));
        } else if (*code != 0) {
            spoil(TestSetFault::InstrumentError,
                  "the test set reports " + QuotedReply(reply.line) + " after '" + setup + "'");
        }
        finishOne();
    }
    void takeReading(const ScpiReply& reply) {
        if (!reply.ok()) {
            spoil(reply.kind, reply.fault);
        } else if (const Reading r = ParseReading(reply.line, qp); !r.valid) {
            spoil(r.fault, r.reason);
        } else if (const std::string why = ImplausibleReason(q, r.value, qp, channelHz);
                   !why.empty()) {
            // Never a reading: not for the window, a search, a record or a chart.
            spoil(TestSetFault::Implausible, why);
        } else {
            sum += r.value;
            ++valid;
        }
        finishOne();
    }
    void finishOne() {
        if (--remaining > 0) return;
        Reading r;
        if (reason.empty() && valid > 0) {
            r.valid = true;
            r.value = sum / valid;
        } else {
            r.reason = reason;
            r.fault = fault;
        }
        done(r);
    }
};

}  // namespace

std::optional<long> ScpiErrorCode(const std::string& reply) {
    const std::optional<double> v = ParseNumber(reply.substr(0, reply.find(',')));
    if (!v || *v != std::floor(*v) || std::fabs(*v) > 1e6) return std::nullopt;
    return static_cast<long>(*v);
}

TestSet::TestSet(TestSetLinkFactory& links, TickSource& ticks, ScpiTiming timing)
    : links_(links), ticks_(ticks), timing_(timing), profiles_{GenericScpiProfile()} {}

TestSet::~TestSet() = default;

void TestSet::setProfiles(std::vector<TestSetProfile> profiles) {
    profiles_ = std::move(profiles);
}

bool TestSet::connect(const std::string& addressText, const std::string& profileName) {
    disconnect();
    ++connections_;
    const AddressParse a = ParseTestSetAddress(addressText);
    if (!a.address) {
        enter(State::Failed, a.error, TestSetFault::NotReady);
        return false;
    }
    address_ = a.address->text();
    bool known = profileName.empty();
    for (const TestSetProfile& p : profiles_) known = known || p.name == profileName;
    if (!known) {
        enter(State::Failed, "No test set profile is named '" + profileName + "'.",
              TestSetFault::NotReady);
        return false;
    }
    chosenName_ = profileName;
    connection_.link = links_.createLink(*a.address);
    if (!connection_.link) {
        enter(State::Failed, "The test set at " + address_ + " cannot be opened here.",
              TestSetFault::LinkBroken);
        return false;
    }
    ScpiExchangeEvents& events = *this;
    connection_.exchange =
        std::make_unique<ScpiExchange>(*connection_.link, ticks_, events, timing_);
    enter(State::Opening);
    connection_.exchange->open();
    return state_ != State::Failed;
}

void TestSet::disconnect() {
    if (connection_.exchange) {
        // Any measurement still waiting hears of it; the objects live until the next task(),
        // as this may run inside one of their own reports.
        connection_.exchange->close();
        retired_.push_back(std::move(connection_));
        connection_ = {};
    }
    identity_.clear();
    profile_.reset();
    configured_.reset();
    enter(State::Disconnected);
}

void TestSet::task() {
    retired_.clear();
    std::vector<std::function<void()>> due = std::move(deferred_);
    deferred_.clear();
    for (auto& call : due) call();
    if (connection_.exchange) connection_.exchange->task();
}

void TestSet::later(std::function<void()> call) {
    deferred_.push_back(std::move(call));
}

void TestSet::enter(State s, const std::string& message, TestSetFault fault) {
    state_ = s;
    message_ = message;
    fault_ = s == State::Failed ? fault : TestSetFault::None;
}

std::string TestSet::stateText() const {
    switch (state_) {
        case State::Disconnected: return "Disconnected";
        case State::Opening: return "Connecting to " + address_;
        case State::Identifying: return "Identifying the test set at " + address_;
        case State::SettingUp: return "Setting up " + profile_->name + " at " + address_;
        case State::Ready: return "Connected to " + address_ + " (" + profile_->name + ")";
        case State::Failed: return message_;
    }
    return {};
}

const TestSetProfile* TestSet::profile() const {
    return profile_ ? &*profile_ : nullptr;
}

// ---- the connection's steps ----

void TestSet::onExchangeOpened() {
    enter(State::Identifying);
    connection_.exchange->query("*IDN?", [this](const ScpiReply& r) { advance(r); });
}

void TestSet::onExchangeFailed(TestSetFault kind, const std::string& message) {
    enter(State::Failed, message, kind);
}

void TestSet::advance(const ScpiReply& reply) {
    if (state_ != State::Identifying && state_ != State::SettingUp) return;  // over already
    if (!reply.ok()) {
        const std::string asked = state_ == State::Identifying ? "*IDN?" : kErrorQuery;
        enter(State::Failed,
              "The test set's answer to " + asked + " is unusable: " + reply.fault + ".",
              reply.kind);
        connection_.exchange->close(message_);
        return;
    }
    switch (state_) {
        case State::Identifying: chooseProfile(reply.line); return;
        case State::SettingUp: checkSetup(reply.line); return;
        default: return;
    }
}

void TestSet::chooseProfile(const std::string& idn) {
    identity_ = PrintableText(idn, kMaxIdentity);  // shown in the window
    const TestSetProfile* chosen = nullptr;
    for (const TestSetProfile& p : profiles_) {
        const bool fits = chosenName_.empty() ? ProfileMatches(p, idn) : p.name == chosenName_;
        if (fits && chosen == nullptr) chosen = &p;
    }
    profile_ = chosen != nullptr ? *chosen : GenericScpiProfile();
    configured_.reset();
    enter(State::SettingUp);
    for (const std::string& c : profile_->setup) connection_.exchange->command(c);
    connection_.exchange->query(kErrorQuery, [this](const ScpiReply& r) { advance(r); });
}

void TestSet::checkSetup(const std::string& errorReply) {
    const std::optional<long> code = ScpiErrorCode(errorReply);
    if (code && *code == 0) return enter(State::Ready);
    if (!code) {
        enter(State::Failed,
              "The test set's answer to SYST:ERR? is not an error report: " +
                  QuotedReply(errorReply) + ".",
              TestSetFault::Unparsable);
    } else {
        const std::string setup =
            profile_->setup.empty() ? std::string("*IDN?") : joined(profile_->setup);
        enter(State::Failed,
              "The test set reports " + QuotedReply(errorReply) + " after '" + setup +
                  "' (profile " + profile_->name + ").",
              TestSetFault::InstrumentError);
    }
    connection_.exchange->close(message_);
}

// ---- measuring ----

bool TestSet::needsSetup(Quantity q, const QuantityProfile& qp,
                         std::optional<double> txFreqHz) const {
    if (qp.setup.empty()) return false;
    if (configured_ != q) return true;
    return usesFrequency(qp) && configuredFreqHz_ != txFreqHz;
}

bool TestSet::measure(Quantity q, std::optional<double> txFreqHz, ReadingHandler done) {
    if (state_ != State::Ready || !profile_->of(q)) return false;
    const QuantityProfile& qp = *profile_->of(q);
    if (usesFrequency(qp) && !txFreqHz) {
        later([done] { done(noReading(TestSetFault::NoMeasurement, kNoTxFrequency)); });
        return true;
    }
    auto c = std::make_shared<Collector>();
    c->q = q;
    c->qp = qp;
    c->channelHz = txFreqHz;
    c->done = std::move(done);
    c->remaining = qp.average;
    ScpiExchange& x = *connection_.exchange;
    if (needsSetup(q, qp, txFreqHz)) {
        std::vector<std::string> setup;
        for (const std::string& s : qp.setup) {
            setup.push_back(ExpandFrequency(s, txFreqHz.value_or(0)));  // none: no {FREQ_...}
        }
        ++c->remaining;
        configured_ = q;
        configuredFreqHz_ = usesFrequency(qp) ? txFreqHz : std::nullopt;
        for (const std::string& s : setup) x.command(s);
        x.query(kErrorQuery, [this, c, s = joined(setup)](const ScpiReply& r) {
            // A setup the test set did not take is sent again before the next reading.
            if ((r.ok() ? ScpiErrorCode(r.line) : std::nullopt) != 0L) configured_.reset();
            c->takeErrorCheck(r, s);
        });
    }
    for (int i = 0; i < qp.average; ++i) {
        x.query(
            qp.query, [c](const ScpiReply& r) { c->takeReading(r); }, true);
    }
    return true;
}

bool TestSet::measureFrequency(std::optional<double> txFreqHz, FrequencyHandler done) {
    if (state_ != State::Ready) return false;
    const bool hasError = profile_->of(Quantity::FreqError).has_value();
    const bool hasCarrier = profile_->of(Quantity::Frequency).has_value();
    if (hasError && (txFreqHz || !hasCarrier)) {
        if (!txFreqHz) {
            later([done] {
                const Reading none = noReading(TestSetFault::NoMeasurement, kNoTxFrequency);
                done({none, none});
            });
            return true;
        }
        return measure(Quantity::FreqError, txFreqHz, [done, f = *txFreqHz](const Reading& r) {
            FrequencyReading fr{r, r};
            fr.carrier.value = f + r.value;
            done(fr);
        });
    }
    return measure(Quantity::Frequency, txFreqHz, [done, txFreqHz](const Reading& r) {
        FrequencyReading fr{r, r};
        if (!txFreqHz && r.valid) {
            fr.error = noReading(TestSetFault::NoMeasurement, kNoTxFrequency);
        }
        if (txFreqHz) fr.error.value = r.value - *txFreqHz;
        done(fr);
    });
}

int32_t TestSet::settleMs(Quantity q) const {
    const TestSetProfile& p = profile_ ? *profile_ : GenericScpiProfile();
    // The carrier frequency is measured by whichever of its two sections the profile has.
    if (!p.of(q) && (q == Quantity::Frequency || q == Quantity::FreqError)) {
        q = q == Quantity::Frequency ? Quantity::FreqError : Quantity::Frequency;
    }
    return p.of(q) ? p.of(q)->settleMs : 0;
}

double TestSet::carrierW() const {
    const TestSetProfile& p = profile_ ? *profile_ : GenericScpiProfile();
    return p.of(Quantity::Power)->carrierW;
}

}  // namespace kv7
