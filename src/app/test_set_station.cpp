#include "app/test_set_station.h"

#include <filesystem>

#include "store/file_path.h"

namespace kv7 {

namespace {

constexpr const char* kTestSetSection = "TESTSET";
constexpr const char* kKeyAddress = "Address";
constexpr const char* kKeyProfile = "Profile";
constexpr const char* kFolder = "testsets";

}  // namespace

TestSetStation::TestSetStation(TickSource& ticks, const clsIndOp_RigKV7& controller,
                               clsCmcProfileIO& settings, MessageSink& messages)
    : settings_(settings),
      messages_(messages),
      testSet_(*this, ticks),
      monitor_(testSet_, *this, [&controller] { return controller.selectedTxFrequencyHz(); }) {}

std::string TestSetStation::profileFolder() const {
    return utf8FromPath(pathFromUtf8(settings_.FullPath()).parent_path() / kFolder);
}

void TestSetStation::load() {
    profiles_.load(profileFolder());
    testSet_.setProfiles(profiles_.profiles());
    if (!profiles_.refused().empty()) {
        std::string text = "These test-set profiles are not offered:";
        for (const std::string& r : profiles_.refused()) text += "\n" + r;
        messages_.showMessage(text);
    }
    settings_.setSection(kTestSetSection);
    std::string v;
    if (settings_.loadData(kKeyAddress, v, "")) address_ = v;
    v.clear();
    if (settings_.loadData(kKeyProfile, v, "")) profile_ = v;
}

bool TestSetStation::connect(const std::string& address, const std::string& profile) {
    const bool started = testSet_.connect(address, profile);
    trying_.reset();
    if (started) trying_.emplace(address, profile);
    keepAddressOnceReady();
    return started;
}

void TestSetStation::keepAddressOnceReady() {
    if (!trying_) return;
    switch (testSet_.state()) {
        case TestSet::State::Opening:
        case TestSet::State::Identifying:
        case TestSet::State::SettingUp: return;
        case TestSet::State::Disconnected:
        case TestSet::State::Failed: trying_.reset(); return;
        case TestSet::State::Ready: break;
    }
    const auto [address, profile] = *trying_;
    trying_.reset();
    if (address == address_ && profile == profile_) return;
    address_ = address;
    profile_ = profile;
    settings_.setSection(kTestSetSection);
    settings_.saveData(kKeyAddress, ProfileValue(address_));
    settings_.saveData(kKeyProfile, ProfileValue(profile_));
}

void TestSetStation::disconnect() {
    testSet_.disconnect();
    trying_.reset();
}

void TestSetStation::task() {
    testSet_.task();
    keepAddressOnceReady();
    monitor_.task();
}

std::unique_ptr<TestSetLink> TestSetStation::createLink(const TestSetAddress& address) {
    return links_ != nullptr ? links_->createLink(address) : nullptr;
}

void TestSetStation::showReadings(const TestSetReadings& readings) {
    keepAddressOnceReady();
    if (view_ != nullptr) view_->showReadings(readings);
}

}  // namespace kv7
