// Saving the radio's image and writing a saved image back, through the whole program against
// the simulated radio: what lands in the file, what the radio holds afterwards, and that a file
// that does not belong to the radio never reaches it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/support/sim_rig.h"
#include "store/image_file.h"
#include "support/fifo.h"

namespace kv7::test {
namespace {

constexpr int32_t kPowerHiAdr = 49;

class FakeConfirm : public ConfirmSink {
  public:
    bool confirm(const std::string& text) override {
        asked.push_back(text);
        return answer;
    }
    bool answer = true;
    std::vector<std::string> asked;
};

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "image_backup_" + name;
}

ByteString fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return ByteString(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void putFile(const std::string& path, const ByteString& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
}

ImageFile decoded(const std::string& path) {
    ImageFile f;
    std::string error;
    EXPECT_TRUE(readImageFile(path, false, f, error)) << error;
    return f;
}

// A connected rig whose writes are confirmed by `confirm`.
struct Connected {
    explicit Connected(RigOptions o = SimRig::defaults()) : rig(std::move(o)) {
        backup().setConfirmSink(&confirm);
        EXPECT_TRUE(rig.connect());
    }
    ImageBackup& backup() { return rig.program().imageBackup(); }
    // Writes the file and lets the write and the read-back run to their end.
    bool write(const std::string& path) {
        if (!backup().writeImage(path)) return false;
        EXPECT_TRUE(rig.runUntil([&] { return !backup().writing(); }, 60000));
        return true;
    }
    SimRig rig;
    FakeConfirm confirm;
};

TEST(ImageBackup, SavedImagesAreTheRadiosMemoryAndAWrittenImageReadsBackEqual) {
    Connected a;
    const ByteString radioMemory = a.rig.radio().image();
    a.backup().setKeepImages(true);
    const ByteString settings = fileBytes(a.rig.program().link().profMain().FullPath());
    EXPECT_NE(std::string(settings.begin(), settings.end()).find("[IMAGES]\r\nKeepImages=1"),
              std::string::npos);
    ASSERT_TRUE(a.rig.connect());  // a second read, now with a copy kept

    ASSERT_TRUE(a.rig.keyOn(kLinePowerHi, kKeyRight));
    // The change is in the working image once it has been sent.
    ASSERT_TRUE(a.rig.runUntil(
        [&] { return a.rig.programByte(kPowerHiAdr) == radioMemory[kPowerHiAdr] + 1; }, 5000));
    const std::string asRead = tempPath("as_read.kv7img");
    const std::string current = tempPath("current.kv7img");
    ASSERT_TRUE(a.backup().saveAsRead(asRead));
    ASSERT_TRUE(a.backup().saveCurrent(current));

    const ImageFile r = decoded(asRead);
    EXPECT_EQ(r.image, radioMemory);
    const ByteString raw = fileBytes(asRead);
    ASSERT_GT(raw.size(), 5120u);
    EXPECT_EQ(ByteString(raw.begin(), raw.begin() + 5120), radioMemory);  // byte for byte
    EXPECT_EQ(r.info.modelCode, "2251");
    EXPECT_EQ(r.info.subName, "0200");
    EXPECT_EQ(r.info.kind, ImageKind::AsRead);
    EXPECT_EQ(r.info.readAt.size(), 20u);
    // The copy kept beside the settings file is the same image.
    const std::string kept = a.backup().lastKeptFile();
    EXPECT_EQ(std::filesystem::path(kept).parent_path(),
              std::filesystem::path(a.rig.constFilePath()).parent_path() / "images");
    EXPECT_EQ(decoded(kept).image, radioMemory);

    ImageFile c = decoded(current);
    EXPECT_EQ(c.info.kind, ImageKind::Current);
    EXPECT_EQ(c.image[kPowerHiAdr], radioMemory[kPowerHiAdr] + 1);
    c.image[kPowerHiAdr] = radioMemory[kPowerHiAdr];
    EXPECT_EQ(c.image, radioMemory);  // nothing else changed

    // A fresh radio of the same kind takes the adjusted image and reads back equal.
    Connected b;
    const size_t before = b.rig.messages().size();
    ASSERT_TRUE(b.backup().writeImage(current));
    // While it writes, the window shows the progress bar and no console to type into.
    EXPECT_TRUE(
        b.rig.runUntil([&] { return b.rig.progress().find("oo.") != std::string::npos; }, 30000));
    EXPECT_FALSE(b.rig.consoleShown());
    ASSERT_TRUE(b.rig.runUntil([&] { return !b.backup().writing(); }, 60000));
    ASSERT_EQ(b.confirm.asked.size(), 1u);
    EXPECT_NE(b.confirm.asked[0].find("overwrites the whole memory"), std::string::npos);
    EXPECT_EQ(b.rig.radio().image(), decoded(current).image);
    EXPECT_EQ(b.rig.radio().cloneWriteCount(), 1);
    EXPECT_TRUE(b.rig.lineClean());
    ASSERT_EQ(b.rig.messages().size(), before + 1);
    EXPECT_EQ(b.rig.messages().back(), "Image written and verified.");
    // The console shows what was read back, and that is now the image as read.
    EXPECT_TRUE(b.rig.runUntil([&] { return b.rig.inCycle(); }, 30000));
    EXPECT_EQ(b.rig.value(kLinePowerHi), radioMemory[kPowerHiAdr] + 1);
    EXPECT_EQ(b.backup().asRead(), decoded(current).image);
}

// A file that is not an image of the connected radio is refused with its reason; nothing is
// sent to the radio and nobody is asked.
TEST(ImageBackup, FilesThatDoNotBelongToTheRadioAreRefused) {
    Connected c;
    ImageFile good;
    good.image = c.rig.radio().image();
    good.info = {"2251", "0200", false, "2026-12-07T13:57:05Z", ImageKind::AsRead};
    auto withInfo = [&](const std::string& model, const std::string& sub) {
        ImageFile f = good;
        f.info.modelCode = model;
        f.info.subName = sub;
        return encodeImageFile(f);
    };
    auto withTrailer = [&](const std::string& trailer) {
        ByteString b = good.image;
        b.insert(b.end(), trailer.begin(), trailer.end());
        return b;
    };
    ByteString truncated = encodeImageFile(good);
    truncated.resize(4000);
    ByteString cutTrailer = encodeImageFile(good);
    cutTrailer.pop_back();
    const struct {
        const char* name;
        ByteString bytes;  // empty: made below or missing
        std::string expected;
    } cases[] = {
        {"other sub", withInfo("2251", "0150"),
         "sub name 0150, the connected radio's sub name is 0200"},
        {"other model", withInfo("2252", "0200"), "model code 2252"},
        {"truncated", truncated, "too short for an image: 4000 bytes"},
        {"cut trailer", cutTrailer, "ends in the middle of a line"},
        {"bare", good.image, "bare image"},
        {"garbage", withTrailer("\x01\x02 garbage\n"), "not text"},
        {"long line", withTrailer("format=kv7-image-1\nnote=" + std::string(10000, 'x') + "\n"),
         "too long"},
        {"no sub", withTrailer("format=kv7-image-1\nmodel=2251\n"), "lacks 'sub'"},
        {"folder", {}, "is a folder"},
        {"missing", {}, "does not exist"},
        {"pipe", {}, "is not a regular file"},
        {"50 MB", {}, "too long for an image: 52428800 bytes"},
    };
    const size_t requests = c.rig.radio().requests().size();
    c.rig.runFor(500);
    for (const auto& k : cases) {
        SCOPED_TRACE(k.name);
        std::string path = tempPath(std::string("refused_") + k.name);
        std::filesystem::remove_all(path);
        if (std::string(k.name) == "folder") std::filesystem::create_directories(path);
        if (std::string(k.name) == "pipe") {
            if (!kHaveFifos) {
                sayCaseLeftOut(k.name, kNoFifoReason);
                continue;
            }
            ASSERT_TRUE(makeFifo(path));
        }
        if (std::string(k.name) == "50 MB") {
            putFile(path, good.image);
            std::filesystem::resize_file(path, 50u << 20);
        }
        if (!k.bytes.empty()) putFile(path, k.bytes);
        const ByteString working = c.rig.program().radio().eepImage.ReadBlock(0, 5120);
        const size_t shown = c.rig.messages().size();
        EXPECT_FALSE(c.backup().writeImage(path));
        ASSERT_EQ(c.rig.messages().size(), shown + 1);
        EXPECT_NE(c.rig.messages().back().find(k.expected), std::string::npos)
            << c.rig.messages().back();
        EXPECT_NE(c.rig.messages().back().find("Nothing was written to the radio."),
                  std::string::npos);
        EXPECT_EQ(c.rig.program().radio().eepImage.ReadBlock(0, 5120), working);
        c.rig.runFor(200);
        EXPECT_TRUE(c.rig.inCycle());
    }
    EXPECT_TRUE(c.confirm.asked.empty());
    // Only the monitoring cycle's own adjustment commands reached the radio meanwhile.
    for (size_t i = requests; i < c.rig.radio().requests().size(); ++i) {
        EXPECT_EQ(c.rig.radio().requests()[i][2], 0xE8) << i;
    }
    EXPECT_EQ(c.rig.radio().cloneWriteCount(), 0);
}

// The radio refuses the clone write: the communication error message, the program as after any
// communication error, and the working image as it was.
TEST(ImageBackup, ARefusedWriteShowsTheWriteErrorAndLeavesTheProgramAtRest) {
    Connected c;
    const std::string path = tempPath("refused_by_radio.kv7img");
    ASSERT_TRUE(c.backup().saveAsRead(path));
    ImageFile f = decoded(path);
    f.image[kPowerHiAdr] = static_cast<uint8_t>(f.image[kPowerHiAdr] ^ 0x55);
    putFile(path, encodeImageFile(f));
    const ByteString working = c.rig.program().radio().eepImage.ReadBlock(0, 5120);
    const ByteString radioMemory = c.rig.radio().image();
    c.rig.radio().options().faults.refuseWrite = true;

    ASSERT_TRUE(c.write(path));
    EXPECT_EQ(c.rig.messages().back(), shortChecklistText("Cannot write cloning data."));
    EXPECT_EQ(c.rig.opStep(), OperationStep::Idle);
    EXPECT_NE(c.rig.portLabel().find("CLOSE"), std::string::npos);
    EXPECT_EQ(c.rig.program().radio().eepImage.ReadBlock(0, 5120), working);
    EXPECT_EQ(c.rig.radio().image(), radioMemory);
    EXPECT_EQ(c.rig.radio().cloneReadCount(), 1);  // no read-back after a refused write

    // Once the radio takes writes again, the same file goes in and verifies.
    c.rig.radio().options().faults.refuseWrite = false;
    ASSERT_TRUE(c.write(path));
    EXPECT_EQ(c.rig.messages().back(), "Image written and verified.");
    EXPECT_EQ(c.rig.radio().image(), f.image);
}

// A clone read of another radio breaks off after 800 bytes: the working image then holds bytes
// of two radios, so neither the current image is saved nor a file written until a read completes.
TEST(ImageBackup, AfterABrokenReadTheCurrentImageIsNeitherSavedNorWritten) {
    Connected a;
    const ByteString first = a.rig.radio().image();
    const std::string asRead = tempPath("broken_read_as_read.kv7img");
    ASSERT_TRUE(a.backup().saveAsRead(asRead));
    a.rig.program().controller().RigOpFunc_ResetAll();  // the port closes; the cable moves
    sim::SimOptions other;
    other.subName = "0150";
    other.faults.gapBeforeBlock = 50;
    ByteString second = first;
    for (uint8_t& b : second) b = static_cast<uint8_t>(b ^ 0x5A);
    a.rig.swapRadio(other, second);
    const size_t shown = a.rig.messages().size();
    ASSERT_TRUE(a.rig.click(0));
    ASSERT_TRUE(a.rig.runUntil([&] { return a.rig.messages().size() > shown; }, 60000));
    EXPECT_EQ(a.rig.messages().back(), fullChecklistText("No answer from QT-KV7."));

    const std::string current = tempPath("broken_read_current.kv7img");
    std::filesystem::remove(current);
    EXPECT_FALSE(a.backup().saveCurrent(current));
    EXPECT_NE(a.rig.messages().back().find("The last clone read has not completed"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(current));
    EXPECT_FALSE(a.backup().writeImage(asRead));
    EXPECT_NE(a.rig.messages().back().find("The last clone read has not completed"),
              std::string::npos);
    EXPECT_NE(a.rig.messages().back().find("Nothing was written to the radio."), std::string::npos);
    EXPECT_TRUE(a.confirm.asked.empty());
    for (const ByteString& r : a.rig.radio().requests()) EXPECT_NE(r[2], 0xE3);
    // The image as read is still the first radio's, under its own name.
    ASSERT_TRUE(a.backup().saveAsRead(asRead));
    EXPECT_EQ(decoded(asRead).image, first);
    EXPECT_EQ(decoded(asRead).info.subName, "0200");

    // A completed read of the second radio can be saved again.
    a.rig.radio().options().faults.gapBeforeBlock = -1;
    ASSERT_TRUE(a.rig.runUntil([&] { return a.rig.radio().pendingCount() == 0; }, 30000));
    ASSERT_TRUE(a.rig.connect());
    ASSERT_TRUE(a.backup().saveCurrent(current));
    EXPECT_EQ(decoded(current).image, second);
    EXPECT_EQ(decoded(current).info.subName, "0150");
}

// The radio stops echoing at packet 159 of 320: the communication message as it is, then where
// the write stopped; writing the same file again repairs the radio.
TEST(ImageBackup, AWriteThatBreaksOffSaysHowFarItCame) {
    Connected c;
    const std::string path = tempPath("broken_write.kv7img");
    ASSERT_TRUE(c.backup().saveAsRead(path));
    ImageFile f = decoded(path);
    f.image[kPowerHiAdr] = static_cast<uint8_t>(f.image[kPowerHiAdr] ^ 0x55);
    putFile(path, encodeImageFile(f));
    int packets = 0;
    c.rig.radio().setFrameListener([&](const ByteString& record, bool malformed) {
        if (malformed || record.size() < 3 || record[2] != 0xE4) return;
        if (++packets == 158) c.rig.radio().options().faults.noEcho = true;
    });
    const size_t requests = c.rig.radio().requests().size();
    const size_t shown = c.rig.messages().size();

    ASSERT_TRUE(c.write(path));
    ASSERT_EQ(c.rig.messages().size(), shown + 2);
    EXPECT_EQ(c.rig.messages()[shown], fullChecklistText("Cannot access COM port"));
    EXPECT_EQ(c.rig.messages()[shown + 1],
              "The radio's memory may be incomplete: the write broke off at packet 159 of 320. "
              "Write the same file (" +
                  path + ") again to repair it.");
    int e4 = 0, e5 = 0;
    for (size_t i = requests; i < c.rig.radio().requests().size(); ++i) {
        e4 += c.rig.radio().requests()[i][2] == 0xE4;
        e5 += c.rig.radio().requests()[i][2] == 0xE5;
    }
    EXPECT_EQ(e4, 159);
    EXPECT_EQ(e5, 0);
    EXPECT_TRUE(c.rig.lineClean());

    c.rig.radio().setFrameListener({});
    c.rig.radio().options().faults.noEcho = false;
    ASSERT_TRUE(c.write(path));
    EXPECT_EQ(c.rig.messages().back(), "Image written and verified.");
    EXPECT_EQ(c.rig.radio().image(), f.image);
}

}  // namespace
}  // namespace kv7::test
