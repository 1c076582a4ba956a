#include "store/private_profile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kv7 {
namespace {

namespace fs = std::filesystem;

// A settings file as a technician might have edited it: comments, blanks, CR LF endings.
const std::string kFile =
    "; service settings\r\n"
    "[General]\r\n"
    "Name = Radio  \r\n"
    "\r\n"
    "[OPTION]\r\n"
    "ComPort=3\r\n"
    "; release time in minutes\r\n"
    "  ComAutoRelease =  10\r\n"
    "\r\n"
    "[Other]\r\n"
    "ComPort=9\r\n";

TEST(PrivateProfileText, FindsValuesWhateverTheCaseAndBlanks) {
    const struct {
        std::string section, key;
        std::optional<std::string> value;
    } cases[] = {
        {"OPTION", "ComPort", "3"},
        {"option", "COMPORT", "3"},
        {" OPTION ", " ComPort", "3"},
        {"OPTION", "ComAutoRelease", "10"},
        {"General", "Name", "Radio"},
        {"Other", "ComPort", "9"},
        {"OPTION", "Name", std::nullopt},
        {"Missing", "ComPort", std::nullopt},
        {"OPTION", "; release time in minutes", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateProfile::findValue(kFile, c.section, c.key), c.value) << c.key;
    }
}

TEST(PrivateProfileText, WriteChangesOnlyItsOwnLineByteForByte) {
    const struct {
        std::string section, key, text, expected;
    } cases[] = {
        {"option", "comport", "5",
         [] {
             std::string s = kFile;
             return s.replace(s.find("ComPort=3") + 8, 1, "5");
         }()},
        {"OPTION", "ComAutoRelease", "",
         [] {
             std::string s = kFile;
             return s.replace(s.find("=  10") + 3, 2, "");
         }()},
        {"OPTION", "TCXO", "1",
         [] {
             std::string s = kFile;
             return s.insert(s.find("\r\n\r\n[Other]") + 2, "TCXO=1\r\n");
         }()},
        {"New", "k", "v w", kFile + "[New]\r\nk=v w\r\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateProfile::withValue(kFile, c.section, c.key, c.text), c.expected) << c.key;
    }
}

TEST(PrivateProfileText, OddFilesStayReadableAndIntact) {
    const struct {
        std::string content, section, key, text;
        std::optional<std::string> before, after;
    } cases[] = {
        // LF endings: new lines get LF too; a missing last line break is added first.
        {"[A]\nx=1", "A", "y", "2", std::nullopt, "[A]\nx=1\ny=2\n"},
        {"[A]\nx=1\n", "B", "y", "2", std::nullopt, "[A]\nx=1\n[B]\ny=2\n"},
        {"[A]", "A", "y", "2", std::nullopt, "[A]\r\ny=2\r\n"},
        {"", "A", "y", "2", std::nullopt, "[A]\r\ny=2\r\n"},
        {"\xEF\xBB\xBF", "A", "y", "2", std::nullopt, "\xEF\xBB\xBF[A]\r\ny=2\r\n"},
        // A CR that ends the file is a line break cut short: completed, never joined to text.
        {"[A]\r\nx=1\r", "A", "x", "2", "1", "[A]\r\nx=2\r"},
        {"[A]\nx=1\r", "A", "y", "2", std::nullopt, "[A]\nx=1\r\ny=2\n"},
        {"[A]\r", "B", "y", "2", std::nullopt, "[A]\r\n[B]\r\ny=2\r\n"},
        // CR alone ends a line as well.
        {"[X]\ry=0\r[A]\rx=1\rz=3\r", "A", "x", "2", "1", "[X]\ry=0\r[A]\rx=2\rz=3\r"},
        // The first of duplicate sections and keys wins, on reading and on writing.
        {"[A]\nx=1\nx=2\n[a]\nx=3\n", "A", "x", "9", "1", "[A]\nx=9\nx=2\n[a]\nx=3\n"},
        {"[A]\ny=1\n[A]\nx=2\n", "A", "x", "9", "2", "[A]\ny=1\n[A]\nx=9\n"},
        // A byte order mark stays where it is.
        {"\xEF\xBB\xBF[A]\r\nx=1\r\n", "A", "x", "2", "1", "\xEF\xBB\xBF[A]\r\nx=2\r\n"},
        // Keys before the first section belong to no section.
        {"x=0\n[A]\n", "A", "x", "1", std::nullopt, "x=0\n[A]\nx=1\n"},
        {"[A\nx=1\n", "A", "x", "2", "1", "[A\nx=2\n"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateProfile::findValue(c.content, c.section, c.key), c.before) << c.content;
        EXPECT_EQ(PrivateProfile::withValue(c.content, c.section, c.key, c.text), c.after)
            << c.content;
    }
}

TEST(PrivateProfileText, RemovingAKeyTakesAllItsLinesAndNothingElse) {
    const struct {
        std::string content, section, key;
        std::optional<std::string> after;
    } cases[] = {
        {kFile, "option", " COMPORT ",
         [] {
             std::string s = kFile;
             return s.erase(s.find("ComPort=3"), 11);
         }()},
        {kFile, "OPTION", "Missing", kFile},
        {"[P]\nCOM1=a\n[Q]\nCOM1=q\n[p]\r\nCOM1=b", "P", "COM1", "[P]\n[Q]\nCOM1=q\n[p]\r\n"},
        {"[P]\nCOM1=a", "P", "", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateProfile::withoutKey(c.content, c.section, c.key), c.after) << c.content;
    }
}

TEST(PrivateProfileText, RefusesWhatWouldNotReadBack) {
    const struct {
        std::string section, key, text;
    } cases[] = {{"A", "x", "1\r\n[B]"}, {"A", "a=b", "1"}, {"A", "", "1"},    {"A", ";x", "1"},
                 {"A", "[x", "1"},       {"A]", "x", "1"},  {"A\n", "x", "1"}, {"A", "x\n", "1"}};
    for (const auto& c : cases) {
        EXPECT_EQ(PrivateProfile::withValue(kFile, c.section, c.key, c.text), std::nullopt)
            << c.key << c.text;
    }
}

TEST(PrivateProfileText, GarbageAndLongLinesAroundAValidSection) {
    std::mt19937 gen(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string garbage(4000, '\0');
    for (char& c : garbage) c = static_cast<char>(byte(gen));
    const std::string content =
        garbage + "\n" + std::string(10000, 'x') + "\n[OPTION]\r\nComPort=4\r\n" + garbage;
    EXPECT_EQ(PrivateProfile::findValue(content, "OPTION", "ComPort"), "4");
    const auto written = PrivateProfile::withValue(content, "OPTION", "ComPort", "6");
    ASSERT_TRUE(written.has_value());
    std::string expected = content;
    expected[expected.find("ComPort=4") + 8] = '6';
    EXPECT_EQ(*written, expected);
}

// Random files of headers, keys, comments, garbage and mixed line endings: setting one key
// makes it read back, changes no other key, and keeps every byte outside that key's value.
TEST(PrivateProfileText, RandomFilesKeepEverythingButTheOneValue) {
    std::mt19937 gen(2024);
    const std::vector<std::string> pieces = {"[A]",
                                             "[ a ]",
                                             "[B]",
                                             "[C",
                                             "x=1",
                                             " X = 2 ",
                                             "y=",
                                             "z",
                                             "; x=9",
                                             "",
                                             "w=a=b",
                                             "[]",
                                             "x=\xff\xfe",
                                             std::string("y=\0v", 4),
                                             std::string(300, 'q'),
                                             "=7",
                                             "\t[B]\t"};
    const std::vector<std::string> endings = {"\n", "\r\n", "\r\n", "\r"};
    const std::vector<std::string> sections = {"A", "b", "C", "D", ""};
    const std::vector<std::string> keys = {"x", "Y", "w", "z", "new"};
    auto pick = [&gen](const auto& v) -> const auto& {
        return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(gen)];
    };
    for (int round = 0; round < 3000; ++round) {
        std::string content = round % 7 == 0 ? "\xEF\xBB\xBF" : "";
        const int lines = std::uniform_int_distribution<int>(0, 12)(gen);
        for (int i = 0; i < lines; ++i) {
            content += pick(pieces);
            if (i + 1 < lines || gen() % 2 == 0) content += pick(endings);
        }
        const std::string& section = pick(sections);
        const std::string& key = pick(keys);
        const std::string text = gen() % 5 == 0 ? "" : "v" + std::to_string(gen() % 1000);

        const auto before = PrivateProfile::findValue(content, section, key);
        const auto written = PrivateProfile::withValue(content, section, key, text);
        ASSERT_TRUE(written.has_value()) << content;
        EXPECT_EQ(PrivateProfile::findValue(*written, section, key), text) << content;
        for (const std::string& s : sections) {
            for (const std::string& k : keys) {
                const bool same =
                    PrivateProfile::findValue("[" + section + "]\n" + key + "=1", s, k) == "1";
                if (same) continue;
                EXPECT_EQ(PrivateProfile::findValue(*written, s, k),
                          PrivateProfile::findValue(content, s, k))
                    << s << "/" << k << " in " << content;
            }
        }
        // Outside one span (the old value, or nothing for an added line) the old bytes remain.
        const std::string& now = *written;
        std::size_t prefix = 0;
        while (prefix < content.size() && prefix < now.size() && content[prefix] == now[prefix]) {
            ++prefix;
        }
        std::size_t suffix = 0;
        while (suffix < content.size() - prefix && suffix < now.size() - prefix &&
               content[content.size() - 1 - suffix] == now[now.size() - 1 - suffix]) {
            ++suffix;
        }
        const std::size_t removed = content.size() - prefix - suffix;
        EXPECT_LE(removed, before ? before->size() : 0) << content;
    }
}

class PrivateProfileDisk : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("kv7_profile_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { test::removeTree(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void put(const std::string& p, const std::string& s) {
        std::ofstream(p, std::ios::binary) << s;
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
    PrivateProfile ini_;
};

TEST_F(PrivateProfileDisk, ReadsDefaultsAndCutsLongValues) {
    std::string out = "stale";
    EXPECT_EQ(ini_.GetPrivateProfileStringA("A", "x", "dflt", out, 255, path("none.ini")), 4);
    EXPECT_EQ(out, "dflt");
    put(path("a.ini"), "[A]\r\nlong=" + std::string(300, 'v') + "\r\nempty=\r\n");
    EXPECT_EQ(ini_.GetPrivateProfileStringA("A", "long", "", out, 255, path("a.ini")), 254);
    EXPECT_EQ(out, std::string(254, 'v'));
    EXPECT_EQ(ini_.GetPrivateProfileStringA("A", "empty", "dflt", out, 255, path("a.ini")), 0);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ini_.GetPrivateProfileStringA("A", "long", "", out, 1, path("a.ini")), 0);
    EXPECT_EQ(ini_.GetPrivateProfileStringA("A", "x", "d", out, 255, dir_.string()), 1);
}

TEST_F(PrivateProfileDisk, WritesReplaceTheFileAndLeaveNoTemporaryBehind) {
    const std::string p = path("SWKV7ADJ.rs");
    ASSERT_TRUE(ini_.WritePrivateProfileStringA("OPTION", "ComPort", "3", p));
    EXPECT_EQ(slurp(p), "[OPTION]\r\nComPort=3\r\n");
    put(p, kFile);
    ASSERT_TRUE(ini_.WritePrivateProfileStringA("OPTION", "ComPort", "7", p));
    std::string expected = kFile;
    expected[expected.find("ComPort=3") + 8] = '7';
    EXPECT_EQ(slurp(p), expected);
    EXPECT_FALSE(ini_.WritePrivateProfileStringA("OPTION", "Com=Port", "1", p));
    EXPECT_EQ(slurp(p), expected);
    EXPECT_EQ(entries(), 1u);
}

TEST_F(PrivateProfileDisk, AnUnwritablePlaceOnlyReturnsFalse) {
    put(path("plain"), "not a directory");
    EXPECT_FALSE(ini_.WritePrivateProfileStringA("A", "x", "1", path("plain") + "/a.ini"));
    EXPECT_FALSE(ini_.WritePrivateProfileStringA("A", "x", "1", path("no/such/dir/a.ini")));
    fs::create_directory(dir_ / "sub");
    EXPECT_FALSE(ini_.WritePrivateProfileStringA("A", "x", "1", path("sub")));  // a directory
    put(path("ro.ini"), "[A]\nx=0\n");
    fs::permissions(path("ro.ini"), fs::perms::owner_read);
    EXPECT_FALSE(ini_.WritePrivateProfileStringA("A", "x", "1", path("ro.ini")));
    EXPECT_EQ(slurp(path("ro.ini")), "[A]\nx=0\n");
    EXPECT_EQ(slurp(path("plain")), "not a directory");
    EXPECT_EQ(entries(), 3u);
    EXPECT_TRUE(fs::is_empty(dir_ / "sub"));
}

}  // namespace
}  // namespace kv7
