// Numbers from the bus may be anything a client sends: the media controls
// hold them in range instead of overflowing.
#include <limits>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>

#include <gtest/gtest.h>

#include "PrivateSessionBus.h"
#include "TestFiles.h"
#include "TestServices.h"
#include "Umain/MainMpris.h"
#include "Umain/frmMain.h"
#include "platform/MprisService.h"

namespace {

constexpr qlonglong kMax = std::numeric_limits<qlonglong>::max();
constexpr qlonglong kMin = std::numeric_limits<qlonglong>::min();

// The real window, device and service on a bus of the test's own, with the
// tone open and stopped one second in.
class MprisRange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Running());
        services_.WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        player_ = std::make_unique<TMainWindowMpris>(*window_, services_.Get());
        mpris_ = std::make_unique<MprisService>(
            *player_, QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("range")));
        ASSERT_TRUE(mpris_->IsRegistered());
        client_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("range-client")));
        window_->PlayFile(TestDataFile("tone-3s.mp3"));
        window_->sbtnStopClick();
        Device().Seek(1000, false);
        ASSERT_EQ(Device().Position(), 1000);
    }
    void TearDown() override {
        mpris_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("range"));
        QDBusConnection::disconnectFromBus(QStringLiteral("range-client"));
    }

    IMediaDevice& Device() { return *services_.Get().media; }
    QDBusMessage Player(const char* method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            mpris_->ServiceName(), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(method));
        call.setArguments(args);
        return client_->call(call, QDBus::BlockWithGui);
    }
    QVariant TrackId() {
        QDBusMessage get = QDBusMessage::createMethodCall(
            mpris_->ServiceName(), QStringLiteral("/org/mpris/MediaPlayer2"),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        get << QStringLiteral("org.mpris.MediaPlayer2.Player") << QStringLiteral("Metadata");
        QVariantMap metadata;
        client_->call(get, QDBus::BlockWithGui)
                .arguments()
                .value(0)
                .value<QDBusVariant>()
                .variant()
                .value<QDBusArgument>() >>
            metadata;
        return metadata.value(QStringLiteral("mpris:trackid"));
    }

    PrivateSessionBus bus_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
    std::unique_ptr<TMainWindowMpris> player_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<QDBusConnection> client_;
};

}  // namespace

// Seek: an offset past the end has no effect (there is no next track), one
// before the start goes to the start, at the very ends of the 64-bit range too.
TEST_F(MprisRange, SeekOffsetsAtTheEndsOfTheRangeSaturate) {
    for (const qlonglong offset : {kMax, kMax - 500000, qlonglong{2000001} * 1000}) {
        ASSERT_EQ(Player("Seek", {QVariant::fromValue(offset)}).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(Device().Position(), 1000) << offset;
    }
    Player("Seek", {QVariant::fromValue(kMin)});
    EXPECT_EQ(Device().Position(), 0);
    Player("Seek", {QVariant::fromValue(qlonglong{1500000})});
    EXPECT_EQ(Device().Position(), 1500);
    Player("Seek", {QVariant::fromValue(kMin + 1)});
    EXPECT_EQ(Device().Position(), 0);
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}

// SetPosition outside the medium is ignored; the player itself holds a
// position beyond the device's int range at the end instead of wrapping.
TEST_F(MprisRange, SetPositionOutsideTheMediumIsIgnored) {
    const QVariant track = TrackId();
    ASSERT_TRUE(track.isValid());
    for (const qlonglong position : {kMin, qlonglong{-1}, kMax, qlonglong{4000000000}}) {
        Player("SetPosition", {track, QVariant::fromValue(position)});
        EXPECT_EQ(Device().Position(), 1000) << position;
    }
    player_->SetPosition(kMax);
    EXPECT_EQ(Device().Position(), Device().Length());
    player_->SetPosition(kMin);
    EXPECT_EQ(Device().Position(), 0);
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}
