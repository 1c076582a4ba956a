// The technician's session script: what each line means, and how a bad script is reported.
#include "session/session_script.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kv7 {
namespace {

SessionAction only(const std::string& line) {
    const SessionScript s = parseSessionScript(line);
    EXPECT_TRUE(s.ok()) << line << ": " << (s.errors.empty() ? "" : describe(s.errors[0]));
    EXPECT_EQ(s.actions.size(), 1u) << line;
    return s.actions.empty() ? SessionAction{} : s.actions[0];
}

TEST(SessionScript, ButtonsByIndexAndCaption) {
    const struct {
        const char* line;
        int16_t button;
    } cases[] = {
        {"click 0", 0},
        {"click Connect", 0},
        {"CLICK connect", 0},
        {"click 1", 1},
        {"click Reload", 1},
        {"click Reload(F5)", 1},
        {"click 2", 2},
        {"click Disp para", 2},
        {"click   disp   PARA  ", 2},
        {"click \"Disp para\"", 2},
    };
    for (const auto& c : cases) {
        const SessionAction a = only(c.line);
        EXPECT_EQ(a.verb, SessionVerb::Click) << c.line;
        EXPECT_EQ(a.button, c.button) << c.line;
    }
}

TEST(SessionScript, KeysWithShiftAndTarget) {
    const struct {
        const char* line;
        SessionKey key;
        bool shift;
        int index;          // -1: no index
        const char* title;  // nullptr: no target at all
    } cases[] = {
        {"key Left", SessionKey::Left, false, -1, nullptr},
        {"key right shift", SessionKey::Right, true, -1, nullptr},
        {"key Right shift on 1", SessionKey::Right, true, 1, ""},
        {"key Enter on 11", SessionKey::Enter, false, 11, ""},
        {"key Up", SessionKey::Up, false, -1, nullptr},
        {"key Down", SessionKey::Down, false, -1, nullptr},
        {"key F5", SessionKey::F5, false, -1, nullptr},
        {"key Left on Power(Hi)", SessionKey::Left, false, -1, "Power(Hi)"},
        {"key Enter on    BPF ALL  ", SessionKey::Enter, false, -1, "BPF ALL"},
        // Quoted, the blanks of a title stay and digits are a title, not an index.
        {"key Right shift on \"    CH No.\"", SessionKey::Right, true, -1, "    CH No."},
        {"key Right on \"7\"", SessionKey::Right, false, -1, "7"},
    };
    for (const auto& c : cases) {
        const SessionAction a = only(c.line);
        EXPECT_EQ(a.verb, SessionVerb::Key) << c.line;
        EXPECT_EQ(a.key, c.key) << c.line;
        EXPECT_EQ(a.shift, c.shift) << c.line;
        if (c.title == nullptr) {
            EXPECT_FALSE(a.target.has_value()) << c.line;
            continue;
        }
        ASSERT_TRUE(a.target.has_value()) << c.line;
        if (c.index >= 0) {
            EXPECT_EQ(a.target->index, c.index) << c.line;
        } else {
            EXPECT_FALSE(a.target->index.has_value()) << c.line;
            EXPECT_EQ(a.target->title, c.title) << c.line;
        }
    }
}

TEST(SessionScript, OtherActions) {
    SessionAction a = only("select 3");
    EXPECT_EQ(a.verb, SessionVerb::Select);
    EXPECT_EQ(a.target->index, 3);
    a = only("select  Power(LO)");
    EXPECT_EQ(a.target->title, "Power(LO)");

    EXPECT_TRUE(only("tcxo on").tcxoOn);
    EXPECT_FALSE(only("tcxo OFF").tcxoOn);

    a = only("menu port 3");
    EXPECT_EQ(a.menu, SessionMenu::Port);
    EXPECT_EQ(a.menuIndex, 3);
    a = only("menu release 0");
    EXPECT_EQ(a.menu, SessionMenu::Release);
    EXPECT_EQ(a.menuIndex, 0);
    EXPECT_EQ(only("menu exit").menu, SessionMenu::Exit);

    // The text of a line to wait for keeps its inner blanks; quoted, also its outer ones.
    EXPECT_EQ(only("wait-line VIN  :").text, "VIN  :");
    EXPECT_EQ(only("wait-line \" Power(Hi):\"").text, " Power(Hi):");
    EXPECT_EQ(only("wait-line \"say \\\"hi\\\" \\\\ #1\"").text, "say \"hi\" \\ #1");
    EXPECT_EQ(only("wait-line 50.20%").text, "50.20%");

    EXPECT_EQ(only("wait-state connected").state, SessionState::Connected);
    EXPECT_EQ(only("wait-state Idle").state, SessionState::Idle);
    EXPECT_EQ(only("wait-state disp-para").state, SessionState::DispPara);

    a = only("test-set 127.0.0.1:5025");
    EXPECT_EQ(a.verb, SessionVerb::TestSet);
    EXPECT_EQ(a.text, "127.0.0.1:5025");
    EXPECT_EQ(a.profile, "");
    a = only("test-set /dev/ttyUSB0@19200#12  Bench monitor in dBm");
    EXPECT_EQ(a.text, "/dev/ttyUSB0@19200#12");  // '#' after no blank: no comment
    EXPECT_EQ(a.profile, "Bench monitor in dBm");
    // Quotes keep an address's blanks and are not part of it.
    a = only("test-set \"127.0.0.1:5025\"");
    EXPECT_EQ(a.text, "127.0.0.1:5025");
    EXPECT_EQ(a.profile, "");
    a = only("test-set \"COM 3#12\" \"Generic SCPI\"");
    EXPECT_EQ(a.text, "COM 3#12");
    EXPECT_EQ(a.profile, "Generic SCPI");
    EXPECT_EQ(only("Continue-On-Fail").verb, SessionVerb::ContinueOnFail);
    EXPECT_EQ(only("wait-reading Frequency").quantity, SessionQuantity::Frequency);
    EXPECT_EQ(only("wait-reading deviation").quantity, SessionQuantity::Deviation);

    EXPECT_DOUBLE_EQ(only("wait 0").seconds, 0);
    EXPECT_DOUBLE_EQ(only("wait 1.5").seconds, 1.5);
    EXPECT_DOUBLE_EQ(only("timeout 90").seconds, 90);

    EXPECT_EQ(only("screenshot build/demo.png").text, "build/demo.png");
    EXPECT_EQ(only("screenshot \"my shots/a.PNG\"").text, "my shots/a.PNG");
    EXPECT_EQ(only("print").verb, SessionVerb::Print);
    EXPECT_EQ(only("report \"out/KV7 0200.PDF\"").verb, SessionVerb::Report);
    EXPECT_EQ(only("sweep-data out/sweep.csv").text, "out/sweep.csv");
    EXPECT_EQ(only("align-data out/align.CSV").verb, SessionVerb::AlignData);
    EXPECT_EQ(only("align-data \"my runs/a.csv\"").text, "my runs/a.csv");

    // A point as the Align menu spells it, whatever the case the script uses.
    const struct {
        const char* line;
        const char* point;
    } points[] = {
        {"align Power(Hi)", "Power(Hi)"},
        {"align power(hi)", "Power(Hi)"},
        {"align POWER(LO)", "Power(LO)"},
        {"align mod", "MOD"},
        {"align TXF", "TXF"},
        {"align ALL", "all"},
    };
    for (const auto& c : points) {
        const SessionAction a = only(c.line);
        EXPECT_EQ(a.verb, SessionVerb::Align) << c.line;
        EXPECT_EQ(a.text, c.point) << c.line;
    }
}

TEST(SessionScript, CommentsBlankLinesAndLineNumbers) {
    const SessionScript s = parseSessionScript(
        "\xEF\xBB\xBF# demo\r\n"
        "\r\n"
        "click Connect   # start the clone read\r\n"
        "   \t\n"
        "wait-line \"CH No.: 01 # not a comment\"\n"
        "wait-line a#b\n"
        "print");
    ASSERT_TRUE(s.ok()) << describe(s.errors[0]);
    ASSERT_EQ(s.actions.size(), 4u);
    EXPECT_EQ(s.actions[0].line, 3);
    EXPECT_EQ(s.actions[0].source, "click Connect");
    EXPECT_EQ(s.actions[1].line, 5);
    EXPECT_EQ(s.actions[1].text, "CH No.: 01 # not a comment");
    EXPECT_EQ(s.actions[2].text, "a#b");  // '#' only begins a comment after a blank
    EXPECT_EQ(s.actions[3].line, 7);
    EXPECT_TRUE(parseSessionScript("").ok());
    EXPECT_TRUE(parseSessionScript("# only a comment\n\n").actions.empty());
}

TEST(SessionScript, BadLinesAreReportedWithTheirNumbers) {
    const struct {
        const char* line;
        const char* message;  // part of the message
    } cases[] = {
        {"clik Connect", "unknown action 'clik'"},
        {"click", "click needs a button"},
        {"click 3", "no button '3'"},
        {"click Exit", "no button 'Exit'"},
        {"key", "key needs a key"},
        {"key PageUp", "unknown key 'PageUp'"},
        {"key Left on", "'on' needs a console line"},
        {"key Left on \"  \"", "'on' needs a console line"},
        {"key Left twice", "unexpected 'twice' after the key"},
        {"key Left shift twice", "unexpected 'twice' after the key"},
        {"key Left on \"CH No.", "no closing quote"},
        {"select", "select needs a console line"},
        {"select 99999", "no console line 99999"},
        {"select \"CH No.\" now", "unexpected 'now' after the quoted text"},
        {"tcxo", "tcxo needs on or off"},
        {"tcxo yes", "tcxo needs on or off"},
        {"tcxo on off", "unexpected 'off'"},
        {"menu", "menu needs port N, release N, keep-images on|off or exit"},
        {"menu port", "menu port needs a number from 1 to 4"},
        {"menu port 5", "from 1 to 4, not '5'"},
        {"menu port 0", "from 1 to 4, not '0'"},
        {"menu release 6", "from 0 to 5, not '6'"},
        {"menu release -1", "from 0 to 5, not '-1'"},
        {"menu port 2 3", "unexpected '3'"},
        {"menu exit now", "unexpected 'now' after menu exit"},
        {"wait-line", "wait-line needs the text"},
        {"wait-line \"\"", "wait-line needs the text"},
        {"wait-state", "wait-state needs a state"},
        {"wait-state busy", "unknown state 'busy'"},
        {"wait", "wait needs a number of seconds"},
        {"wait -1", "not '-1'"},
        {"wait soon", "not 'soon'"},
        {"wait 3601", "not '3601'"},
        {"wait nan", "not 'nan'"},
        {"wait 1 2", "unexpected '2'"},
        {"test-set", "test-set needs the test set's address"},
        {"test-set \"\" Generic", "test-set needs the test set's address"},
        {"test-set \"127.0.0.1:5025", "no closing quote"},
        {"continue-on-fail always", "unexpected 'always' after continue-on-fail"},
        {"wait-reading", "wait-reading needs power, frequency or deviation"},
        {"wait-reading dBm", "unknown quantity 'dBm'"},
        {"wait-reading power now", "unexpected 'now' after the quantity"},
        {"timeout 0", "above 0 to 3600, not '0'"},
        {"screenshot", "screenshot needs a file name"},
        {"screenshot demo.jpg", "does not end in .png"},
        {"screenshot .png", "does not end in .png"},
        {"report", "report needs a file name ending in .pdf"},
        {"report out.csv", "report file 'out.csv' does not end in .pdf"},
        {"sweep-data out.pdf", "does not end in .csv"},
        {"align", "align needs a point: Power(Hi), Power(LO), MOD, TXF or all"},
        {"align Power", "unknown point 'Power'"},
        {"align Power(Hi) MOD", "unexpected 'MOD' after the point"},
        {"align-data", "align-data needs a file name ending in .csv"},
        {"align-data out.pdf", "align-data file 'out.pdf' does not end in .csv"},
        {"print all", "unexpected 'all' after print"},
    };
    for (const auto& c : cases) {
        const std::string script = std::string("print\n# comment\n") + c.line + "\nprint\n";
        const SessionScript s = parseSessionScript(script);
        ASSERT_EQ(s.errors.size(), 1u) << c.line;
        EXPECT_EQ(s.errors[0].line, 3) << c.line;
        EXPECT_NE(s.errors[0].message.find(c.message), std::string::npos)
            << c.line << " gave: " << s.errors[0].message;
        EXPECT_EQ(describe(s.errors[0]).rfind("line 3: ", 0), 0u) << c.line;
    }
}

TEST(SessionScript, EveryBadLineIsReportedAndNothingFollowsExit) {
    const SessionScript s =
        parseSessionScript("click Connect\nfoo\nwait-state connected\nmenu exit\nprint\nbar\n");
    ASSERT_EQ(s.errors.size(), 3u);
    EXPECT_EQ(s.errors[0].line, 2);
    EXPECT_EQ(s.errors[1].line, 5);
    EXPECT_NE(s.errors[1].message.find("'menu exit' of line 4"), std::string::npos);
    EXPECT_EQ(s.errors[2].line, 6);
    EXPECT_NE(s.errors[2].message.find("unknown action 'bar'"), std::string::npos);
    EXPECT_FALSE(s.ok());
}

TEST(SessionScript, ConsoleLinesByIndexOrTitle) {
    const std::vector<std::string> titles = {"    CH No.", " Power(Hi)", " Power(LO)",
                                             "   BPF ALL", "    BPF T1", "       TXF"};
    const auto byIndex = [](int16_t i) { return ConsoleLineRef{i, ""}; };
    const auto byTitle = [](const char* t) { return ConsoleLineRef{std::nullopt, t}; };
    const struct {
        ConsoleLineRef ref;
        int16_t expected;
    } cases[] = {
        {byIndex(0), 0},           {byIndex(5), 5},        {byIndex(6), -1},
        {byIndex(-1), -1},         {byTitle("CH No."), 0}, {byTitle("    CH No."), 0},
        {byTitle("power(lo)"), 2}, {byTitle(" TXF "), 5},  {byTitle("BPF"), -1},
        {byTitle("Power"), -1},    {byTitle("7"), -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(findConsoleLine(c.ref, titles), c.expected)
            << (c.ref.index ? std::to_string(*c.ref.index) : c.ref.title);
    }
    EXPECT_EQ(findConsoleLine(byIndex(0), {}), -1);
}

}  // namespace
}  // namespace kv7
