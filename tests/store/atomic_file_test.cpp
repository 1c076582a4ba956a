// The one file writer and reader: what is on the disk after a write that fails or goes through a
// link, and files that come back byte for byte from a folder with a non-ASCII name.
#include "store/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include "store/file_path.h"
#include "store/image_file.h"
#include "store/profile_io.h"
#include "support/fifo.h"
#include "support/temp_folder.h"

#ifdef __linux__
#include <sys/mount.h>
#endif

namespace kv7 {
namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put(const fs::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

struct RefusedCase {
    const char* name;
    bool written;
    const char* reason;  // part of the reason when refused
};

// Named by its row in test lists.
void PrintTo(const RefusedCase& c, std::ostream* os) {
    *os << c.name;
}

class AtomicFileRefused : public ::testing::TestWithParam<RefusedCase> {};

// A small file system that fills up: only Linux mounts one, and only for root.
bool mountSmallDisk(const fs::path& dir) {
#ifdef __linux__
    return ::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") == 0;
#else
    (void)dir;
    return false;
#endif
}

void unmount(const fs::path& dir) {
#ifdef __linux__
    ::umount(dir.c_str());
#else
    (void)dir;
#endif
}

TEST_P(AtomicFileRefused, AFailedWriteLeavesTheOldFileAndALinkIsWrittenThrough) {
    const RefusedCase& c = GetParam();
    const std::string name = c.name;
    test::TempFolder dir("kv7-atomic-");
    const fs::path sub = dir.native() / name;
    fs::create_directories(sub);
    fs::path path = sub / "report.csv";
    fs::path kept = path;  // where the old bytes are, or the new ones go
    const std::string old = "the old report\n";
    std::string bytes = "new bytes\n";
    if (name == "full disk") {
        if (!mountSmallDisk(sub)) GTEST_SKIP() << "cannot mount a small file system here";
        bytes.assign(200000, 'x');
    }
    if (name == "link") {
        kept = sub / "target.csv";
        std::error_code ec;
        fs::create_symlink(kept, path, ec);
        if (ec) GTEST_SKIP() << "cannot make a symbolic link here: " << ec.message();
    }
    if (name == "pipe") {
        if (!test::kHaveFifos) GTEST_SKIP() << test::kNoFifoReason;
        ASSERT_TRUE(test::makeFifo(utf8FromPath(path)));
    } else {
        put(kept, old);
    }
    const FileWriteResult r = writeFileAtomically(path, bytes);
    EXPECT_EQ(static_cast<bool>(r), c.written) << r.reason;
    EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
    if (name == "pipe") {
        EXPECT_TRUE(fs::is_fifo(path));
    } else {
        EXPECT_EQ(contents(kept), c.written ? bytes : old);
    }
    if (name == "link") {
        EXPECT_TRUE(fs::is_symlink(path));
    }
    // No temporary is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(sub), fs::directory_iterator()),
              name == "link" ? 2 : 1);
    if (name == "full disk") unmount(sub);
}

INSTANTIATE_TEST_SUITE_P(Cases, AtomicFileRefused,
                         ::testing::Values(RefusedCase{"full disk", false, "No space left"},
                                           RefusedCase{"link", true, ""},
                                           RefusedCase{"pipe", false, "not a regular file"}),
                         [](const auto& info) {
                             std::string n = info.param.name;
                             for (char& ch : n) ch = ch == ' ' ? '_' : ch;
                             return n;
                         });

// Every kind of file the program writes, saved twice into a folder whose name is not ASCII: the
// second save replaces the first, and what is read back is exactly what was saved last.
TEST(AtomicFile, FilesInANonAsciiFolderRoundTripAndASecondSaveReplacesTheFirst) {
    test::TempFolder top("kv7-files-");
    const std::string folder = top.file("Prüfplatz Ω");
    ASSERT_TRUE(fs::create_directory(pathFromUtf8(folder)));
    std::string everyByte;
    for (int i = 0; i < 256; ++i) everyByte += static_cast<char>(i);
    ImageFile image;
    image.image.assign(kImageFileImageSize, 0x1A);
    image.image[0] = '\r';
    image.image[1] = '\n';
    image.info = {"2251", "0200", true, "2026-12-07T13:57:05Z", ImageKind::AsRead};

    const struct {
        const char* name;
        std::string file;
        std::string first, second;  // what each save puts there
    } cases[] = {
        // Text mode would turn "\r\n" into one byte and stop at the 0x1A.
        {"bytes", "Bericht ä.bin",
         std::string("A\r\nB\x1a"
                     "C",
                     6),
         everyByte + "A\r\nB\x1a"},
        {"image", "Gerät.kv7img", "", ""},
        {"settings", "SWKV7ADJ.rs", "3", "4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder + "/" + c.file;
        std::string expected;
        for (const std::string& save : {c.first, c.second}) {
            const std::string kind = c.name;
            if (kind == "bytes") {
                const FileWriteResult w = writeFileAtomically(pathFromUtf8(path), save);
                ASSERT_TRUE(w) << w.reason;
                expected = save;
            } else if (kind == "image") {
                image.image[2] = static_cast<uint8_t>(image.image[2] + 1);
                std::string error;
                ASSERT_TRUE(writeImageFile(path, image, error)) << error;
                const ByteString encoded = encodeImageFile(image);
                expected.assign(encoded.begin(), encoded.end());
            } else {
                clsCmcProfileIO profile;
                profile.SetCurrentPath(folder);
                profile.setName(c.file);
                profile.setSection("OPTION");
                ASSERT_TRUE(profile.saveData("ComPort", ProfileValue(int16_t(std::stoi(save)))));
                ASSERT_TRUE(profile.saveData("ComAutoRelease", ProfileValue(int16_t(0))));
                int32_t port = 0;
                ASSERT_TRUE(profile.loadData("ComPort", port, int32_t{1}));
                EXPECT_EQ(port, std::stoi(save));
                expected = "[OPTION]\r\nComPort=" + save + "\r\nComAutoRelease=0\r\n";
            }
            std::string read;
            const FileReadResult r = readRegularFile(pathFromUtf8(path), 1 << 20, read);
            ASSERT_TRUE(r);
            EXPECT_EQ(read, expected);
            EXPECT_EQ(r.size, expected.size());
        }
        if (std::string(c.name) == "image") {
            ImageFile back;
            std::string error;
            ASSERT_TRUE(readImageFile(path, false, back, error)) << error;
            EXPECT_EQ(back.image, image.image);
        }
    }
    // Three files, no temporary left beside them.
    EXPECT_EQ(std::distance(fs::directory_iterator(pathFromUtf8(folder)), fs::directory_iterator()),
              3);
}

}  // namespace
}  // namespace kv7
