#include "store/profile_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <random>

namespace kv7 {
namespace {

namespace fs = std::filesystem;

// Keeps keys in memory and remembers the file names it was handed.
class FakeProfileFile : public ProfileFile {
  public:
    int32_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                     const std::string& defaultText, std::string& returned,
                                     int32_t size, const std::string& fileName) override {
        lastFile = fileName;
        auto it = values.find(section + "/" + key);
        const std::string& text = it == values.end() ? defaultText : it->second;
        returned = text.substr(0, static_cast<std::size_t>(size - 1));
        return static_cast<int32_t>(returned.size());
    }
    bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                    const std::string& text, const std::string& fileName) override {
        lastFile = fileName;
        if (failWrites) return false;
        values[section + "/" + key] = text;
        return true;
    }
    std::map<std::string, std::string> values;
    std::string lastFile;
    bool failWrites = false;
};

class ProfileIO : public ::testing::Test {
  protected:
    ProfileIO() : prof_(file_, "C:\\KV7") { prof_.setSection("OPTION"); }
    // Loads stored text into a variable starting at `start`; returns flag and the variable.
    template <typename T>
    std::pair<bool, T> load(const std::string& stored, T start) {
        file_.values["OPTION/k"] = stored;
        T v = start;
        const bool ok = prof_.loadData("k", v);
        return {ok, v};
    }
    FakeProfileFile file_;
    clsCmcProfileIO prof_;
};

TEST_F(ProfileIO, SavesTheTextForms) {
    const struct {
        ProfileValue value;
        std::optional<std::string> text;
    } cases[] = {
        {int16_t{3}, "3"},
        {int32_t{-70000}, "-70000"},
        {uint8_t{255}, "255"},
        {0.1f, "0.1"},
        {-2.5, "-2.5"},
        {Currency{125000}, "12.5"},
        {Currency{-1}, "-0.0001"},
        {Currency{std::numeric_limits<int64_t>::min()}, "-922337203685477.5808"},
        {std::string(" text "), " text "},
        {true, "1"},
        {false, "0"},
        {DateTime{2000, 12, 31, 23, 59, 58}, "2000.12.31-23:59:58"},
        {DateTime{2001, 2, 29, 0, 0, 0}, std::nullopt},
        {std::numeric_limits<double>::infinity(), std::nullopt},
    };
    for (const auto& c : cases) {
        file_.values.clear();
        EXPECT_EQ(prof_.saveData("k", c.value), c.text.has_value()) << c.text.value_or("-");
        if (c.text) {
            EXPECT_EQ(file_.values["OPTION/k"], *c.text);
        } else {
            EXPECT_TRUE(file_.values.empty());
        }
    }
    EXPECT_TRUE(prof_.saveData("k", "plain"));
    EXPECT_EQ(file_.values["OPTION/k"], "plain");
    EXPECT_TRUE(prof_.saveData("k", int16_t{0}));  // a number, not an empty text
    EXPECT_EQ(file_.values["OPTION/k"], "0");
    EXPECT_TRUE(prof_.saveData("k", std::string("plain")));
    EXPECT_EQ(file_.values["OPTION/k"], "plain");
    file_.failWrites = true;
    EXPECT_FALSE(prof_.saveData("k", int16_t{1}));
}

TEST_F(ProfileIO, IntegersConvertStrictly) {
    const struct {
        std::string text;
        bool ok16;
        int16_t v16;
        bool okByte;
        bool ok32;
    } cases[] = {
        {"3", true, 3, true, true},       {"-32768", true, -32768, false, true},
        {"32768", false, 7, false, true}, {"255  ", true, 255, true, true},
        {"256", true, 256, false, true},  {"12abc", false, 7, false, false},
        {"1.5", false, 7, false, false},  {"abc", false, 7, false, false},
        {"-", false, 7, false, false},    {"99999999999999999999", false, 7, false, false},
        {"+12", true, 12, true, true},    {"2147483648", false, 7, false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(load(c.text, int16_t{7}), std::make_pair(c.ok16, c.v16)) << c.text;
        EXPECT_EQ(load(c.text, uint8_t{7}).first, c.okByte) << c.text;
        EXPECT_EQ(load(c.text, int32_t{7}).first, c.ok32) << c.text;
    }
}

TEST_F(ProfileIO, OtherTypesFromText) {
    EXPECT_EQ(load("1.25", 0.0), std::make_pair(true, 1.25));
    EXPECT_EQ(load("1e400", 7.0), std::make_pair(false, 7.0));
    EXPECT_EQ(load("nan", 7.0), std::make_pair(false, 7.0));
    EXPECT_EQ(load("1e39", 7.0f), std::make_pair(false, 7.0f));
    EXPECT_EQ(load("12.3456", Currency{}), std::make_pair(true, Currency{123456}));
    EXPECT_EQ(load("-0.5", Currency{}), std::make_pair(true, Currency{-5000}));
    EXPECT_EQ(load("1.00000", Currency{}), std::make_pair(true, Currency{10000}));
    EXPECT_EQ(load("1.00001", Currency{7}), std::make_pair(false, Currency{7}));
    EXPECT_EQ(load("922337203685477.5808", Currency{7}), std::make_pair(false, Currency{7}));
    EXPECT_EQ(load("-922337203685477.5808", Currency{}).second.units,
              std::numeric_limits<int64_t>::min());
    for (const auto& [text, flag] : {std::pair<std::string, bool>{"0", false},
                                     {"1", true},
                                     {"yes", true},
                                     {"0  ", false},
                                     {"00", true}}) {
        EXPECT_EQ(load(text, !flag), std::make_pair(true, flag)) << text;
    }
    EXPECT_EQ(load("Radio   ", std::string()), std::make_pair(true, std::string("Radio")));
    EXPECT_EQ(load(std::string("5\0xyz", 5), int16_t{0}), std::make_pair(true, int16_t{5}));
}

TEST_F(ProfileIO, DateTimeOnlyFromNineteenValidCharacters) {
    const DateTime start{1999, 1, 2, 3, 4, 5};
    const struct {
        std::string text;
        bool ok;
        DateTime value;
    } cases[] = {
        {"2000.12.31-23:59:58", true, {2000, 12, 31, 23, 59, 58}},
        {"2000/02/29 00:00:00", true, {2000, 2, 29, 0, 0, 0}},
        {"1900.02.29-00:00:00", false, start},
        {"2000.13.31-23:59:58", false, start},
        {"2000.12.31-24:00:00", false, start},
        {"2000.12.31-23:59", false, start},
        {"2000.12.31-23:59:58x", false, start},
        {"20a0.12.31-23:59:58", false, start},
        {"2000.-1.31-23:59:58", false, start},
    };
    for (const auto& c : cases)
        EXPECT_EQ(load(c.text, start), std::make_pair(c.ok, c.value)) << c.text;
}

TEST_F(ProfileIO, DefaultsMustMatchTheVariablesType) {
    int32_t v = 0;
    EXPECT_TRUE(prof_.loadData("ComPort", v, int32_t{1}));
    EXPECT_EQ(v, 1);
    v = 5;
    EXPECT_FALSE(prof_.loadData("ComPort", v, int16_t{1}));
    EXPECT_FALSE(prof_.loadData("ComPort", v, 1.0));
    EXPECT_EQ(v, 5);
    std::string s = "keep";
    EXPECT_FALSE(prof_.loadData("Name", s, ""));  // nothing copied
    EXPECT_TRUE(prof_.loadData("Name", s, "dflt"));
    EXPECT_EQ(s, "dflt");
    file_.values["OPTION/ComPort"] = "";
    EXPECT_FALSE(prof_.loadData("ComPort", v, int32_t{1}));
    EXPECT_EQ(v, 5);
    ProfileValue pv = int32_t{4};
    EXPECT_FALSE(prof_.loadData("x", pv, ProfileValue(std::string("1"))));
    EXPECT_EQ(pv, ProfileValue(int32_t{4}));
    DateTime d{2000, 1, 1, 0, 0, 0};
    EXPECT_TRUE(prof_.loadData("when", d, DateTime{2010, 5, 6, 7, 8, 9}));
    EXPECT_EQ(d, (DateTime{2010, 5, 6, 7, 8, 9}));
}

TEST_F(ProfileIO, PathHelpers) {
    const struct {
        std::string in, fileName, pathName;
    } cases[] = {
        {"C:\\DIR\\A.INI", "A.INI", "C:\\DIR"},
        {"C:A.INI", "A.INI", "C:\\KV7"},
        {"A.INI", "A.INI", "C:\\KV7"},
        {"C:\\X.INI", "X.INI", "C:"},
        {"C:/APP/X.INI", "/APP/X.INI", "C:\\APP"},
        {"APP\\", "", "APP"},
        {"\\", "", ""},
        {"", "", "C:\\KV7"},
        {"C:\\", "", "C:"},
        {"\\\\srv\\share\\a.ini", "a.ini", "\\\\srv\\share"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(clsCmcProfileIO::GetFileName(c.in), c.fileName) << c.in;
        EXPECT_EQ(prof_.GetPathName(c.in), c.pathName) << c.in;
    }
    EXPECT_EQ(clsCmcProfileIO::StripTerminator(std::string("ab\0cd", 5)), "ab");
    EXPECT_EQ(clsCmcProfileIO::UCase16("mixed Case"), "mixed Case");
}

TEST_F(ProfileIO, WhereTheFileIs) {
    // Path ends with the platform's separator; one that is already there is kept as it is.
    const std::string sep(1, static_cast<char>(fs::path::preferred_separator));
    const struct {
        std::string programDir, path;
    } current[] = {{"C:\\", "C:\\"},
                   {"C:\\KV7", "C:\\KV7" + sep},
                   {"/opt/kv7", "/opt/kv7" + sep},
                   {"/opt/kv7/", "/opt/kv7/"},
                   {"/", "/"},
                   {"", ""}};
    for (const auto& c : current) {
        prof_.SetCurrentPath(c.programDir);
        EXPECT_EQ(prof_.Path(), c.path) << c.programDir;
        EXPECT_EQ(prof_.programDirectory(), c.programDir);
        // Loads and saves go to exactly Path followed by Name.
        prof_.setName("SWKV7ADJ.rs");
        ASSERT_TRUE(prof_.saveData("k", int16_t{1}));
        EXPECT_EQ(file_.lastFile, c.path + "SWKV7ADJ.rs");
        int16_t v = 0;
        ASSERT_TRUE(prof_.loadData("k", v));
        EXPECT_EQ(file_.lastFile, c.path + "SWKV7ADJ.rs");
    }
    const bool slash = sep == "/";
    const struct {
        std::string full, path, name;
    } full[] = {{"C:\\APP\\X.INI", slash ? "C:/APP/" : "C:\\APP\\", "X.INI"},
                {"C:/APP/X.INI", slash ? "C:/APP/" : "C:\\APP\\", "X.INI"},
                {"C:\\X.INI", slash ? "C:/" : "C:\\", "X.INI"},
                {"/opt/kv7/SWKV7ADJ.rs", slash ? "/opt/kv7/" : "\\opt\\kv7\\", "SWKV7ADJ.rs"},
                {"/SWKV7ADJ.rs", sep, "SWKV7ADJ.rs"},
                {"X.INI", "", "X.INI"}};
    for (const auto& c : full) {
        prof_.setFullPath(c.full);
        EXPECT_EQ(prof_.Path(), c.path) << c.full;
        EXPECT_EQ(prof_.Name(), c.name) << c.full;
        EXPECT_EQ(prof_.FullPath(), c.path + c.name);
    }
    // A bare name lies in the program directory.
    prof_.SetCurrentPath("/opt/kv7");
    prof_.setFullPath("X.INI");
    EXPECT_EQ(prof_.FullPath(), "/opt/kv7" + sep + "X.INI");
}

TEST_F(ProfileIO, TextDefaults) {
    std::string s = "keep";
    const char* none = nullptr;
    EXPECT_FALSE(prof_.loadData("Name", s, none));
    EXPECT_EQ(s, "keep");
    EXPECT_TRUE(prof_.loadData("Name", s, std::string("given")));
    EXPECT_EQ(s, "given");
    int16_t n = 4;
    EXPECT_FALSE(prof_.loadData("Name", n, "5"));  // text is not a 16-bit default
    EXPECT_EQ(n, 4);
}

TEST(ProfileIODisk, SettingsFileInAPosixProgramDirectory) {
    if constexpr (fs::path::preferred_separator != '/') {
        GTEST_SKIP() << "program directories here are not POSIX paths";
    }
    const fs::path dir =
        fs::temp_directory_path() / ("kv7_prof_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    clsCmcProfileIO prof(dir.string());
    prof.SetCurrentPath();
    prof.setName("SWKV7ADJ.rs");
    prof.setSection("OPTION");
    EXPECT_EQ(prof.Path(), dir.string() + "/");
    EXPECT_TRUE(prof.saveData("ComPort", int16_t{3}));
    EXPECT_TRUE(prof.saveData("ComAutoRelease", int16_t{0}));
    std::ifstream in(prof.GetMyProfile(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
              "[OPTION]\r\nComPort=3\r\nComAutoRelease=0\r\n");
    int32_t v = 0;
    EXPECT_TRUE(prof.loadData("ComPort", v, int32_t{1}));
    EXPECT_EQ(v, 3);
    EXPECT_TRUE(prof.loadData("ComAutoRelease", v, int32_t{1}));
    EXPECT_EQ(v, 0);
    // The same file reached through FullPath.
    clsCmcProfileIO other;
    other.setFullPath(prof.FullPath());
    other.setSection("option");
    EXPECT_EQ(other.FullPath(), prof.FullPath());
    int16_t port = 0;
    EXPECT_TRUE(other.loadData("comport", port));
    EXPECT_EQ(port, 3);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kv7
