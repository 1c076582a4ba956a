// The test set layer against the simulated bench in the same process, in virtual time.
#include "testset/test_set.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>

#include "sim/sim_radio.h"
#include "sim/sim_test_set.h"
#include "sim/sim_test_set_link.h"
#include "sim/sim_transmitter.h"
#include "sim/support/sim_bench.h"
#include "testset/profile_library.h"
#include "testset/test_set_monitor.h"

namespace kv7 {
namespace {

using simtest::adjustRequest;
constexpr double kChannel0Hz = 146.25e6;

struct RecordingView : TestSetView {
    void showReadings(const TestSetReadings& r) override { shown.push_back(r); }
    std::vector<TestSetReadings> shown;
};

// The radio keyed on memory channel 0 (146.250 MHz, high power, the sample image's values),
// the simulated test set measuring it, and the program's side on a 50 ms heartbeat.
struct Rig {
    explicit Rig(sim::SimOptions o = keyed()) : radio(clock, o) {
        radio.receive(adjustRequest(0, 1));
    }
    static sim::SimOptions keyed() {
        sim::SimOptions o = simtest::Bench::unpaced();
        o.ptt = true;
        return o;
    }
    void run(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 10) {
            clock.advance(10);
            links.pump();
            if ((clock.GetTickCount() - 1000) % 50 == 0) {
                testSet.task();
                if (monitoring) monitor.task();
            }
        }
    }
    bool runUntil(const std::function<bool()>& done, int32_t ms = 10000) {
        for (int32_t t = 0; t < ms && !done(); t += 10) run(10);
        return done();
    }
    bool ready() {
        return runUntil([&] { return testSet.state() == TestSet::State::Ready; });
    }
    Reading measure(Quantity q, std::optional<double> f = kChannel0Hz) {
        Reading got;
        bool in = false;
        EXPECT_TRUE(testSet.measure(q, f, [&](const Reading& r) { got = r, in = true; }));
        EXPECT_TRUE(runUntil([&] { return in; }));
        return got;
    }

    ManualTickSource clock{1000};
    sim::SimRadio radio;
    sim::SimTransmitter transmitter{radio, clock};
    sim::SimTestSetLinks links{clock, [this] { return transmitter.emission(); }};
    TestSet testSet{links, clock};
    RecordingView view;
    bool monitoring = false;  // the window's readings run beside what the test measures
    std::optional<double> txFreqHz = kChannel0Hz;
    TestSetMonitor monitor{testSet, view, [this] { return txFreqHz; }};
};

TEST(TestSet, AQueryNotAnsweredInTimeEndsTheConnectionAndALateAnswerIsNeverTaken) {
    struct Row {
        const char* name;
        std::function<void(sim::SimTestSetLinks&)> bench;
        TestSet::State state;
        std::string message;
        int32_t atMs;  // when it ends, after the connection opened
    } rows[] = {
        {"prompt", [](auto&) {}, TestSet::State::Ready, "", 0},
        {"slow but in time", [](auto& l) { l.setReplyDelayMs(1900); }, TestSet::State::Ready, "",
         0},
        {"late", [](auto& l) { l.setReplyDelayMs(2500); }, TestSet::State::Failed,
         "The test set did not answer '*IDN?' within 2 s.", 2000},
        {"silent", [](auto& l) { l.setFault(sim::SimTestSetFault::Silent); },
         TestSet::State::Failed, "The test set did not answer '*IDN?' within 2 s.", 2000},
        {"refused", [](auto& l) { l.setRefuse(true); }, TestSet::State::Failed,
         "The test set cannot be reached: Connection refused.", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        row.bench(rig.links);
        ASSERT_TRUE(rig.testSet.connect("127.0.0.1"));
        EXPECT_EQ(rig.testSet.stateText(), "Connecting to 127.0.0.1:5025");
        rig.runUntil([&] { return rig.testSet.state() != TestSet::State::Opening; });
        rig.run(6000);  // long past any late answer
        EXPECT_EQ(rig.testSet.state(), row.state);
        EXPECT_EQ(rig.testSet.message(), row.message);
        if (row.atMs > 0) {
            // The heartbeat notices within one beat of the time-out.
            Rig again;
            row.bench(again.links);
            again.testSet.connect("127.0.0.1");
            again.runUntil([&] { return again.testSet.state() == TestSet::State::Identifying; });
            again.run(row.atMs - 60);
            EXPECT_EQ(again.testSet.state(), TestSet::State::Identifying);
            again.run(110);
            EXPECT_EQ(again.testSet.state(), TestSet::State::Failed);
        }
    }

    // Ready, then the instrument falls silent: the measurement waiting hears why.
    Rig rig;
    ASSERT_TRUE(rig.testSet.connect("localhost:5025") && rig.ready());
    EXPECT_TRUE(rig.measure(Quantity::Power).valid);
    rig.links.setFault(sim::SimTestSetFault::Silent);
    const Reading r = rig.measure(Quantity::Power);
    EXPECT_FALSE(r.valid);
    EXPECT_EQ(r.reason, "The test set did not answer 'MEAS:POW?' within 2 s.");
    EXPECT_EQ(rig.testSet.state(), TestSet::State::Failed);
}

TEST(TestSetMonitor, ShowsEachStateAndTheReadingsOfTheKeyedTransmitter) {
    sim::SimOptions o = Rig::keyed();
    o.pttReleaseAfterS = 8;  // the technician lets go of the key
    Rig rig(o);
    rig.monitoring = true;
    rig.monitor.task();
    EXPECT_EQ(rig.view.shown.back().status, "Disconnected");
    rig.testSet.connect("127.0.0.1:5025");
    rig.monitor.task();
    EXPECT_EQ(rig.view.shown.back().status, "Connecting to 127.0.0.1:5025");
    ASSERT_TRUE(rig.ready());

    // Six readings on, each quantity has been read again after whatever came before.
    auto fresh = [&] {
        const size_t from = rig.view.shown.size();
        EXPECT_TRUE(rig.runUntil([&] { return rig.view.shown.size() >= from + 6; }));
        return rig.view.shown.back();
    };
    TestSetReadings r = fresh();
    EXPECT_EQ(r.status, "Connected to 127.0.0.1:5025 (Generic SCPI)");
    EXPECT_TRUE(r.carrier);
    EXPECT_NEAR(r.power.value, sim::SimTransmitter::powerHiW(200), 0.03 * r.power.value);
    EXPECT_NEAR(r.freqError.value, rig.radio.txFrequencyHz() - kChannel0Hz, 10);
    EXPECT_NEAR(r.frequency.value, rig.radio.txFrequencyHz(), 10);
    EXPECT_NEAR(r.deviation.value, sim::SimTransmitter::deviationHz(134), 0.05 * r.deviation.value);

    // Another channel at low power, on the next cycles.
    rig.radio.receive(adjustRequest(0, 2));  // channel 1: 146.520 MHz, low power
    rig.txFreqHz = 146.52e6;
    r = fresh();
    EXPECT_NEAR(r.power.value, sim::SimTransmitter::powerLoW(80), 0.03 * r.power.value);
    EXPECT_NEAR(r.freqError.value, rig.radio.txFrequencyHz() - 146.52e6, 10);

    // No channel known to measure against: the frequency error cannot be had.
    rig.txFreqHz.reset();
    r = fresh();
    EXPECT_EQ(r.status.rfind("No reading of the frequency: there is no transmit frequency", 0), 0u)
        << r.status;

    // Paused, nothing more is asked.
    rig.monitor.setPaused(true);
    rig.run(500);
    const std::string asked = rig.links.last()->written();
    rig.run(2000);
    EXPECT_EQ(rig.links.last()->written(), asked);
    EXPECT_EQ(rig.view.shown.back().status, "Paused while the alignment measures");
    rig.monitor.setPaused(false);

    // The key released: a noise floor, no carrier.
    rig.runUntil([&] { return rig.clock.GetTickCount() > 1000 + 8000; });
    rig.txFreqHz = 146.52e6;
    r = fresh();
    EXPECT_EQ(r.status, "No carrier");
    EXPECT_TRUE(r.power.valid);
    EXPECT_LT(r.power.value, rig.testSet.carrierW());
    EXPECT_FALSE(r.deviation.valid);

    rig.testSet.disconnect();
    rig.run(100);
    EXPECT_EQ(rig.view.shown.back().status, "Disconnected");
    EXPECT_FALSE(rig.view.shown.back().power.valid);
}

TEST(TestSet, ProfilesReadInTheirOwnUnitsAndFaultsOfAReadingAreNoReading) {
    const std::string dbm =
        "[TESTSET]\nName=Bench in dBm\nMatch=simulated test set\nSetup=*RST\n"
        "[POWER]\nQuery=MEAS:POW? DBM\nUnit=dBm\n"
        "[FREQUENCY]\nQuery=MEAS:FREQ? MHZ\nUnit=MHz\n"
        "[DEVIATION]\nQuery=MEAS:FM:DEV? KHZ\nUnit=kHz\nAverage=4\n";
    const std::string farField =
        "[TESTSET]\nName=Far field\n[POWER]\nQuery=MEAS:POW?\nUnit=W\nField=3\n"
        "[FREQERROR]\nQuery=MEAS:FREQ:ERR?\nUnit=Hz\n[DEVIATION]\nQuery=MEAS:FM:DEV?\nUnit=Hz\n";
    using Want = std::function<double(Rig&)>;
    const Want hi200 = [](Rig&) { return sim::SimTransmitter::powerHiW(200); };
    const Want carrier = [](Rig& rig) { return rig.radio.txFrequencyHz(); };
    const Want mod134 = [](Rig&) { return sim::SimTransmitter::deviationHz(134); };
    struct Row {
        const char* name;
        std::string profile;  // empty: the built-in one
        sim::SimTestSetFault fault;
        Quantity q;
        Want want;  // none: no reading, for the reason
        double tolerance;
        std::string reason;
    } rows[] = {
        {"dBm", dbm, sim::SimTestSetFault::None, Quantity::Power, hi200, 0.1, ""},
        {"MHz", dbm, sim::SimTestSetFault::None, Quantity::Frequency, carrier, 10, ""},
        {"kHz, averaged", dbm, sim::SimTestSetFault::None, Quantity::Deviation, mod134, 50, ""},
        {"a field beyond the reply",
         farField,
         sim::SimTestSetFault::None,
         Quantity::Power,
         {},
         0,
         "the reply has fewer than 3 fields"},
        {"an error after the setup",
         "",
         sim::SimTestSetFault::Error,
         Quantity::Power,
         {},
         0,
         "the test set reports '-113,\"Undefined header\"' after 'CONF:POW'"},
        {"garbage",
         "",
         sim::SimTestSetFault::Garbage,
         Quantity::Deviation,
         {},
         0,
         "the answer to SYST:ERR? is not an error report: '"},
        {"beyond the profile's Max=",
         "[TESTSET]\nName=Small bench\n[POWER]\nQuery=MEAS:POW?\nUnit=W\nMax=2\n"
         "[FREQERROR]\nSetup=CONF:FREQ:REF {FREQ_HZ}\nQuery=MEAS:FREQ:ERR?\nUnit=Hz\n"
         "[DEVIATION]\nQuery=MEAS:FM:DEV?\nUnit=Hz\n",
         sim::SimTestSetFault::None,
         Quantity::Power,
         {},
         0,
         "implausible value 4.6"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        if (!row.profile.empty()) {
            const ProfileParse p = ParseTestSetProfile(row.profile, "bench.testset");
            ASSERT_TRUE(p.profile) << p.error;
            rig.testSet.setProfiles({GenericScpiProfile(), *p.profile});
            rig.testSet.connect("127.0.0.1", p.profile->name);
        } else {
            rig.testSet.connect("127.0.0.1");
        }
        ASSERT_TRUE(rig.ready()) << rig.testSet.message();
        rig.links.setFault(row.fault);
        const Reading r = rig.measure(row.q);
        if (row.want) {
            EXPECT_TRUE(r.valid) << r.reason;
            EXPECT_NEAR(r.value, row.want(rig), row.tolerance);
        } else {
            EXPECT_FALSE(r.valid);
            EXPECT_EQ(r.reason.rfind(row.reason, 0), 0u) << r.reason;
            // Asked again, the same fault: a setup that was refused is not taken as done.
            const Reading again = rig.measure(row.q);
            EXPECT_FALSE(again.valid);
            EXPECT_EQ(again.reason.rfind(row.reason, 0), 0u) << again.reason;
        }
    }
    // The dBm profile was chosen by its Match= in the *IDN? answer.
    Rig rig;
    rig.testSet.setProfiles({GenericScpiProfile(), *ParseTestSetProfile(dbm, "b").profile});
    rig.testSet.connect("127.0.0.1");
    ASSERT_TRUE(rig.ready());
    EXPECT_EQ(rig.testSet.profile()->name, "Bench in dBm");
    EXPECT_EQ(rig.links.last()->written().rfind("*IDN?\n*RST\nSYST:ERR?\n", 0), 0u);

    // Through a GPIB adapter: its settings first, and every answer asked of it.
    Rig gpib;
    gpib.testSet.connect("/dev/ttyUSB0#12");
    ASSERT_TRUE(gpib.ready()) << gpib.testSet.message();
    EXPECT_TRUE(gpib.measure(Quantity::Power).valid);
    EXPECT_EQ(gpib.links.last()->written(),
              "++mode 1\n++addr 12\n++auto 0\n++eoi 1\n++eos 2\n++eot_enable 0\n"
              "*IDN?\n++read eoi\n*CLS\nSYST:ERR?\n++read eoi\n"
              "CONF:POW\nSYST:ERR?\n++read eoi\nMEAS:POW?\n++read eoi\n*OPC?\n++read eoi\n");
}

TEST(ProfileLibrary, EveryBadFileIsRefusedByNameAndLineAndTheGoodOnesAreOffered) {
    const std::filesystem::path dir =
        std::filesystem::path(::testing::TempDir()) / "kv7_profile_library";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string good =
        "[TESTSET]\nName=NAME\n[POWER]\nQuery=P?\nUnit=dBm\n[FREQUENCY]\nQuery=F?\nUnit=MHz\n"
        "[DEVIATION]\nQuery=D?\nUnit=kHz\n";
    auto named = [&](const std::string& name) {
        std::string t = good;
        return t.replace(t.find("NAME"), 4, name);
    };
    std::string binary;
    for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7919) % 256);
    struct File {
        const char* name;
        std::string text;
        const char* refusal;  // nullptr: offered
    } files[] = {
        {"a_bench.testset", named("Bench A"), nullptr},
        {"b_no_deviation.testset", good.substr(0, good.find("[DEVIATION]")),
         "b_no_deviation.testset line 8: the file has no [DEVIATION] section"},
        {"c_unit.testset", "[TESTSET]\nName=C\n[POWER]\nQuery=P?\nUnit=dBW\n",
         "c_unit.testset line 5: unknown unit 'dBW' in [POWER] (W, mW or dBm)"},
        {"d_long.testset", "[TESTSET]\nName=D\n" + std::string(100000, 'x') + "\n",
         "d_long.testset line 3: the line is longer than 1024 characters"},
        {"e_binary.TESTSET", binary, "e_binary.TESTSET line 1: the line holds characters"},
        {"f_far_field.testset", named("Far") + "Field=9\n", nullptr},
        {"g_same_name.testset", named("Bench A"),
         "g_same_name.testset: the name 'Bench A' is taken by a_bench.testset"},
        {"notes.txt", "not a profile", nullptr},
    };
    for (const File& f : files) std::ofstream(dir / f.name, std::ios::binary) << f.text;
    std::filesystem::create_directories(dir / "h_folder.testset");

    ProfileLibrary lib;
    lib.load(dir.string());
    std::vector<std::string> names;
    for (const TestSetProfile& p : lib.profiles()) names.push_back(p.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Generic SCPI", "Bench A", "Far"}));
    std::vector<std::string> want;
    for (const File& f : files) {
        if (f.refusal != nullptr) want.push_back(f.refusal);
    }
    want.push_back("h_folder.testset: the file cannot be read as a regular file");
    ASSERT_EQ(lib.refused().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_EQ(lib.refused()[i].rfind(want[i], 0), 0u) << lib.refused()[i];
    }
    lib.load((dir / "missing").string());
    EXPECT_EQ(lib.profiles().size(), 1u);
    EXPECT_TRUE(lib.refused().empty());
    std::filesystem::remove_all(dir);
}

TEST(TestSetAddress, WhatTheTechnicianTypes) {
    struct Row {
        const char* typed;
        const char* canonical;  // nullptr: refused
        std::vector<std::string> prologue;
    } rows[] = {
        {"192.168.1.20", "192.168.1.20:5025", {}},
        {" bench-monitor.local:5026 ", "bench-monitor.local:5026", {}},
        {"[fe80::1]:7000", "[fe80::1]:7000", {}},
        {"/dev/ttyUSB0", "/dev/ttyUSB0@9600", {}},
        {"/dev/ttyS0@19200", "/dev/ttyS0@19200", {}},
        {"COM3#12",
         "COM3@9600#12",
         {"++mode 1", "++addr 12", "++auto 0", "++eoi 1", "++eos 2", "++eot_enable 0"}},
        {"/dev/ttyUSB1#5@115200", "/dev/ttyUSB1@115200#5", {}},
        {"", nullptr, {}},
        {"host:0", nullptr, {}},
        {"host:70000", nullptr, {}},
        {"::1", nullptr, {}},
        {"host@9600", nullptr, {}},
        {"/dev/ttyUSB0#31", nullptr, {}},
        {"/dev/ttyUSB0@fast", nullptr, {}},
        {"bad host", nullptr, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const AddressParse a = ParseTestSetAddress(row.typed);
        if (row.canonical == nullptr) {
            EXPECT_FALSE(a.address);
            EXPECT_NE(a.error.find("Type HOST[:PORT]"), std::string::npos) << a.error;
            continue;
        }
        ASSERT_TRUE(a.address) << a.error;
        EXPECT_EQ(a.address->text(), row.canonical);
        EXPECT_EQ(GpibPrologue(*a.address).empty(), !a.address->gpib());
        if (!row.prologue.empty()) {
            EXPECT_EQ(GpibPrologue(*a.address), row.prologue);
        }
    }
}

}  // namespace
}  // namespace kv7
