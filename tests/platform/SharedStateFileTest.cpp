// Two copies of the program that keep their resume places in one file.
#include "platform/SharedStateFile.h"

#include <utime.h>

#include <chrono>
#include <ctime>

#include <gtest/gtest.h>

#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include "TestFiles.h"
#include "WaitUntil.h"
#include "listening/ResumePositions.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// One copy of the program: its places, read when it started, and the file.
struct Copy {
    explicit Copy(const fs::path& path) {
        file.SetPath(path);
        positions = TResumePositions::Parse(file.Read());
    }
    SharedStateFile::Merge Merge() {
        return [this](std::string_view onDisk) {
            positions.MergeInto(onDisk);
            return positions.Serialize();
        };
    }
    void Save() { file.Save(Merge()); }

    TResumePositions positions;
    SharedStateFile file;
};

class SharedPlaces : public ::testing::Test {
protected:
    fs::path Path() const { return fs::path(dir_.path().toStdString()) / "ZURav3.positions"; }
    QString LockPath() const { return QString::fromStdString(Path().string() + ".lock"); }
    std::string OnDisk() const { return ReadFileBytes(Path()); }

    QTemporaryDir dir_;
};

}  // namespace

// Each copy writes in turn: the places of the other stay, its own newer ones
// win, and what either finished is gone, also an episode the finishing copy
// never had a place for. (The last to write used to replace the other's
// places.)
TEST_F(SharedPlaces, TwoCopiesKeepEachOthersPlacesAndForgetWhatWasFinished) {
    Copy first(Path());
    Copy second(Path());
    first.positions.Remember("http://h/a.mp3", 5000, 0);
    first.positions.Remember("http://h/both.mp3", 7000, 0);
    first.Save();
    EXPECT_EQ(OnDisk(), "7000\thttp://h/both.mp3\n5000\thttp://h/a.mp3\n");

    second.positions.Remember("http://h/b.mp3", 6000, 0);
    second.positions.Remember("http://h/both.mp3", 9000, 0);
    second.Save();
    EXPECT_EQ(OnDisk(), "9000\thttp://h/both.mp3\n6000\thttp://h/b.mp3\n5000\thttp://h/a.mp3\n");
    EXPECT_EQ(second.positions.Find("http://h/a.mp3"), 5000);

    // The first finishes its own episode and the second's.
    first.positions.Remember("http://h/a.mp3", 59000, 60000);
    first.positions.Remember("http://h/b.mp3", 59000, 60000);
    ASSERT_TRUE(first.positions.HasChanges());
    first.Save();
    EXPECT_EQ(OnDisk(), "9000\thttp://h/both.mp3\n");
    EXPECT_EQ(first.positions.Find("http://h/both.mp3"), 9000);
    EXPECT_FALSE(first.positions.HasChanges());
    EXPECT_FALSE(QFile::exists(LockPath()));
}

// While another copy holds the lock the write waits, from the event loop,
// and happens once the lock is free; at the program's end it waits only
// briefly and writes without it. A lock older than a few seconds is a dead
// copy's and is taken over.
TEST_F(SharedPlaces, HeldLockIsWaitedForButNotAtTheEnd) {
    Copy copy(Path());
    QLockFile other(LockPath());
    ASSERT_TRUE(other.tryLock(0));

    copy.positions.Remember("http://h/a.mp3", 5000, 0);
    copy.Save();
    EXPECT_TRUE(copy.file.Waiting());
    PumpEvents(3 * SharedStateFile::kRetry);
    EXPECT_FALSE(fs::exists(Path()));
    other.unlock();
    ASSERT_TRUE(WaitUntil([&] { return !copy.file.Waiting(); }));
    EXPECT_EQ(OnDisk(), "5000\thttp://h/a.mp3\n");

    ASSERT_TRUE(other.tryLock(0));
    copy.positions.Remember("http://h/b.mp3", 6000, 0);
    copy.Save();
    ASSERT_TRUE(copy.file.Waiting());
    copy.file.SaveAtExit(nullptr);
    EXPECT_FALSE(copy.file.Waiting());
    EXPECT_EQ(OnDisk(), "6000\thttp://h/b.mp3\n5000\thttp://h/a.mp3\n");
    EXPECT_TRUE(other.isLocked());
    other.unlock();

    // A lock file of a live process (not this one) on this machine, last
    // touched a minute ago.
    QFile stale(LockPath());
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write("1\nother\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    const std::time_t old = std::time(nullptr) - 60;
    const utimbuf times{old, old};
    ASSERT_EQ(::utime(LockPath().toLocal8Bit().constData(), &times), 0);
    copy.positions.Remember("http://h/c.mp3", 7000, 0);
    copy.Save();
    ASSERT_TRUE(WaitUntil([&] { return !copy.file.Waiting(); }));
    EXPECT_EQ(OnDisk().substr(0, 20), "7000\thttp://h/c.mp3\n");
}

// A lock file that cannot be made (here, a folder that is gone) is no lock
// another copy holds: the write is given up at once instead of being tried
// again four times a second for as long as the program runs.
TEST_F(SharedPlaces, ALockThatCannotBeMadeIsNotWaitedFor) {
    SharedStateFile file;
    file.SetPath(Path().parent_path() / "gone" / "ZURav3.positions");
    file.Save([](std::string_view) { return std::string("5000\thttp://h/a.mp3\n"); });
    EXPECT_FALSE(file.Waiting());
    EXPECT_FALSE(fs::exists(Path().parent_path() / "gone"));
}
