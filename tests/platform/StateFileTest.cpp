#include "platform/StateFile.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestFiles.h"
#include "platform/SimpleIniFile.h"

namespace fs = std::filesystem;

namespace {

std::size_t EntriesIn(const fs::path& folder) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

mode_t ModeOf(const fs::path& path) {
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode;
}

}  // namespace

TEST(StateFile, ReplacesTheFileWholeAndReadsOnlyWhatCouldBeItsOwn) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const StateFile file(folder / "ZURav3.positions");
    EXPECT_EQ(file.Read(), "");
    ASSERT_TRUE(file.Write("1000\thttp://h/a.mp3\n"));
    ASSERT_TRUE(file.Write("2000\thttp://h/b.mp3\n"));
    EXPECT_EQ(file.Read(), "2000\thttp://h/b.mp3\n");
    // No temporary file is left beside it.
    EXPECT_EQ(EntriesIn(folder), 1U);
    // A file the user keeps private stays private when it is replaced.
    ::chmod(file.Path().c_str(), 0600);
    ASSERT_TRUE(file.Write("3000\thttp://h/c.mp3\n"));
    EXPECT_EQ(ModeOf(file.Path()) & 0777, 0600U);

    // A folder that cannot hold it: the write fails.
    WriteFileBytes(folder / "plain", "x");
    EXPECT_FALSE(StateFile(folder / "plain" / "ZURav3.seen").Write("x"));
    EXPECT_FALSE(StateFile({}).Write("x"));

    // Something far larger than the program ever writes is not read.
    WriteFileBytes(folder / "big", std::string(StateFile::kMaxBytes + 1, 'a'));
    EXPECT_EQ(StateFile(folder / "big").Read(), "");
    EXPECT_EQ(StateFile(folder).Read(), "");
}

// What stands where a state file goes and is not a plain, writable file of
// the program's own is neither written nor written through, nor read: before,
// a link had its target replaced (as root, another user's file, then owned by
// root), a dangling link created its target, a read-only file was replaced
// and became writable, and a FIFO held the start up.
TEST(StateFile, NeverWritesThroughALinkNorOverAReadOnlyFile) {
    struct Case {
        const char* what;
        std::function<void(const fs::path& file, const fs::path& other)> make;
    };
    const Case cases[] = {
        {"a link to another file",
         [](const fs::path& file, const fs::path& other) {
             WriteFileBytes(other, "someone's\n");
             fs::create_symlink(other, file);
         }},
        {"a dangling link",
         [](const fs::path& file, const fs::path& other) { fs::create_symlink(other, file); }},
        {"a read-only file",
         [](const fs::path& file, const fs::path&) {
             WriteFileBytes(file, "1000\thttp://h/old.mp3\n");
             ::chmod(file.c_str(), 0444);
         }},
        {"a FIFO", [](const fs::path& file, const fs::path&) { ::mkfifo(file.c_str(), 0644); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        const fs::path path = folder / "ZURav3.seen";
        const fs::path other = folder / "other";
        c.make(path, other);
        const mode_t mode = ModeOf(path);
        const bool plain = fs::is_regular_file(fs::symlink_status(path));
        const std::string before = plain ? ReadFileBytes(path) : "";
        const bool otherExisted = fs::exists(other);
        const std::string otherBefore = ReadFileBytes(other);

        const StateFile file(path);
        EXPECT_FALSE(file.MayReplace());
        EXPECT_FALSE(file.Write("http://feed/\nhttp://h/new.mp3\n"));
        EXPECT_EQ(ModeOf(path), mode);
        if (plain) {
            EXPECT_EQ(ReadFileBytes(path), before);
            EXPECT_EQ(file.Read(), before);
        } else {
            EXPECT_EQ(file.Read(), "");
        }
        EXPECT_EQ(fs::exists(other), otherExisted);
        EXPECT_EQ(ReadFileBytes(other), otherBefore);
        EXPECT_EQ(EntriesIn(folder), otherExisted ? 2U : 1U);
    }
}

// A write that does not reach the disk whole (a full disk, a quota, a size
// limit) leaves the old file as it was. Before, only the buffered write was
// checked: the failure came at the flush, and the short file was renamed over
// the old one (the settings file was empty after a run on a full disk).
TEST(StateFile, AWriteThatDoesNotReachTheDiskWholeLeavesTheOldFile) {
    constexpr std::size_t kLimit = 4096;
    struct Case {
        const char* what;
        std::size_t newBytes;
        bool settings;
    };
    const Case cases[] = {
        {"state file, less than a buffer more", kLimit + 1000, false},
        {"state file, far more", 1024 * 1024, false},
        {"settings file", kLimit + 1000, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir dir;
        const fs::path folder = dir.path().toStdString();
        const fs::path path = folder / (c.settings ? "ZURav3.ini" : "ZURav3.positions");
        const std::string old = c.settings ? "[TOV]\nRSS=http://old/\n" : "1000\thttp://h/a.mp3\n";
        WriteFileBytes(path, old);

        const std::optional<bool> written = InChildWithFileSizeLimit(kLimit, [&] {
            if (!c.settings) {
                return StateFile(path).Write(std::string(c.newBytes, 'x'));
            }
            SimpleIniFile ini;
            ini.Open(path);
            ini.WriteString("TOV", "RSS", "http://new/" + std::string(c.newBytes, 'x'));
            return ini.Save();
        });
        ASSERT_TRUE(written.has_value());
        EXPECT_FALSE(*written);
        EXPECT_EQ(ReadFileBytes(path), old);
        EXPECT_EQ(EntriesIn(folder), 1U);

        // Without the limit the same write goes through.
        EXPECT_EQ(
            InChildWithFileSizeLimit(
                RLIM_INFINITY, [&] { return StateFile(path).Write(std::string(c.newBytes, 'x')); }),
            true);
        EXPECT_EQ(ReadFileBytes(path).size(), c.newBytes);
    }
}
