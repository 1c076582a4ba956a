#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.h"
#include "console/support/fake_clone_link.h"
#include "console/support/fake_console_events.h"
#include "console/support/fake_list_box.h"
#include "protocol/protocol_driver.h"
#include "protocol/radio.h"
#include "protocol/sequencer.h"
#include "protocol/tick.h"
#include "store/common.h"

namespace kv7 {
namespace {

using Call = test::FakeConsoleEvents::Call;

// A console wired like the program's: the real sequencer and driver on a fake line.
class ConsoleActionsTest : public ::testing::Test {
  protected:
    ConsoleActionsTest() : driver(ticks), seq(link, driver, radio, ticks) {
        driver.myObjCom = &link;
        radio.setRadioNameM("2251");
        radio.setRadionameS("0200");
        console.myListBox = &box;
        console.myEventClass = &events;
        console.myQkv3Seq = &seq;
        console.myEeprom = &radio.eepImage;
        console.AddItem();
        console.AddItem();
    }

    // Finishes the running operation the way the heartbeat would.
    void finishOperation() {
        seq.task();
        ASSERT_FALSE(seq.OpRunning());
    }

    ManualTickSource ticks;
    test::FakeCloneLink link;
    clsCmcQkv3Drv driver;
    clsCmcRadio radio;
    clsCmcQkv3Sequence seq;
    test::FakeListBox box;
    test::FakeConsoleEvents events;
    clsConsole console;
};

TEST_F(ConsoleActionsTest, UpDownStepsWithinLimitsAndWrapsOnlyFromALimit) {
    struct Case {
        bool loop;
        int16_t value;
        int16_t step;
        int16_t result;
    };
    // Min 0, Max 255 throughout.
    const Case cases[] = {
        {true, 255, 1, 0},    {true, 0, -1, 255},   {true, 255, 5, 0},    {true, 0, -5, 255},
        {true, 254, 5, 255},  {true, 1, -5, 0},     {true, 100, 1, 101},  {true, 100, -5, 95},
        {false, 254, 5, 255}, {false, 255, 1, 255}, {false, 255, 5, 255}, {false, 0, -1, 0},
        {false, 3, -5, 0},    {false, 0, 1, 1},     {false, 10, -5, 5},
    };
    for (const Case& c : cases) {
        console.setLoopVal(0, c.loop);
        console.setValue(0, c.value);
        console.setFlgChanged(0, false);
        console.UpDown(0, c.step);
        const std::string what = std::string(c.loop ? "loop " : "") + std::to_string(c.value) +
                                 " step " + std::to_string(c.step);
        EXPECT_EQ(console.Value(0), c.result) << what;
        EXPECT_TRUE(console.flgChanged(0)) << what;
        EXPECT_EQ(box.List(0), console.DefaultString(0)) << what;
    }
}

TEST_F(ConsoleActionsTest, UpDownWrapsAfterReachingTheLimitFirst) {
    console.setMax(0, 10);
    console.setLoopVal(0, true);
    console.setValue(0, 8);
    std::vector<int16_t> seen;
    for (int i = 0; i < 3; ++i) {
        console.UpDown(0, 5);
        seen.push_back(console.Value(0));
    }
    EXPECT_EQ(seen, (std::vector<int16_t>{10, 0, 5}));
}

TEST_F(ConsoleActionsTest, UpDownOverflowThrowsAndLeavesTheItem) {
    console.setMin(0, -32768);
    console.setMax(0, 32767);
    struct Case {
        int16_t value;
        int16_t step;
    };
    for (const Case c : {Case{32767, 1}, Case{32765, 5}, Case{-32768, -1}, Case{-32766, -5}}) {
        console.setValue(0, c.value);
        console.setFlgChanged(0, false);
        box.resetRedraws();
        EXPECT_THROW(console.UpDown(0, c.step), OverflowError) << c.value << " " << c.step;
        EXPECT_EQ(console.Value(0), c.value);
        EXPECT_FALSE(console.flgChanged(0));
        EXPECT_EQ(box.redraws(0), 0);
    }
    // At a limit with wrapping on there is no sum to overflow.
    console.setLoopVal(0, true);
    console.setValue(0, 32767);
    console.UpDown(0, 1);
    EXPECT_EQ(console.Value(0), -32768);
}

TEST_F(ConsoleActionsTest, ReadFromEeHonoursSignAndLimits) {
    struct Case {
        uint8_t byte;
        bool isSigned;
        int16_t min, max;
        int16_t result;
    };
    const Case cases[] = {
        {200, false, 0, 255, 200},  {200, false, 0, 150, 150},   {200, true, -128, 127, -56},
        {200, true, -50, 127, -50}, {127, true, -128, 127, 127}, {128, true, -128, 127, -128},
        {255, true, -128, 127, -1}, {255, false, 0, 255, 255},   {200, true, 0, 255, 0},
    };
    console.setEeAdr(0, 5119);
    for (const Case& c : cases) {
        radio.eepImage.WriteByte(5119, c.byte);
        console.setEeDataSigned(0, c.isSigned);
        console.setMin(0, -32768);
        console.setMax(0, c.max);
        console.setMin(0, c.min);
        console.setValue(0, 1);
        console.setFlgChanged(0, false);
        console.ReadFromEe(0);
        EXPECT_EQ(console.Value(0), c.result) << int{c.byte} << (c.isSigned ? " signed" : "");
        EXPECT_TRUE(console.flgChanged(0));
    }
}

TEST_F(ConsoleActionsTest, ItemWithoutEepromAddressNeitherReadsNorWrites) {
    radio.eepImage.WriteByte(0, 99);
    console.setValue(1, 7);
    console.setFlgChanged(1, false);
    console.ReadFromEe(1);
    EXPECT_EQ(console.Value(1), 7);
    EXPECT_FALSE(console.flgChanged(1));
    console.WriteToEe(1);
    EXPECT_EQ(radio.eepImage.ReadBlock(0, 5120), [] {
        ByteString image(5120, 0);
        image[0] = 99;
        return image;
    }());
}

TEST_F(ConsoleActionsTest, WriteToEeStoresTheLowByte) {
    struct Case {
        int16_t value;
        uint8_t stored;
    };
    console.setMin(0, -128);
    console.setEeAdr(0, 0x123);
    for (const Case c :
         {Case{-56, 200}, Case{-1, 255}, Case{-128, 128}, Case{127, 127}, Case{255, 255}}) {
        console.setValue(0, c.value);
        console.WriteToEe(0);
        EXPECT_EQ(radio.eepImage.ReadByte(0x123), c.stored) << c.value;
    }
}

TEST_F(ConsoleActionsTest, SendE8WritesTheAdjustmentFrameThenTheImage) {
    struct Case {
        int16_t command;
        int16_t min;
        int16_t value;
        int32_t wait;
        ByteString frame;
        uint8_t image;
    };
    const ByteString head = {0xFE, 0xFE, 0xEE, 0xEF, 0xE8, 0x22, 0x51, 0x02, 0x00};
    auto frame = [&](std::initializer_list<uint8_t> tail) {
        ByteString f = head;
        f.insert(f.end(), tail);
        f.push_back(0xFD);
        return f;
    };
    const Case cases[] = {
        {16, 0, 10, 200, frame({0x10, 0x30, 0x41}), 10},
        {300, 0, 10, 200, frame({0x2C, 0x30, 0x41}), 10},  // only the command's low byte
        {5, 0, 200, 150, frame({0x05, 0x43, 0x38}), 200},
        {2, 0, 1, 0, frame({0x02, 0x30, 0x31}), 1},
        {16, -128, -56, 200, frame({0x10, 0x43, 0x38}), 200},
    };
    console.setEeAdr(0, 40);
    for (const Case& c : cases) {
        link.written.clear();
        events.waits.clear();
        console.setE8Command(0, c.command);
        console.setMin(0, c.min);
        console.setValue(0, c.value);
        console.setWaitAfterE8(0, c.wait);
        console.SendE8(0);
        ASSERT_EQ(link.written.size(), 1u) << c.command;
        EXPECT_EQ(link.written[0], c.frame) << c.command;
        EXPECT_EQ(events.waits, std::vector<int32_t>{c.wait}) << c.command;
        EXPECT_EQ(radio.eepImage.ReadByte(40), c.image) << c.command;
        EXPECT_TRUE(events.calls.empty()) << c.command;  // no send handler involved
        finishOperation();
    }
}

TEST_F(ConsoleActionsTest, SendE8WithoutCommandOnlyStoresTheValue) {
    console.setEeAdr(1, 41);
    console.setValue(1, 33);
    console.SendE8(1);
    EXPECT_TRUE(link.written.empty());
    EXPECT_TRUE(events.waits.empty());
    EXPECT_FALSE(seq.OpRunning());
    EXPECT_EQ(radio.eepImage.ReadByte(41), 33);
}

TEST_F(ConsoleActionsTest, SendE8EventHandsSendingToTheEventClass) {
    console.setEeAdr(1, 42);
    console.setE8Command(1, 0);
    console.setEvent_SendE8(1, 0);
    console.setValue(1, 4);
    console.SendE8(1);
    EXPECT_EQ(events.calls, (std::vector<Call>{{"SendE8", 1, 0, 4}}));
    EXPECT_TRUE(link.written.empty());
    EXPECT_TRUE(events.waits.empty());
    EXPECT_EQ(radio.eepImage.ReadByte(42), 4);
}

TEST_F(ConsoleActionsTest, SendE8WithMissingWiringSendsNothing) {
    console.setE8Command(0, 16);
    console.myEventClass = nullptr;
    EXPECT_THROW(console.SendE8(0), std::logic_error);
    console.myEventClass = &events;
    console.myQkv3Seq = nullptr;
    EXPECT_THROW(console.SendE8(0), std::logic_error);
    EXPECT_TRUE(link.written.empty());
    EXPECT_TRUE(events.waits.empty());
}

TEST_F(ConsoleActionsTest, EnterExecRunsTheHandlerThenRedraws) {
    box.resetRedraws();
    console.EnterExec(0);
    EXPECT_TRUE(events.calls.empty());
    EXPECT_EQ(box.redraws(0), 0);

    console.setValue(0, 9);
    console.setEvent_Disp(0, 5);
    console.setEvent_Enter(0, 2);
    events.calls.clear();
    box.resetRedraws();
    console.EnterPushed(0);
    EXPECT_TRUE(events.calls.empty());  // Enter only marks the item
    console.EnterExec(0);
    EXPECT_EQ(events.calls, (std::vector<Call>{{"Enter", 0, 2, 9}, {"Disp", 0, 5, 9}}));
    EXPECT_EQ(box.redraws(0), 1);
    EXPECT_EQ(box.List(0), "event 5");
}

}  // namespace
}  // namespace kv7
