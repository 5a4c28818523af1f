// The media device with a real sound server: mpv's own choice of output plays
// through PulseAudio, and a missing or vanishing server is reported, never
// taken for silent playing.
#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "PrivateSoundServer.h"
#include "TestFiles.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"
#include "platform/Services.h"

namespace {

using namespace std::chrono_literals;

bool StartsWithNoSoundOutput(const std::string& text) {
    return text.rfind(std::string(kNoSoundOutput) + "\n\n", 0) == 0;
}

class SoundOutput : public ::testing::Test {
protected:
    // The device with one named output; its notifications are recorded.
    std::unique_ptr<MpvMediaDevice> MakeDevice(const std::string& audioOutput) {
        auto device = std::make_unique<MpvMediaDevice>(audioOutput);
        device->SetNotifyHandler([this](NotifyResult result) { notes_.push_back(result); });
        return device;
    }

    std::vector<NotifyResult> notes_;
};

}  // namespace

// The device of the services the program builds leaves mpv's output at mpv's
// own choice: with a sound server running, the medium has its length, its
// position moves, and the server receives the program's stream. ("auto" is no
// output of libmpv's: it played nothing, reported length 0 and stood at
// 00:00:00.)
TEST_F(SoundOutput, ProgramsDevicePlaysThroughTheSoundServer) {
    PrivateSoundServer server;
    ASSERT_TRUE(server.Running());
    server.Use();
    Services services = MakeProgramServices();
    auto& device = dynamic_cast<MpvMediaDevice&>(*services.media);
    EXPECT_EQ(device.PropertyText("ao"), "");

    device.Open(TestDataFile("tone-3s.mp3"), false);
    EXPECT_NEAR(device.Length(), 3000, 100);
    device.Play(false);
    ASSERT_TRUE(WaitUntil([&] { return device.Position() > 1000; }));
    EXPECT_EQ(device.PropertyText("current-ao"), "pulse");
    EXPECT_EQ(server.PlayingClients(), QStringLiteral("\"ZURav3\"\n"));
    EXPECT_EQ(device.Mode(), MediaMode::Playing);
    EXPECT_EQ(device.FailureText(), "");
}

// No sound server: the open fails with the first line saying so and mpv's
// reason after it, the device is closed, and no notification follows.
TEST_F(SoundOutput, WithoutASoundServerTheOpenFailsAndSaysWhy) {
    QTemporaryDir nowhere;
    PrivateSoundServer::UseNoServer(nowhere);
    auto device = MakeDevice("pulse");
    const std::string tone = TestDataFile("tone-3s.mp3");
    try {
        device->Open(tone, true);
        FAIL() << "the open succeeded without a sound output";
    } catch (const SoundOutputError& e) {
        const std::string text = e.what();
        EXPECT_TRUE(StartsWithNoSoundOutput(text)) << text;
        EXPECT_NE(text.find("audio output initialization failed: " + tone), std::string::npos)
            << text;
    }
    EXPECT_FALSE(device->IsOpen());
    EXPECT_EQ(device->Mode(), MediaMode::NotReady);
    PumpEvents(300ms);
    EXPECT_TRUE(notes_.empty());

    // A medium that cannot be decoded is still the plain open error.
    try {
        device->Open(TestDataFile("make-test-audio.sh"), true);
        FAIL() << "a script opened as a medium";
    } catch (const SoundOutputError& e) {
        FAIL() << e.what();
    } catch (const MediaDeviceError& e) {
        EXPECT_FALSE(StartsWithNoSoundOutput(e.what())) << e.what();
    }
}

// The server goes away while playing: the device closes the medium, sends a
// Failure notification (asked for or not) and gives the reason; a new open
// clears it.
TEST_F(SoundOutput, ServerGoingAwayWhilePlayingClosesTheMediumWithTheReason) {
    for (const bool notify : {true, false}) {
        SCOPED_TRACE(notify ? "play with notification" : "play without notification");
        notes_.clear();
        PrivateSoundServer server;
        ASSERT_TRUE(server.Running());
        server.Use();
        // The named output, so that no other card of the machine takes over.
        auto device = MakeDevice("pulse");
        device->Open(TestDataFile("tone-3s.mp3"), false);
        device->Play(notify);
        ASSERT_TRUE(WaitUntil([&] { return device->Position() > 300; }));

        server.Stop();
        ASSERT_TRUE(WaitUntil([&] { return !notes_.empty(); }, 30s));
        EXPECT_EQ(notes_, std::vector<NotifyResult>{NotifyResult::Failure});
        EXPECT_FALSE(device->IsOpen());
        EXPECT_EQ(device->Mode(), MediaMode::NotReady);
        EXPECT_EQ(device->Position(), 0);
        EXPECT_TRUE(StartsWithNoSoundOutput(device->FailureText())) << device->FailureText();

        device->SetNotifyHandler(nullptr);
        EXPECT_THROW(device->Open(TestDataFile("tone-3s.mp3"), false), SoundOutputError);
        EXPECT_EQ(device->FailureText(), "");
    }
}
