// The one file writer: what is on the disk after a write that fails or goes through a link.
#include "store/atomic_file.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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

TEST(AtomicFile, AFailedWriteLeavesTheOldFileAndALinkIsWrittenThrough) {
    const fs::path dir = fs::path(::testing::TempDir()) / "atomic_file_test";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string old = "the old report\n";
    const struct {
        const char* name;
        bool written;
        const char* reason;  // part of the reason when refused
    } cases[] = {
        {"full disk", false, "No space left on device"},
        {"link", true, ""},
        {"pipe", false, "not a regular file"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path sub = dir / c.name;
        fs::create_directories(sub);
        fs::path path = sub / "report.csv";
        fs::path kept = path;  // where the old bytes are, or the new ones go
        std::string bytes = "new bytes\n";
        if (std::string(c.name) == "full disk") {
            if (::mount("tmpfs", sub.c_str(), "tmpfs", 0, "size=64k") != 0) {
                GTEST_SKIP() << "cannot mount a small tmpfs (needs root)";
            }
            bytes.assign(200000, 'x');
        }
        if (std::string(c.name) == "link") {
            kept = sub / "target.csv";
            fs::create_symlink(kept, path);
        }
        if (std::string(c.name) == "pipe") {
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        } else {
            put(kept, old);
        }
        const FileWriteResult r = writeFileAtomically(path.string(), bytes);
        EXPECT_EQ(static_cast<bool>(r), c.written) << r.reason;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << r.reason;
        if (std::string(c.name) == "pipe") {
            EXPECT_TRUE(fs::is_fifo(path));
        } else {
            EXPECT_EQ(contents(kept), c.written ? bytes : old);
        }
        if (std::string(c.name) == "link") {
            EXPECT_TRUE(fs::is_symlink(path));
        }
        // No temporary is left behind.
        EXPECT_EQ(std::distance(fs::directory_iterator(sub), fs::directory_iterator()),
                  std::string(c.name) == "link" ? 2 : 1);
        if (std::string(c.name) == "full disk") ::umount(sub.c_str());
    }
    fs::remove_all(dir);
}

}  // namespace
}  // namespace kv7
