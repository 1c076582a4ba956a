#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/tick.h"
#include "testset/scpi_exchange.h"
#include "testset/test_set_address.h"
#include "testset/test_set_link.h"
#include "testset/test_set_profile.h"
#include "testset/test_set_reading.h"

namespace kv7 {

// The carrier frequency and its error against the channel's transmit frequency, whichever of
// the two the instrument measures.
struct FrequencyReading {
    Reading carrier;  // Hz
    Reading error;    // Hz, carrier minus the channel's transmit frequency
};

// The connection to the test set: opened, identified by *IDN?, set up with its profile, then
// measuring on request. One thread; task() on the program's heartbeat.
class TestSet : private ScpiExchangeEvents {
  public:
    enum class State { Disconnected, Opening, Identifying, SettingUp, Ready, Failed };
    using ReadingHandler = std::function<void(const Reading&)>;
    using FrequencyHandler = std::function<void(const FrequencyReading&)>;

    TestSet(TestSetLinkFactory& links, TickSource& ticks, ScpiTiming timing = {});
    ~TestSet() override;
    TestSet(const TestSet&) = delete;
    TestSet& operator=(const TestSet&) = delete;

    // The profiles on offer (the library's); "Generic SCPI" alone until this is called.
    void setProfiles(std::vector<TestSetProfile> profiles);
    // Starts a connection to the typed address with the named profile, or with the first whose
    // Match= is in the *IDN? answer (else "Generic SCPI") when the name is empty. A refused
    // address or an unknown profile name fails at once: false, the reason in message().
    bool connect(const std::string& address, const std::string& profileName = {});
    void disconnect();
    void task();

    State state() const { return state_; }
    // What the window shows for the state: "Disconnected", "Connecting to ...", the failure.
    std::string stateText() const;
    const std::string& message() const { return message_; }    // the failure, when Failed
    TestSetFault fault() const { return fault_; }              // its kind
    const std::string& identity() const { return identity_; }  // the *IDN? answer
    // The profile in use, from the identification on; nullptr before.
    const TestSetProfile* profile() const;
    const std::string& address() const { return address_; }

    // One reading of a quantity the profile has, averaged as it says; txFreqHz fills
    // {FREQ_HZ}/{FREQ_MHZ}. Its setup is sent before the first reading, when the frequency
    // changes and when another quantity's setup came between. False (and no call) unless
    // Ready and the profile has the quantity; otherwise `done` is called exactly once, with
    // "no reading" and the reason when the connection ends first.
    bool measure(Quantity q, std::optional<double> txFreqHz, ReadingHandler done);
    // The carrier and its error against txFreqHz, from [FREQERROR] or [FREQUENCY].
    bool measureFrequency(std::optional<double> txFreqHz, FrequencyHandler done);

    // Wait after a change of the radio before a reading of q is good (the profile's Settle=).
    int32_t settleMs(Quantity q) const;
    double carrierW() const;  // below this power there is no carrier
    // Counts the connections made: readings of one count came over one exchange, in step.
    uint32_t connection() const { return connections_; }

  private:
    struct Connection {
        std::unique_ptr<TestSetLink> link;
        std::unique_ptr<ScpiExchange> exchange;
    };

    void onExchangeOpened() override;
    void onExchangeFailed(TestSetFault kind, const std::string& message) override;
    // The connection's steps: each answer moves it on from the state it was asked in.
    void advance(const ScpiReply& reply);
    void chooseProfile(const std::string& idn);
    void checkSetup(const std::string& errorReply);
    void enter(State s, const std::string& message = {}, TestSetFault fault = TestSetFault::None);
    bool needsSetup(Quantity q, const QuantityProfile& qp, std::optional<double> txFreqHz) const;
    void later(std::function<void()> call);

    TestSetLinkFactory& links_;
    TickSource& ticks_;
    ScpiTiming timing_;
    std::vector<TestSetProfile> profiles_;
    State state_ = State::Disconnected;
    std::string message_;
    uint32_t connections_ = 0;
    TestSetFault fault_ = TestSetFault::None;
    std::string address_;
    std::string chosenName_;
    std::string identity_;
    std::optional<TestSetProfile> profile_;
    Connection connection_;
    // Connections replaced or ended from inside their own reports, freed on the next task().
    std::vector<Connection> retired_;
    std::vector<std::function<void()>> deferred_;  // results known without asking the instrument

    // The setup the instrument holds now: its quantity and the frequency it was made for.
    std::optional<Quantity> configured_;
    std::optional<double> configuredFreqHz_;
};

// The answer to SYST:ERR?: 0 for none; none when it is no error report.
std::optional<long> ScpiErrorCode(const std::string& reply);

}  // namespace kv7
