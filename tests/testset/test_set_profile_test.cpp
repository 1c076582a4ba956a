#include "testset/test_set_profile.h"

#include <gtest/gtest.h>

#include "testset/test_set_reading.h"

namespace kv7 {
namespace {

const std::string kGood =
    "; a service monitor in dBm and kHz\n"
    "[TESTSET]\nName=Bench monitor\nMatch=acme,sm-1\nSetup=*RST | *CLS\n"
    "[POWER]\nQuery=POW?\nUnit=dBm\nField=2\nCarrier=0.1\n"
    "[FREQUENCY]\nSetup=FREQ {FREQ_MHZ} MHZ\nQuery=FREQ?\nUnit=MHz\n"
    "[DEVIATION]\nQuery=DEV?\nUnit=kHz\nInvalid=9.91E+37|-1\nAverage=3\n";

TEST(TestSetProfile, AProfileInDbmAndKhzReadsInWattsAndHertz) {
    const ProfileParse p = ParseTestSetProfile(kGood, "bench.testset");
    ASSERT_TRUE(p.profile) << p.error;
    const TestSetProfile& t = *p.profile;
    EXPECT_EQ(t.setup, (std::vector<std::string>{"*RST", "*CLS"}));
    EXPECT_TRUE(ProfileMatches(t, "ACME,SM-1,1234,1.0"));
    EXPECT_FALSE(ProfileMatches(GenericScpiProfile(), "ACME,SM-1"));
    EXPECT_EQ(ExpandFrequency(t.of(Quantity::Frequency)->setup[0], 145612500.0),
              "FREQ 145.612500 MHZ");
    EXPECT_FALSE(t.of(Quantity::FreqError));

    struct Row {
        Quantity q;
        std::string reply;  // owned: a pointer into a temporary would dangle
        bool valid;
        double value;
    };
    const Row rows[] = {
        {Quantity::Power, "OK,+3.7E+01\r\n", true, 5.0119},  // 37 dBm
        {Quantity::Power, "OK, 30", true, 1.0},
        {Quantity::Power, "+30", false, 0},  // the field is missing
        {Quantity::Frequency, "145.6130", true, 145613000.0},
        {Quantity::Deviation, "2.5", true, 2500.0},
        {Quantity::Deviation, "-1", false, 0},  // the profile's own "no reading"
        {Quantity::Deviation, "9.91E+37", false, 0},
        {Quantity::Deviation, "2,5", true, 2000.0},  // field 1 of "2,5"
        {Quantity::Deviation, "nan", false, 0},
        {Quantity::Deviation, std::string(100000, '7'), false, 0},
        {Quantity::Deviation, "\x01\xff garbage", false, 0},
    };
    for (const Row& r : rows) {
        const Reading got = ParseReading(r.reply, *t.of(r.q));
        EXPECT_EQ(got.valid, r.valid) << r.reply.substr(0, 40) << ": " << got.reason;
        if (r.valid) {
            EXPECT_NEAR(got.value, r.value, r.value * 1e-4) << r.reply.substr(0, 40);
        } else {
            EXPECT_FALSE(got.reason.empty());
        }
    }
}

TEST(TestSetProfile, EveryKindOfBadFileIsRefusedNamingFileAndLine) {
    struct Row {
        std::string text;
        const char* error;
    };
    const std::string head = "[TESTSET]\nName=X\n";
    const std::string rest = "[POWER]\nQuery=P?\nUnit=W\n[FREQERROR]\nQuery=F?\nUnit=Hz\n";
    const Row rows[] = {
        {head + rest, "f.testset line 8: the file has no [DEVIATION] section"},
        {head + "[POWER]\nQuery=P?\nUnit=kHz\n", "f.testset line 5: unknown unit 'kHz' in [POWER]"},
        {head + rest + "[DEVIATION]\nQuery=D?\nUnit=MHz\n", "line 11: unknown unit 'MHz'"},
        {head + "[POWER]\nQuery=P?\nUnit=W\nField=0\n", "line 6: Field= must be 1 to 64"},
        {head + std::string(100000, 'A') + "\n", "line 3: the line is longer than 1024"},
        {head + std::string("\x00\x01\xfe", 3) + "\n", "line 3: the line holds characters"},
        {head + "[POWER]\nQuery=P?\n" +
             "[FREQERROR]\nQuery=F?\nUnit=Hz\n[DEVIATION]\nQuery=D?\nUnit=Hz\n",
         "line 3: [POWER] has no Unit="},
        {"Name=X\n", "line 1: a key before the first [SECTION]"},
        {head + "[POWER]\nQuery=P?\nUnit=W\nTimeout=3\n",
         "line 6: unknown key TIMEOUT= in [POWER]"},
        {"[TESTSET]\n" + rest + "[DEVIATION]\nQuery=D?\nUnit=Hz\n",
         "line 1: [TESTSET] has no Name="},
        {head + "[SPECTRUM]\n", "line 3: unknown section [SPECTRUM]"},
        {head + "[POWER]\nQuery=P?\nUnit=W\nMax=2000\n",
         "line 6: Max= must be above 0 and at most 1000 W"},
        {head + "[POWER]\nQuery=P?\nUnit=W\n[FREQERROR]\nMax=0\n",
         "line 7: Max= must be above 0 and at most 1000000 Hz"},
    };
    for (const Row& r : rows) {
        const ProfileParse p = ParseTestSetProfile(r.text, "f.testset");
        EXPECT_FALSE(p.profile) << r.error;
        EXPECT_NE(p.error.find(r.error), std::string::npos) << p.error;
    }
    EXPECT_EQ(GenericScpiProfile().name, "Generic SCPI");
}

}  // namespace
}  // namespace kv7
