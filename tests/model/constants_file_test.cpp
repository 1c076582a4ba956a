#include "model/constants_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace kv7 {
namespace {

TEST(VbValTest, LeadingNumber) {
    struct Case {
        const char* text;
        double value;
    };
    const std::vector<Case> cases = {
        {"", 0},         {"abc", 0},         {"  ", 0},          {"12", 12},
        {" 1.5e1x", 15}, {"\t-0.25", -0.25}, {"+3", 3},          {".5", 0.5},
        {"5.", 5},       {"-", 0},           {"-.", 0},          {"1.2.3", 1.2},
        {"1e", 1},       {"1e+", 1},         {"2E-1", 0.2},      {"3d2", 300},
        {"3D+1", 30},    {"7 8", 7},         {"1,5", 1},         {"&H10", 0},
        {"0.001e3", 1},  {"1e-400", 0},      {"00012.50", 12.5}, {"9e9", 9e9},
    };
    for (const Case& c : cases) EXPECT_DOUBLE_EQ(VbVal(c.text), c.value) << c.text;
    EXPECT_TRUE(std::isinf(VbVal("1e400")));
    EXPECT_TRUE(std::isinf(VbVal("-1" + std::string(400, '0'))));
    EXPECT_EQ(VbVal("0." + std::string(400, '0') + "1"), 0.0);
}

// A file of the expected layout, with line ends `eol`.
std::string constFile(const std::string& eol, const std::string& head20 = kConstHeaderRev20,
                      const std::string& head10 = kConstHeaderRev10) {
    std::string s = head20 + eol;
    for (int i = 0; i < 21; ++i) s += std::to_string(i * 0.1) + eol;
    s += head10 + eol;
    for (int i = 0; i < 21; ++i) s += std::to_string(-i) + eol;
    return s;
}

TEST(ConstantsFileTest, GoodFilesAreRead) {
    const std::vector<std::string> files = {
        constFile("\r\n"),
        constFile("\n"),
        constFile("\r"),
        constFile("\r\n", "  SW-KV7 ADJ Rev.2.0 \t", " SW-KV7 ADJ Rev.1.0  "),
        "\xEF\xBB\xBF" + constFile("\r\n"),
        constFile("\r\n") + "extra line\r\nmore\r\n",
        constFile("\r\n").substr(0, constFile("\r\n").size() - 2),  // no break after the last
    };
    for (size_t f = 0; f < files.size(); ++f) {
        ConstTable a{}, b{};
        a[21] = b[21] = 7;
        std::istringstream in(files[f]);
        ASSERT_TRUE(ReadConstants(in, a, b)) << f;
        for (size_t i = 0; i < 21; ++i) {
            EXPECT_FLOAT_EQ(a[i], static_cast<float>(i * 0.1)) << f << " " << i;
            EXPECT_FLOAT_EQ(b[i], -static_cast<float>(i)) << f << " " << i;
        }
        EXPECT_EQ(a[21], 7);
        EXPECT_EQ(b[21], 7);
    }
}

TEST(ConstantsFileTest, BadFilesAreRefusedKeepingWhatWasRead) {
    const std::string good = constFile("\r\n");
    std::string first30;
    {
        std::istringstream in(good);
        std::string line;
        for (int i = 0; i < 30 && std::getline(in, line); ++i) first30 += line + "\n";
    }
    std::string huge = good;
    huge.replace(huge.find("0.500000"), 8, "1e39");
    std::string noNumber = good;
    noNumber.replace(noNumber.find("0.300000"), 8, " abc 1");
    struct Case {
        std::string text;
        int rev20Read;  // entries of rev20 taken before the failure
        int rev10Read;
    };
    const std::vector<Case> cases = {
        {"", 0, 0},
        {first30, 21, 7},
        {constFile("\r\n", "SW-KV7 ADJ Rev.2.1"), 0, 0},
        {constFile("\r\n", kConstHeaderRev20, "SW-KV7 ADJ Rev.2.0"), 21, 0},
        {constFile("\r\n", "SW-KV7  ADJ Rev.2.0"), 0, 0},
        {huge, 5, 0},
        {noNumber, 3, 0},
    };
    for (size_t c = 0; c < cases.size(); ++c) {
        ConstTable a, b;
        a.fill(99);
        b.fill(99);
        std::istringstream in(cases[c].text);
        EXPECT_FALSE(ReadConstants(in, a, b)) << c;
        for (int i = 0; i < 21; ++i) {
            EXPECT_EQ(a[i] != 99, i < cases[c].rev20Read) << c << " " << i;
            EXPECT_EQ(b[i] != 99, i < cases[c].rev10Read) << c << " " << i;
        }
    }
}

TEST(ConstantsFileTest, RandomBytesAreRefusedOrReadSafely) {
    std::mt19937 gen(11);
    const std::string alphabet = "0123456789+-.eEdD \t\r\nx&H";
    const std::string good = constFile("\r\n");
    for (int i = 0; i < 3000; ++i) {
        std::string text = good;
        // Mutate a few characters of a valid file, or make up a short text.
        if (i % 3 == 0) {
            text.assign(gen() % 64, ' ');
            for (char& ch : text) ch = static_cast<char>(gen() % 256);
        } else {
            for (int m = 0; m < 4; ++m)
                text[gen() % text.size()] = alphabet[gen() % alphabet.size()];
        }
        ConstTable a{}, b{};
        std::istringstream in(text);
        if (ReadConstants(in, a, b)) {
            for (size_t k = 0; k < 21; ++k) {
                EXPECT_TRUE(std::isfinite(a[k]) && std::isfinite(b[k])) << text;
            }
        }
        const double v = VbVal(text);
        EXPECT_FALSE(std::isnan(v)) << text;
    }
}

TEST(ConstantsFileTest, FromAFile) {
    ConstTable a{}, b{};
    EXPECT_FALSE(ReadConstantsFile("/nonexistent/dir/Const.ini", a, b));
    const std::string path = ::testing::TempDir() + "kv7_const_test.ini";
    {
        std::ofstream out(path, std::ios::binary);
        out << constFile("\r\n");
    }
    EXPECT_TRUE(ReadConstantsFile(path, a, b));
    EXPECT_FLOAT_EQ(a[20], 2.0f);
    EXPECT_FLOAT_EQ(b[20], -20.0f);
    std::remove(path.c_str());
}

TEST(ConstantsFileTest, SampleDataFileIsAccepted) {
    ConstTable a{}, b{};
    // The sample lives in data/ of the source tree, two folders above this file.
    std::string path = __FILE__;
    path = path.substr(0, path.rfind("tests/model/")) + "data/Const.ini";
    ASSERT_TRUE(ReadConstantsFile(path, a, b)) << path;
    EXPECT_FLOAT_EQ(a[0], 0.0f);
    for (size_t i = 1; i < 21; ++i) EXPECT_GT(a[i], a[i - 1]) << i;
}

}  // namespace
}  // namespace kv7
