#include <atomic>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

// The real libmpv device with the null audio output; notifications are
// recorded in the order they arrive.
class MediaDevice : public ::testing::Test {
protected:
    void SetUp() override {
        device_.SetNotifyHandler([this](NotifyResult result) { notes_.push_back(result); });
    }

    // Waits until the playing position has moved past `ms`.
    bool PlaysPast(int ms) {
        return WaitUntil([&] { return device_.Position() > ms; });
    }

    std::string ErrorOfOpen(const std::string& element) {
        try {
            device_.Open(element, true);
        } catch (const MediaDeviceError& e) {
            return e.what();
        }
        return "(no error)";
    }

    MpvMediaDevice device_{"null"};
    std::vector<NotifyResult> notes_;
};

}  // namespace

// The links come from a feed nobody here controls: mpv must not run its
// helpers, scripts or user configuration on them. mpv itself is started by the
// first open, not before.
TEST_F(MediaDevice, RunsWithTheLockedDownOptions) {
    EXPECT_EQ(device_.PropertyText("ao"), "");
    device_.Open(TestDataFile("tone-1s.wav"), false);
    EXPECT_EQ(device_.PropertyText("ytdl"), "no");
    EXPECT_EQ(device_.PropertyText("options/config"), "no");
    EXPECT_EQ(device_.PropertyText("load-scripts"), "no");
    EXPECT_EQ(device_.PropertyText("access-references"), "no");
    EXPECT_EQ(device_.PropertyText("resume-playback"), "no");
    EXPECT_EQ(device_.PropertyText("input-default-bindings"), "no");
    EXPECT_EQ(device_.PropertyText("terminal"), "no");
    EXPECT_EQ(device_.PropertyText("vid"), "no");
    EXPECT_EQ(device_.PropertyText("ao"), "null");
    EXPECT_EQ(std::stod(device_.PropertyText("network-timeout")), 15.0);
    // What has played is not kept: memory stays flat over a long episode.
    EXPECT_EQ(device_.PropertyText("demuxer-max-back-bytes"), "0");
}

TEST_F(MediaDevice, WithoutAMediumCommandsRaiseNoDeviceOpenAndReadingsAreEmpty) {
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_EQ(device_.Mode(), MediaMode::NotReady);
    EXPECT_EQ(device_.Position(), 0);
    for (const auto& command : std::vector<std::function<void()>>{
             [&] { device_.Length(); }, [&] { device_.Play(true); }, [&] { device_.Pause(true); },
             [&] { device_.Stop(true); }, [&] { device_.Seek(0, true); }}) {
        try {
            command();
            ADD_FAILURE() << "no error";
        } catch (const MediaDeviceError& e) {
            EXPECT_STREQ(e.what(), "No MCI device open");
        }
    }
    device_.Close(true);
    PumpEvents(200ms);
    EXPECT_TRUE(notes_.empty());
}

TEST_F(MediaDevice, OpensLocalFilesStoppedAtTheStartWithTheirLength) {
    device_.Open(TestDataFile("tone-3s.mp3"), false);
    EXPECT_TRUE(device_.IsOpen());
    EXPECT_EQ(device_.Mode(), MediaMode::Stopped);
    EXPECT_EQ(device_.Position(), 0);
    EXPECT_NEAR(device_.Length(), 3000, 100);

    // A second open replaces the first.
    device_.Open(TestDataFile("tone-1s.wav"), false);
    EXPECT_EQ(device_.Length(), 1000);
    device_.Close(false);
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_EQ(device_.Mode(), MediaMode::NotReady);
}

TEST_F(MediaDevice, PlaysPausesResumesStopsAndSeeks) {
    device_.Open(TestDataFile("tone-3s.mp3"), false);
    device_.Play(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Playing);
    ASSERT_TRUE(PlaysPast(300));

    device_.Pause(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Paused);
    const int paused = device_.Position();
    PumpEvents(300ms);
    EXPECT_EQ(device_.Position(), paused);

    // Play resumes where the pause left off.
    device_.Play(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Playing);
    EXPECT_GE(device_.Position(), paused);
    EXPECT_LT(device_.Position(), paused + 1000);

    // Stop does not rewind; the seek to 0 does, and the device stays stopped.
    device_.Stop(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Stopped);
    device_.Seek(0, false);
    EXPECT_EQ(device_.Mode(), MediaMode::Stopped);
    EXPECT_EQ(device_.Position(), 0);

    device_.Seek(1500, false);
    EXPECT_NEAR(device_.Position(), 1500, 50);
    device_.Play(false);
    ASSERT_TRUE(PlaysPast(1600));
    EXPECT_TRUE(notes_.empty());
}

// Playing to the end must leave the medium open at its end, report exactly one
// successful notification, and play from the start again on the next play.
TEST_F(MediaDevice, NaturalEndStopsAtTheEndWithOneSuccessfulNotification) {
    device_.Open(TestDataFile("tone-1s.wav"), false);
    device_.Play(true);
    EXPECT_TRUE(notes_.empty());
    ASSERT_TRUE(WaitUntil([&] { return !notes_.empty(); }));
    EXPECT_EQ(notes_, std::vector<NotifyResult>{NotifyResult::Successful});
    EXPECT_EQ(device_.Mode(), MediaMode::Stopped);
    EXPECT_EQ(device_.Position(), device_.Length());
    PumpEvents(500ms);
    EXPECT_EQ(notes_.size(), 1u);

    device_.Play(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Playing);
    EXPECT_LT(device_.Position(), 1000);
}

// A play that follows a skip to the end before mpv has got there starts over,
// as a play at the end does; it must not run into the end and stop.
TEST_F(MediaDevice, PlayRightAfterASeekToTheEndStartsOver) {
    device_.Open(TestDataFile("tone-3s.mp3"), false);
    device_.Seek(device_.Length(), false);
    EXPECT_EQ(device_.Position(), device_.Length());
    device_.Play(false);
    EXPECT_LT(device_.Position(), 1000);
    ASSERT_TRUE(PlaysPast(300));
    EXPECT_EQ(device_.Mode(), MediaMode::Playing);
    EXPECT_LT(device_.Position(), device_.Length());
}

// Notifications come from the event loop, after the sending code returned, in
// order: a pending play is superseded by the next command that asks for one.
TEST_F(MediaDevice, NextNotifyingCommandSupersedesAPendingPlay) {
    device_.Open(TestDataFile("tone-3s.mp3"), true);
    device_.Play(true);
    device_.Pause(true);
    EXPECT_TRUE(notes_.empty());
    ASSERT_TRUE(WaitUntil([&] { return notes_.size() >= 3; }));
    EXPECT_EQ(notes_, (std::vector<NotifyResult>{NotifyResult::Successful, NotifyResult::Superseded,
                                                 NotifyResult::Successful}));

    // A command without a notification aborts a pending play.
    notes_.clear();
    device_.Play(true);
    device_.Close(false);
    ASSERT_TRUE(WaitUntil([&] { return !notes_.empty(); }));
    PumpEvents(200ms);
    EXPECT_EQ(notes_, std::vector<NotifyResult>{NotifyResult::Aborted});
}

TEST_F(MediaDevice, PendingNotificationsDieWithTheDevice) {
    std::atomic<int> calls = 0;
    {
        MpvMediaDevice device("null");
        device.SetNotifyHandler([&](NotifyResult) { ++calls; });
        device.Open(TestDataFile("tone-1s.wav"), true);
        device.Play(true);
    }
    PumpEvents(300ms);
    EXPECT_EQ(calls, 0);
}

// A failed open must name the element, leave the device closed, and never hand
// mpv anything but a local path or an http/https link.
TEST_F(MediaDevice, FailedOpenNamesTheElementAndLeavesTheDeviceClosed) {
    TestHttpServer server;
    server.Start();
    const std::string missingFile = TestDataFile("no-such-file.mp3");
    const std::string missingLink = server.Url("/missing.mp3");

    device_.Open(TestDataFile("tone-3s.mp3"), false);
    EXPECT_EQ(ErrorOfOpen(missingFile), "loading failed: " + missingFile);
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_EQ(ErrorOfOpen(missingLink), "loading failed: " + missingLink);
    EXPECT_EQ(ErrorOfOpen(TestDataFile("make-test-audio.sh")),
              "unrecognized file format: " + TestDataFile("make-test-audio.sh"));
    for (const std::string& refused :
         {std::string("file://") + TestDataFile("tone-3s.mp3"), std::string("ytdl://abc"),
          std::string("av://lavfi:sine"), std::string("")}) {
        EXPECT_EQ(ErrorOfOpen(refused),
                  "Only local files and http or https links can be played: " + refused);
    }
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_THROW(device_.Length(), MediaDeviceError);
    PumpEvents(200ms);
    EXPECT_TRUE(notes_.empty());
}

// The program starts without libmpv: a library that is missing, or a file
// that is not libmpv, is the error of each open, naming the library and the
// reason, and the device stays closed, answering like one.
TEST(MediaDeviceLibrary, MissingOrForeignLibraryIsTheErrorOfEachOpen) {
    for (const auto& [library, reason] :
         {std::pair<std::string, std::string>{"libmpv-not-installed.so.9",
                                              "cannot open shared object file"},
          std::pair<std::string, std::string>{"libc.so.6", "it has no mpv_create"}}) {
        MpvMediaDevice device("null", 15, library);
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                device.Open(TestDataFile("tone-1s.wav"), true);
                ADD_FAILURE() << library << ": no error";
            } catch (const MediaDeviceError& e) {
                const std::string text = e.what();
                EXPECT_EQ(text.rfind("The media player library " + library + " ", 0), 0u) << text;
                EXPECT_NE(text.find(reason), std::string::npos) << text;
            }
        }
        EXPECT_FALSE(device.IsOpen());
        EXPECT_EQ(device.Mode(), MediaMode::NotReady);
        EXPECT_EQ(device.Position(), 0);
        EXPECT_EQ(device.PropertyText("ao"), "");
        EXPECT_THROW(device.Play(true), MediaDeviceError);
        device.Close(true);
    }
}

// A server that accepts the connection and never answers must not hold the
// window for longer than the network time-out.
TEST(MediaDeviceTimeout, OpenOfAStreamThatNeverAnswersFailsAfterTheTimeout) {
    std::atomic<bool> release = false;
    TestHttpServer server;
    server.Server().Get("/silent.mp3", [&](const httplib::Request&, httplib::Response& res) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (!release && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        res.set_content("", "audio/mpeg");
    });
    server.Start();
    MpvMediaDevice device("null", 2);
    const std::string link = server.Url("/silent.mp3");
    try {
        device.Open(link, false);
        ADD_FAILURE() << "no error";
    } catch (const MediaDeviceError& e) {
        EXPECT_NE(std::string(e.what()).find(link), std::string::npos) << e.what();
    }
    EXPECT_FALSE(device.IsOpen());
    release = true;
}

TEST_F(MediaDevice, StreamsAnMp3OverHttpWithRangeRequests) {
    TestHttpServer server;
    server.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
    server.Start();
    device_.Open(server.Url("/tone.mp3"), false);
    EXPECT_NEAR(device_.Length(), 3000, 100);
    device_.Seek(1000, false);
    device_.Play(true);
    ASSERT_TRUE(PlaysPast(1300));
    ASSERT_TRUE(WaitUntil([&] { return !notes_.empty(); }));
    EXPECT_EQ(notes_, std::vector<NotifyResult>{NotifyResult::Successful});
    EXPECT_EQ(device_.Position(), device_.Length());
}

// Speed and volume are the device's, not the medium's: set before mpv runs,
// they reach it when it starts; they hold for media opened later; lengths and
// positions stay in the medium's own time.
TEST_F(MediaDevice, SpeedAndVolumeHoldForLaterMediaAndTimesStayInMediaTime) {
    device_.SetSpeed(2.5);
    device_.SetVolume(40);
    EXPECT_EQ(device_.PropertyText("speed"), "");
    device_.Open(TestDataFile("tone-60s.mp3"), false);
    EXPECT_EQ(std::stod(device_.PropertyText("volume")), 40.0);
    EXPECT_NEAR(device_.Length(), 60000, 200);
    EXPECT_EQ(std::stod(device_.PropertyText("speed")), 2.5);
    // The pitch is kept by mpv's own filter, which it adds at any speed but 1.
    EXPECT_EQ(device_.PropertyText("audio-pitch-correction"), "yes");
    EXPECT_EQ(device_.Volume(), 40);
    device_.Seek(30000, false);
    device_.Play(false);
    ASSERT_TRUE(PlaysPast(30500));
    EXPECT_LE(device_.Position(), device_.Length());

    // Not a rate: ignored.
    device_.SetSpeed(0);
    device_.SetSpeed(-1);
    device_.SetVolume(250);
    device_.Open(TestDataFile("tone-3s.mp3"), false);
    EXPECT_EQ(std::stod(device_.PropertyText("speed")), 2.5);
    EXPECT_EQ(device_.Volume(), 100);
    device_.SetVolume(-3);
    EXPECT_EQ(std::stod(device_.PropertyText("volume")), 0.0);
    device_.Close(false);
    device_.SetSpeed(1.0);
    EXPECT_EQ(std::stod(device_.PropertyText("speed")), 1.0);
}
