// Start-up in its order, the settings file read at the start and written at the end.
#include "app/start.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "app/support/shell.h"

namespace kv7 {
namespace {

using test::Shell;
using test::TempDir;
using Calls = std::vector<std::string>;
using Lines = std::vector<std::string>;

// The lines of a text file without their line ends.
Lines linesOf(const std::string& text) {
    Lines out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            out.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    if (!line.empty()) out.push_back(line);
    return out;
}

StartResult start(Shell& s) {
    return Main([] { return false; }, s.messages, s.link, s.radio, s.window);
}

TEST(Start, FirstStartWithoutSettingsFile) {
    TempDir dir;
    Shell s(dir.path());
    ASSERT_EQ(start(s), StartResult::Running);

    EXPECT_EQ(s.window.ComPortNo(), 1);
    EXPECT_EQ(s.window.ComAutoRelease(), 0);
    EXPECT_EQ(s.seq.comHoldReload(), 0);
    EXPECT_TRUE(s.timer.on);
    EXPECT_TRUE(s.messages.shown.empty());
    EXPECT_EQ(s.controller.calls, (Calls{"SetComPortNo 1", "SetTCXO false", "SetComPortNo 1",
                                         "ReadParameters", "FormResource", "FormLayout"}));
    EXPECT_EQ(s.radio.radioNameM(), "2251");
    EXPECT_EQ(s.radio.radionameS(), "0200");
    EXPECT_EQ(s.radio.cloneWriteAdrList(), "0000-13FF,");
    EXPECT_EQ(s.port.opens, 0) << "the port opens with the first radio operation";
    EXPECT_FALSE(std::filesystem::exists(s.settingsFile())) << "read once, written at the end";

    s.view.Unload();
    EXPECT_FALSE(s.timer.on);
    EXPECT_EQ(s.settingsFile(), dir.file("SWKV7ADJ.rs"));
    EXPECT_EQ(linesOf(test::readFile(s.settingsFile())),
              (Lines{"[OPTION]", "ComPort=1", "ComAutoRelease=0"}));
}

// What a stored value becomes, and what the next exit writes back.
TEST(Start, StoredSettingsAreSettledToUsableValues) {
    const struct {
        const char* file;
        int16_t port;
        int16_t release;
    } cases[] = {
        {"[OPTION]\nComPort=3\nComAutoRelease=2\n", 3, 2},
        {"[option]\ncomport=4\n", 4, 0},  // names match without regard to case
        {"[OPTION]\nComPort=10\nComAutoRelease=32\n", 10, 32},
        {"[OPTION]\nComPort=7\nComAutoRelease=5\n", 7, 5},  // a port the menu lacks
        {"[OPTION]\nComPort=abc\nComAutoRelease=abc\n", 1, 0},
        {"[OPTION]\nComPort=3\nComAutoRelease=abc\n", 3, 0},  // not carried over from ComPort
        {"[OPTION]\nComPort=abc\nComAutoRelease=4\n", 1, 4},
        {"[OPTION]\nComPort=\nComAutoRelease=\n", 1, 0},
        {"[OPTION]\nComPort=0\nComAutoRelease=0\n", 1, 0},
        {"[OPTION]\nComPort=99\nComAutoRelease=99\n", 1, 0},
        {"[OPTION]\nComPort=-4\nComAutoRelease=-4\n", 1, 0},
        {"[OPTION]\nComPort=11\nComAutoRelease=33\n", 1, 0},
        {"[OPTION]\nComPort=40000\nComAutoRelease=40000\n", 1, 0},
        {"[OPTION]\nComPort=99999999999\nComAutoRelease=-99999999999\n", 1, 0},
        {"[OTHER]\nComPort=3\nComAutoRelease=2\n", 1, 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        test::writeFile(dir.file("SWKV7ADJ.rs"), c.file);
        Shell s(dir.path());
        ASSERT_EQ(start(s), StartResult::Running) << c.file;
        EXPECT_EQ(s.window.ComPortNo(), c.port) << c.file;
        EXPECT_EQ(s.window.ComAutoRelease(), c.release) << c.file;
        EXPECT_EQ(s.seq.comHoldReload(), c.release * 1000) << c.file;
        EXPECT_TRUE(s.messages.shown.empty()) << c.file;
        EXPECT_EQ(test::readFile(s.settingsFile()), c.file) << "not written while running";

        s.window.task();
        std::vector<int> ports;
        if (c.port <= 4) ports.push_back(c.port);
        EXPECT_EQ(s.view.checkedPorts(), ports) << c.file;
        std::vector<int> releases;
        if (c.release <= 5) releases.push_back(c.release);
        EXPECT_EQ(s.view.checkedReleases(), releases) << c.file;

        s.view.Unload();
        // Key names keep the case the file gave them.
        std::string text = test::readFile(s.settingsFile());
        for (char& ch : text) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const Lines saved = linesOf(text);
        const std::string portLine = "comport=" + std::to_string(c.port);
        const std::string releaseLine = "comautorelease=" + std::to_string(c.release);
        EXPECT_NE(std::find(saved.begin(), saved.end(), portLine), saved.end()) << c.file;
        EXPECT_NE(std::find(saved.begin(), saved.end(), releaseLine), saved.end()) << c.file;
    }
}

TEST(Start, ChangedPortReachesTheFileAtExit) {
    TempDir dir;
    test::writeFile(dir.file("SWKV7ADJ.rs"), "[OPTION]\nComPort=3\nComAutoRelease=2\n");
    Shell s(dir.path());
    ASSERT_EQ(start(s), StartResult::Running);
    s.window.mnuOptSelCom_Click(2);
    s.window.mnuOptionSelAutoRelease_Click(0);
    s.window.Form_QueryUnload();  // the close box
    EXPECT_EQ(linesOf(test::readFile(s.settingsFile())),
              (Lines{"[OPTION]", "ComPort=2", "ComAutoRelease=0"}));
}

// A settings file that cannot be written shows no message box; the program ends normally and
// keeps the failure for its exit status.
TEST(Start, UnwritableSettingsEndNormally) {
    TempDir dir;
    // A directory in the file's place cannot be written even by a privileged user.
    std::filesystem::create_directory(dir.file("SWKV7ADJ.rs"));
    std::filesystem::permissions(dir.native(),
                                 std::filesystem::perms::owner_write |
                                     std::filesystem::perms::group_write |
                                     std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    Shell s(dir.path());
    ASSERT_EQ(start(s), StartResult::Running);
    EXPECT_EQ(s.window.ComPortNo(), 1);
    s.window.mnuOptSelCom_Click(3);
    EXPECT_NO_THROW(s.view.Unload());
    EXPECT_TRUE(s.window.linkClosed());
    EXPECT_FALSE(s.timer.on);
    EXPECT_TRUE(s.messages.shown.empty());
    EXPECT_TRUE(s.window.settingsSaveFailed());
}

TEST(Start, SecondInstanceTouchesNothing) {
    TempDir dir;
    const std::string stored = "[OPTION]\nComPort=3\nComAutoRelease=2\n";
    test::writeFile(dir.file("SWKV7ADJ.rs"), stored);
    Shell s(dir.path());
    const int opensBefore = s.port.opens;
    EXPECT_EQ(Main([] { return true; }, s.messages, s.link, s.radio, s.window),
              StartResult::SecondInstance);
    EXPECT_EQ(s.messages.shown,
              (std::vector<std::string>{"Cannot execute SW-KV7 ADJ Rev.2.0 repeatedly.\r\n"
                                        "SW-KV7 ADJ Rev.2.0 is already executing."}));
    EXPECT_TRUE(s.controller.calls.empty());
    EXPECT_EQ(s.timer.changes, 0);
    EXPECT_EQ(s.port.opens, opensBefore);
    EXPECT_EQ(s.radio.radioNameM(), "0000");
    EXPECT_EQ(s.view.caption, "");
    EXPECT_EQ(test::readFile(s.settingsFile()), stored);
}

TEST(Start, MissingConstantsEndTheProgramAfterSavingTheSettings) {
    TempDir dir;
    test::writeFile(dir.file("SWKV7ADJ.rs"), "[OPTION]\nComPort=4\n");
    Shell s(dir.path());
    s.controller.constantsReadable = false;
    EXPECT_EQ(start(s), StartResult::ConstantsMissing);
    EXPECT_EQ(s.messages.shown, (std::vector<std::string>{"Cannot read 'Const.ini'."}));
    EXPECT_TRUE(s.window.linkClosed());
    EXPECT_FALSE(s.timer.on);
    EXPECT_EQ(linesOf(test::readFile(s.settingsFile())),
              (Lines{"[OPTION]", "ComPort=4", "ComAutoRelease=0"}));
}

// The heartbeat starts only after the stored settings have been passed on.
TEST(Start, HeartbeatStartsAfterTheSettings) {
    TempDir dir;
    test::writeFile(dir.file("SWKV7ADJ.rs"), "[OPTION]\nComPort=3\nComAutoRelease=2\n");
    Shell s(dir.path());
    struct Timer : HeartbeatTimer {
        frmMain* window = nullptr;
        int16_t portAtStart = 0;
        bool on = false;
        void setEnabled(bool v) override {
            if (v) portAtStart = window->ComPortNo();
            on = v;
        }
        bool enabled() const override { return on; }
    } timer;
    timer.window = &s.window;
    s.link.setTimer(&timer);
    ASSERT_EQ(start(s), StartResult::Running);
    EXPECT_EQ(timer.portAtStart, 3);
}

}  // namespace
}  // namespace kv7
