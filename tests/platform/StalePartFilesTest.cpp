// Temporary files that a killed or crashed save left behind go when the same
// file is saved again; those of a transfer still running stay.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "TestHttpServer.h"
#include "TransferHelpers.h"
#include "platform/CurlUrlDownloader.h"
#include "platform/StalePartFiles.h"

namespace fs = std::filesystem;

namespace {

class CallbackProgress final : public IDownloadProgress {
public:
    std::function<void()> onReport;
    bool OnProgress(std::uint64_t, std::uint64_t, unsigned, const std::string&) override {
        if (onReport) {
            onReport();
        }
        return true;
    }
};

// A file held open and locked as a running transfer holds its temporary file.
class HeldFile {
public:
    explicit HeldFile(const fs::path& path) {
        WriteFileBytes(path, "in progress");
        fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        locked_ = fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    }
    ~HeldFile() { ::close(fd_); }
    bool Locked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

}  // namespace

// Only this program's own leftovers of the same target go: hidden, named
// after the target with a six-character suffix, a regular file, unlocked.
// Another target's, a held one, other names and a link stay as they are.
TEST(StalePartFiles, AnEarlierSavesLeftoversGoWhenTheSameFileIsSavedAgain) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    const fs::path precious = folder / "precious.txt";
    WriteFileBytes(precious, "keep me");
    for (const char* name :
         {".episode.mp3.abc123.part", ".episode.mp3.0z9y8x.part", ".other.mp3.abc123.part",
          ".episode.mp3.ABC123.part", "episode.mp3.abc123.part", ".episode.mp3.abc1234.part"}) {
        WriteFileBytes(folder / name, "left behind");
    }
    fs::create_symlink(precious, folder / ".episode.mp3.link00.part");
    HeldFile held(folder / ".episode.mp3.held00.part");
    ASSERT_TRUE(held.Locked());

    TestHttpServer server;
    server.ServeBytes("/episode.mp3", PatternBytes(4096), "audio/mpeg");
    server.Start();
    CurlUrlDownloader downloader;
    CallbackProgress progress;
    ASSERT_EQ(
        downloader.DownloadToFile(server.Url("/episode.mp3"), folder / "episode.mp3", progress)
            .outcome,
        DownloadOutcome::Ok);

    EXPECT_EQ(PartFilesIn(folder),
              (std::vector<std::string>{".episode.mp3.ABC123.part", ".episode.mp3.abc1234.part",
                                        ".episode.mp3.held00.part", ".episode.mp3.link00.part",
                                        ".other.mp3.abc123.part", "episode.mp3.abc123.part"}));
    EXPECT_EQ(ReadFileBytes(precious), "keep me");
}

// A second save of the same file, while the first still runs, must not take
// the first one's temporary file for a leftover.
TEST(StalePartFiles, ARunningTransfersFileIsNeverTakenForStale) {
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    SlowBody body;
    TestHttpServer server;
    body.Serve(server, "/slow.mp3", 512 * 1024, 16 * 1024);
    server.Start();

    CurlUrlDownloader downloader;
    CallbackProgress progress;
    std::vector<std::string> seen;
    progress.onReport = [&] {
        if (seen.empty() && body.Sent() > 64 * 1024) {
            RemoveStalePartFiles(folder, "episode.mp3");
            seen = PartFilesIn(folder);
        }
    };
    const DownloadResult result =
        downloader.DownloadToFile(server.Url("/slow.mp3"), folder / "episode.mp3", progress);
    body.Stop();
    EXPECT_EQ(result.outcome, DownloadOutcome::Ok) << result.error;
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(FolderEntries(folder), std::vector<std::string>{"episode.mp3"});
}
