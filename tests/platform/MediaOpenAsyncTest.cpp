#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <QMetaObject>
#include <QObject>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"

namespace {

using namespace std::chrono_literals;

// A server answer held back until the test lets it go. The handler gives up
// on its own after a while, so that a device that waits for it instead of
// returning is caught rather than hung.
struct Hold {
    std::atomic<bool> holding = true;
    std::atomic<bool> entered = false;
    std::atomic<bool> gaveUp = false;
};

// `seconds` of silence as 44.1 kHz 16-bit stereo WAV: far more than mpv reads
// ahead, so that a seek near the end has to ask the server again.
std::string SilentWav(int seconds) {
    const std::uint32_t data = static_cast<std::uint32_t>(seconds) * 44100 * 4;
    std::string wav;
    const auto put = [&](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            wav.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
        }
    };
    wav += "RIFF";
    put(36 + data, 4);
    wav += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(2, 2);
    put(44100, 4);
    put(44100 * 4, 4);
    put(4, 2);
    put(16, 2);
    wav += "data";
    put(data, 4);
    wav.append(data, '\0');
    return wav;
}

// The real libmpv device with the null audio output, against a local server.
// Every done and notification is logged in the order it arrives.
class MediaOpenAsync : public ::testing::Test {
protected:
    void SetUp() override {
        device_.SetNotifyHandler([this](NotifyResult result) {
            log_.push_back(result == NotifyResult::Successful ? "Successful" : "other");
        });
    }

    void TearDown() override { hold_->holding = false; }

    // Serves `bytes` at `path`, holding back the requests `held` picks while
    // hold_ holds.
    void ServeHeld(const std::string& path, std::string bytes, const std::string& type,
                   bool (*held)(const httplib::Request&)) {
        server_.Server().Get(
            path, [hold = hold_, shared = std::make_shared<std::string>(std::move(bytes)), type,
                   held](const httplib::Request& req, httplib::Response& res) {
                if (held(req)) {
                    hold->entered = true;
                    const auto deadline = std::chrono::steady_clock::now() + 30s;
                    while (hold->holding && !hold->gaveUp) {
                        std::this_thread::sleep_for(10ms);
                        hold->gaveUp = std::chrono::steady_clock::now() > deadline;
                    }
                }
                res.set_content(*shared, type);
            });
    }

    static bool Always(const httplib::Request&) { return true; }

    // A success is logged with the length in seconds the device then has: it
    // must be open already when told so.
    IMediaDevice::OpenDone Logged(const std::string& name) {
        return [this, name](std::optional<MediaOpenFailure> failure) {
            log_.push_back(failure ? name
                                   : name + " " + std::to_string((device_.Length() + 500) / 1000));
            failure_ = std::move(failure);
        };
    }

    bool Logs(const std::string& entry) {
        return WaitUntil([&] { return std::find(log_.begin(), log_.end(), entry) != log_.end(); },
                         40s);
    }

    std::shared_ptr<Hold> hold_ = std::make_shared<Hold>();
    TestHttpServer server_;
    // The network time-out outlasts the held answers.
    MpvMediaDevice device_{"null", 60};
    std::vector<std::string> log_;
    std::optional<MediaOpenFailure> failure_;
};

}  // namespace

TEST_F(MediaOpenAsync, ReturnsWhileTheServerHoldsTheAnswerAndIsOpenOnceItArrives) {
    ServeHeld("/held.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg", Always);
    server_.Start();
    device_.OpenAsync(server_.Url("/held.mp3"), true, Logged("done"));
    ASSERT_TRUE(WaitUntil([&] { return hold_->entered.load(); }));
    EXPECT_FALSE(hold_->gaveUp);
    EXPECT_TRUE(device_.Opening());
    EXPECT_FALSE(device_.IsOpen());
    EXPECT_EQ(device_.Mode(), MediaMode::NotReady);
    EXPECT_EQ(device_.Position(), 0);
    EXPECT_THROW(device_.Length(), MediaDeviceError);
    EXPECT_TRUE(log_.empty());

    hold_->holding = false;
    ASSERT_TRUE(Logs("Successful"));
    EXPECT_EQ(log_, (std::vector<std::string>{"done 3", "Successful"}));
    EXPECT_FALSE(failure_);
    EXPECT_FALSE(device_.Opening());
    EXPECT_EQ(device_.Mode(), MediaMode::Stopped);
    EXPECT_EQ(device_.Position(), 0);
    EXPECT_NEAR(device_.Length(), 3000, 100);
}

// A dropped open must stay silent even when its outcome comes in after the
// drop: its done is never called and nothing of it is left open.
TEST_F(MediaOpenAsync, ALaterOpenOrACloseDropsThePendingOne) {
    ServeHeld("/held.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg", Always);
    server_.Start();
    const std::string held = server_.Url("/held.mp3");
    device_.OpenAsync(held, false, Logged("first"));
    ASSERT_TRUE(WaitUntil([&] { return hold_->entered.load(); }));
    device_.OpenAsync(TestDataFile("tone-1s.wav"), false, Logged("second"));
    // Not even a local file is reported before OpenAsync has returned.
    EXPECT_TRUE(log_.empty());
    hold_->holding = false;
    ASSERT_TRUE(Logs("second 1"));
    PumpEvents(300ms);
    EXPECT_EQ(log_, std::vector<std::string>{"second 1"});
    EXPECT_EQ(device_.Length(), 1000);

    // Settled, but its done not yet handed over when the next open comes: mpv
    // has decoded the medium before the event loop runs again, so the next
    // open is queued behind the events that settle this one.
    device_.OpenAsync(TestDataFile("tone-3s.mp3"), false, Logged("third"));
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (device_.PropertyText("current-ao").empty() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);
    QObject context;
    QMetaObject::invokeMethod(
        &context, [&] { device_.OpenAsync(TestDataFile("tone-1s.wav"), false, Logged("fourth")); },
        Qt::QueuedConnection);
    ASSERT_TRUE(Logs("fourth 1"));
    EXPECT_EQ(log_, (std::vector<std::string>{"second 1", "fourth 1"}));

    hold_->holding = true;
    hold_->entered = false;
    device_.OpenAsync(held, true, Logged("closed"));
    ASSERT_TRUE(WaitUntil([&] { return hold_->entered.load(); }));
    device_.Close(true);
    EXPECT_FALSE(device_.Opening());
    EXPECT_FALSE(device_.IsOpen());
    hold_->holding = false;
    PumpEvents(500ms);
    EXPECT_EQ(log_, (std::vector<std::string>{"second 1", "fourth 1"}));
    EXPECT_FALSE(device_.IsOpen());
}

// A failure comes through done from the event loop, with Open's text, and
// leaves the device closed; so does a media player library that is missing.
TEST_F(MediaOpenAsync, AFailureIsReportedThroughDoneAndLeavesTheDeviceClosed) {
    ServeHeld("/script.mp3", ReadFileBytes(TestDataFile("make-test-audio.sh")), "audio/mpeg",
              [](const httplib::Request&) { return false; });
    server_.Start();
    const std::string missing = server_.Url("/missing.mp3");
    const std::string script = server_.Url("/script.mp3");
    for (const auto& [link, text] :
         {std::pair<std::string, std::string>{missing, "loading failed: " + missing},
          std::pair<std::string, std::string>{script, "unrecognized file format: " + script}}) {
        device_.Open(TestDataFile("tone-1s.wav"), false);
        log_.clear();
        device_.OpenAsync(link, true, Logged("done"));
        EXPECT_FALSE(device_.IsOpen());
        ASSERT_TRUE(Logs("done"));
        ASSERT_TRUE(failure_);
        EXPECT_EQ(failure_->text, text);
        EXPECT_FALSE(failure_->noSoundOutput);
        EXPECT_FALSE(device_.Opening());
        EXPECT_EQ(device_.Mode(), MediaMode::NotReady);
        EXPECT_THROW(device_.Length(), MediaDeviceError);
        PumpEvents(200ms);
        EXPECT_EQ(log_, std::vector<std::string>{"done"});
    }

    // Loaded ahead or not, the library's failure is the open's.
    MpvMediaDevice unloadable("null", 15, "libmpv-not-installed.so.9");
    unloadable.Prepare();
    log_.clear();
    unloadable.OpenAsync(TestDataFile("tone-1s.wav"), false, Logged("done"));
    EXPECT_TRUE(log_.empty());
    EXPECT_TRUE(unloadable.Opening());
    ASSERT_TRUE(Logs("done"));
    ASSERT_TRUE(failure_);
    EXPECT_EQ(failure_->text.rfind("The media player library libmpv-not-installed.so.9 ", 0), 0u)
        << failure_->text;
    EXPECT_FALSE(unloadable.IsOpen());
    EXPECT_FALSE(unloadable.Opening());
}

// A device that loaded libmpv ahead, on another thread, opens with it.
TEST_F(MediaOpenAsync, ADevicePreparedAheadOpensWithTheLibraryItLoaded) {
    MpvMediaDevice prepared("null");
    prepared.Prepare();
    prepared.Prepare();
    std::optional<std::optional<MediaOpenFailure>> outcome;
    prepared.OpenAsync(TestDataFile("tone-1s.wav"), false,
                       [&](std::optional<MediaOpenFailure> failure) { outcome = failure; });
    ASSERT_TRUE(WaitUntil([&] { return outcome.has_value(); }, 40s));
    EXPECT_FALSE(*outcome) << (*outcome)->text;
    EXPECT_TRUE(prepared.IsOpen());
    EXPECT_NEAR(prepared.Length(), 1000, 100);
}

// Neither a server that never answers nor one that sends a byte now and then
// (which keeps mpv's own network time-out from ever striking) may keep the
// open pending past the time-out.
TEST_F(MediaOpenAsync, AServerThatNeverAnswersOrTricklesFailsWithTheTimeOutText) {
    ServeHeld("/silent.mp3", "", "audio/mpeg", Always);
    server_.Server().Get("/trickle.mp3",
                         [hold = hold_](const httplib::Request&, httplib::Response& res) {
                             res.set_chunked_content_provider(
                                 "audio/mpeg", [hold](std::size_t, httplib::DataSink& sink) {
                                     if (!hold->holding) {
                                         sink.done();
                                         return true;
                                     }
                                     std::this_thread::sleep_for(100ms);
                                     return sink.write("\0", 1);
                                 });
                         });
    server_.Start();
    MpvMediaDevice device("null", 2);
    for (const std::string& link : {server_.Url("/silent.mp3"), server_.Url("/trickle.mp3")}) {
        log_.clear();
        device.OpenAsync(link, false, Logged("done"));
        ASSERT_TRUE(Logs("done")) << link;
        ASSERT_TRUE(failure_);
        EXPECT_EQ(failure_->text, "The medium did not open within 2 seconds: " + link);
        EXPECT_FALSE(device.IsOpen());
        EXPECT_FALSE(device.Opening());
    }
}

// A seek to a part of the stream not yet fetched must not wait for the
// server: the device is at the target at once and plays on from there.
TEST_F(MediaOpenAsync, ASeekReturnsWhileTheServerHoldsTheNewOffset) {
    hold_->holding = false;
    ServeHeld("/long.wav", SilentWav(60), "audio/wav", [](const httplib::Request& req) {
        return !req.ranges.empty() && req.ranges[0].first > 0;
    });
    server_.Start();
    device_.Open(server_.Url("/long.wav"), false);
    ASSERT_EQ(device_.Length(), 60000);
    hold_->holding = true;
    device_.Seek(55000, true);
    ASSERT_TRUE(WaitUntil([&] { return hold_->entered.load(); }));
    EXPECT_FALSE(hold_->gaveUp);
    EXPECT_EQ(device_.Position(), 55000);
    device_.Play(false);
    EXPECT_EQ(device_.Mode(), MediaMode::Playing);
    EXPECT_EQ(device_.Position(), 55000);
    EXPECT_TRUE(Logs("Successful"));

    hold_->holding = false;
    EXPECT_TRUE(WaitUntil([&] { return device_.Position() > 55300; }));
    EXPECT_LE(device_.Position(), 60000);
}
