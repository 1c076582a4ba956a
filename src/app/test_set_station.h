#pragma once
#include <optional>
#include <string>
#include <utility>

#include "model/operation_controller.h"
#include "protocol/tick.h"
#include "store/message_sink.h"
#include "store/profile_io.h"
#include "testset/profile_library.h"
#include "testset/test_set.h"
#include "testset/test_set_monitor.h"

namespace kv7 {

// The bench's test set as the program holds it: the profiles on offer (built in, and the
// *.testset files of the folder "testsets" beside the settings file), the connection, the
// readings the test-set window shows, and the address and profile kept in the settings file.
class TestSetStation : private TestSetLinkFactory, private TestSetView {
  public:
    TestSetStation(TickSource& ticks, const clsIndOp_RigKV7& controller, clsCmcProfileIO& settings,
                   MessageSink& messages);

    // Where links come from (the platform's TCP and serial adapters); none: connecting fails.
    void setLinkFactory(TestSetLinkFactory* links) { links_ = links; }
    // The window that shows the readings; none: they are kept only.
    void setView(TestSetView* view) { view_ = view; }

    // At start-up: the profiles of the folder (a file that cannot be used is told, by its line)
    // and the stored address and profile.
    void load();
    // Connects to the address with the named profile ("" chooses by *IDN?); both go into the
    // settings file once the test set is ready, so an address that fails never replaces the
    // last good one. False with the reason in the test set's message when refused at once.
    bool connect(const std::string& address, const std::string& profile);
    void disconnect();
    // The heartbeat: the connection's time-outs, then the window's next reading.
    void task();

    TestSet& testSet() { return testSet_; }
    TestSetMonitor& monitor() { return monitor_; }
    const ProfileLibrary& profiles() const { return profiles_; }
    // The folder searched for profile files.
    std::string profileFolder() const;
    const std::string& storedAddress() const { return address_; }
    const std::string& storedProfile() const { return profile_; }

  private:
    std::unique_ptr<TestSetLink> createLink(const TestSetAddress& address) override;
    void showReadings(const TestSetReadings& readings) override;
    // Keeps the address being tried once it answers; forgets it when it fails.
    void keepAddressOnceReady();

    clsCmcProfileIO& settings_;
    MessageSink& messages_;
    TestSetLinkFactory* links_ = nullptr;
    TestSetView* view_ = nullptr;
    ProfileLibrary profiles_;
    TestSet testSet_;
    TestSetMonitor monitor_;
    std::string address_;
    std::string profile_;
    // The address and profile of the connection under way, not stored yet.
    std::optional<std::pair<std::string, std::string>> trying_;
};

}  // namespace kv7
