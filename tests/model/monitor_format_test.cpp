#include "model/monitor_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>
#include <vector>

#include "store/common.h"

namespace kv7 {
namespace {

TEST(VbFormatTest, PatternsAndRounding) {
    struct Case {
        double value;
        const char* pattern;
        const char* text;
    };
    const std::vector<Case> cases = {
        {150.5, "#000.##0", "150.500"},
        {50.25, "#000.##0", "050.250"},
        {999.9996, "#000.##0", "1000.000"},
        {128 * 5.0 / 255, "##0.#0V", "2.51V"},
        {9.995, "##0.#0V", "10.00V"},
        {2.345, "##0.#0V", "2.35V"},  // a half in decimal, just below it in binary
        {0.005, "##0.#0V", "0.01V"},
        {-0.005, "##0.#0V", "-0.01V"},
        {0.0, "##0.#0V", "0.00V"},
        {146.501465, "#000.####0MHz", "146.50147MHz"},
        {0.45, "###.#0'C", ".45'C"},
        {-0.001, "###.#0'C", ".00'C"},
        {-16.4448, "###.#0'C", "-16.44'C"},
        {128 / 255.0, "0.00%", "50.20%"},
        {1.0, "0.00%", "100.00%"},
        {HUGE_VAL, "##0.#0V", "Invalid"},
        {NAN, "##0.#0V", "Invalid"},
    };
    for (const Case& c : cases) EXPECT_EQ(VbFormat(c.value, c.pattern), c.text) << c.value;
}

TEST(VbFormatTest, RandomValuesRoundToTheNearestStep) {
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> dist(-2000.0, 2000.0);
    for (int i = 0; i < 20000; ++i) {
        const double x = dist(gen) / (i % 7 == 0 ? 1000.0 : 1.0);
        const std::string t = VbFormat(x, "#000.##0");
        const size_t dot = t.find('.');
        ASSERT_NE(dot, std::string::npos) << x;
        ASSERT_EQ(t.size() - dot, 4u) << x << " " << t;
        ASSERT_GE(dot - (t[0] == '-'), 3u) << x << " " << t;
        ASSERT_LE(std::fabs(std::stod(t) - x), 0.0005 + 1e-9) << x << " " << t;
    }
}

TEST(MonitorLineTest, AdLines) {
    struct Case {
        int16_t channel;
        uint8_t v;
        const char* line;
    };
    const std::vector<Case> cases = {
        {0, 0, "VIN  :  0:00h:  0.00V"},
        {0, 128, "VIN  :128:80h:  5.02V"},
        {0, 255, "VIN  :255:FFh: 10.00V"},
        {1, 0, "TEMPS:  0:00h:*Error"},
        {1, 255, "TEMPS:255:FFh:*Error"},
        {1, 1, "TEMPS:  1:01h:-70.19'C"},
        {1, 50, "TEMPS: 50:32h:-16.44'C"},
        {1, 128, "TEMPS:128:80h:  9.27'C"},
        {1, 200, "TEMPS:200:C8h: 37.41'C"},
        {1, 254, "TEMPS:254:FEh:190.15'C"},
        {2, 128, "LVIN :128:80h:  2.51V"},
        {3, 51, "SD   : 51:33h:  1.00V"},
        {4, 255, "REMOT:255:FFh:  5.00V"},
        {5, 82, "BDET : 82:52h:  1.61V(Ni-Cd,Ni-MH)"},
        {5, 83, "BDET : 83:53h:  1.63V(Li-ion)"},
        {5, 173, "BDET :173:ADh:  3.39V(Li-ion)"},
        {5, 174, "BDET :174:AEh:  3.41V(Dry Battery)"},
    };
    for (const Case& c : cases) EXPECT_EQ(AdLine(c.channel, c.v), c.line);
    EXPECT_THROW(AdLine(6, 0), SubscriptError);
    EXPECT_THROW(AdLine(-1, 0), SubscriptError);
}

TEST(MonitorLineTest, DaLines) {
    struct Case {
        int16_t number;
        uint8_t v;
        const char* line;
    };
    const std::vector<Case> cases = {
        {0, 128, "BPF T1 :128:80h:  2.51V"}, {1, 0, "BPF T2 :  0:00h:  0.00V"},
        {2, 255, "BPF T3 :255:FFh:  5.00V"}, {3, 51, "T4/POW : 51:33h:  1.00V"},
        {4, 10, "REF    : 10:0Ah:  0.20V"},  {5, 128, "DTCS BL:128:80h: 50.20%"},
        {6, 1, "Dev    :  1:01h:  0.02V"},   {7, 255, "SQL Lev:255:FFh:100.00%"},
        {7, 0, "SQL Lev:  0:00h:  0.00%"},
    };
    for (const Case& c : cases) EXPECT_EQ(DaLine(c.number, c.v), c.line);
    EXPECT_THROW(DaLine(8, 0), SubscriptError);
}

class ChannelLineTest : public ::testing::Test {
  protected:
    void record(int16_t ch, std::vector<uint8_t> freqs, uint8_t power = 0) {
        int32_t adr = 576 + 20 * ch;
        for (uint8_t b : freqs) eep.WriteByte(adr++, b);
        eep.WriteByte(576 + 20 * ch + 9, power);
    }
    clsCmcEeprom eep;
    clsIndEep_RigKV7 map{eep};
};

TEST_F(ChannelLineTest, ChannelLines) {
    record(4, {0x14, 0x62, 0x50, 0x14, 0x62, 0x50});
    record(11, {0x94, 0x62, 0x50, 0x14, 0x60, 0x00}, 0x02);
    record(0, {0x05, 0x02, 0x50, 0x85, 0x02, 0x50}, 0xFD);
    record(1, {0x14, 0x6A, 0x00, 0x14, 0x60, 0x00});
    record(2, {0x14, 0x60, 0x00, 0x14, 0x6F, 0x00});
    record(3, {0x14, 0x60, 0x00, 0x15, 0x00, 0x00});
    record(5, {0x14, 0x6A, 0x00, 0x14, 0x6A, 0x00});
    const std::string t = "    CH No.";
    struct Case {
        int16_t ch;
        std::string line;
    };
    const std::vector<Case> cases = {
        {4, t + ": 05 (RX Freq = 146.250, TX Freq =   <-   )   RF Power: High"},
        {11, t + ": 12 (RX Freq = Inhibit, TX Freq = 146.000)   RF Power: Low"},
        {0, t + ": 01 (RX Freq = 050.250, TX Freq = Inhibit)   RF Power: High"},
        {1, t + ": 02 (RX Freq = Invalid, TX Freq = 146.000)   RF Power: High"},
        {2, t + ": 03 (RX Freq = 146.000, TX Freq = Invalid)   RF Power: High"},
        {3, t + ": 04 (RX Freq = 146.000, TX Freq = 150.000)   RF Power: High"},
        {5, t + ": 06 (RX Freq = Invalid, TX Freq = Invalid)   RF Power: High"},
        {9, t + ": 10 (RX Freq = 000.000, TX Freq =   <-   )   RF Power: High"},
    };
    for (const Case& c : cases) EXPECT_EQ(ChannelLine(t, map, c.ch), c.line) << c.ch;
    EXPECT_THROW(ChannelLine(t, map, 42), SubscriptError);
}

TEST_F(ChannelLineTest, TxfLines) {
    record(0, {0x14, 0x60, 0x00, 0x14, 0x60, 0x00});
    record(1, {0x14, 0x60, 0x00, 0x14, 0x65, 0x00});
    record(2, {0x14, 0x60, 0x00, 0x94, 0x60, 0x00});
    record(3, {0x14, 0x60, 0x00, 0x14, 0xA0, 0x00});
    const std::string t = "       TXF";
    struct Case {
        int16_t procStep;
        bool second;
        int16_t ch;
        int16_t val;
        std::string line;
    };
    const std::vector<Case> cases = {
        {0, false, 0, 7, t + ": [Enter] to Start"},
        {6, true, 0, 7, t + ": [Enter] to Start"},
        {1, false, 0, 7, t + ": 1st TX Freq = 146.00000MHz, Setting =   7<bar>"},
        {5, true, 0, 255, t + ": 2nd TX Freq = 146.00146MHz, Setting = 255<bar>"},
        {3, true, 1, 60, t + ": 2nd TX Freq = 146.50147MHz, Setting =  60<bar>"},
        {3, false, 2, 0, t + ": 1st TX Freq = Inhibit, Setting =   0<bar>"},
        {3, false, 3, 0, t + ": 1st TX Freq = Invalid, Setting =   0<bar>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TxfLine(t, c.procStep, c.second, map, c.ch, c.val, "<bar>"), c.line);
}

TEST(BpfLineTest, PromptsAndSweeping) {
    const std::string all = "   BPF ALL";
    EXPECT_EQ(BpfAllLine(all, 0, 6, 6), all + ": [Enter] to Sweep");
    EXPECT_EQ(BpfAllLine(all, 3, 6, 6), all + ": [Enter] to Sweep");  // TXF running
    EXPECT_EQ(BpfAllLine(all, 6, 6, 6), all + ": Sweeping");
    EXPECT_EQ(BpfAllLine(all, 10, 6, 6), all + ": Sweeping");
    EXPECT_EQ(BpfAllLine(all, 9, 6, 8), all + ": [Enter] to Sweep");  // started from T2
    EXPECT_EQ(BpfStageLine("T2", 0, true), "T2 [Enter] to Sweep");
    EXPECT_EQ(BpfStageLine("T2", 11, false), "T2 [Enter] to Sweep");
    EXPECT_EQ(BpfStageLine("T2", 8, true), "T2 Sweeping");
    EXPECT_EQ(BpfStageLine("T1", 8, false), "T1");
}

TEST(MonitorAnswerTest, ValidityAndValue) {
    const ByteString id = {0x22, 0x51, 0x02, 0x00};
    struct Case {
        ByteString answer;
        bool invalid;
        int16_t value;
    };
    const std::vector<Case> cases = {
        {{0x22, 0x51, 0x02, 0x00, 0x03, '8', '0'}, false, 128},
        {{0x22, 0x51, 0x02, 0x00, 0x03, 'a', 'F'}, false, 175},
        {{0x22, 0x51, 0x02, 0x00, 0x03, '0', '0'}, false, 0},
        {{0x22, 0x51, 0x02, 0x00, 0x03, '8', '0', 0x00}, true, 0},
        {{0x22, 0x51, 0x02, 0x00, '8', '0'}, true, 0},
        {{}, true, 0},
        {{0x22, 0x51, 0x01, 0x99, 0x03, '8', '0'}, true, 0},
        {{0x22, 0x51, 0x02, 0x00, 0x03, 'G', '0'}, true, 0},
        {{0x22, 0x51, 0x02, 0x00, 0x03, ' ', 'A'}, true, 0},
        {{0x22, 0x51, 0x02, 0x00, 0x03, '8', 0x00}, true, 0},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        EXPECT_EQ(AnswerInvalid(c.answer, id), c.invalid) << i;
        if (!c.invalid) {
            EXPECT_EQ(AnswerValue(c.answer), c.value) << i;
        }
    }
    // Before a clone read the identity is empty and matches any radio.
    EXPECT_FALSE(AnswerInvalid({1, 2, 3, 4, 5, '1', '2'}, {}));
    EXPECT_TRUE(AnswerInvalid({1, 2, 3, 4, 5, '1', '2'}, ByteString(8, 1)));
    EXPECT_THROW(AnswerValue({0x22, 0x51}), std::invalid_argument);
    EXPECT_THROW(AnswerValue({0x22, 0x51, 0x02, 0x00, 0x03, 'x', '0'}), std::invalid_argument);
}

}  // namespace
}  // namespace kv7
