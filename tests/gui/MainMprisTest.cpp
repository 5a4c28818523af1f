#include "Umain/MainMpris.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QToolButton>

#include <gtest/gtest.h>

#include "PrivateSessionBus.h"
#include "TestFiles.h"
#include "TestServices.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "platform/MprisService.h"

namespace {

// The real window and media device behind the media controls, on a bus of
// the test's own.
class MainMpris : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Running());
        services_.WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        player_ = std::make_unique<TMainWindowMpris>(*window_, services_.Get());
        mpris_ = std::make_unique<MprisService>(
            *player_, QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("player")));
        ASSERT_TRUE(mpris_->IsRegistered());
        client_ = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("controls")));
    }
    void TearDown() override {
        mpris_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("player"));
        QDBusConnection::disconnectFromBus(QStringLiteral("controls"));
    }

    QDBusMessage Call(const QString& interface, const QString& method, const QVariantList& args) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            mpris_->ServiceName(), QStringLiteral("/org/mpris/MediaPlayer2"), interface, method);
        call.setArguments(args);
        return client_->call(call, QDBus::BlockWithGui);
    }
    QVariant Property(const char* name) {
        const QDBusMessage reply =
            Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                 {QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(name)});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }
    void Player(const char* method, const QVariantList& args = {}) {
        Call(QStringLiteral("org.mpris.MediaPlayer2.Player"), QString::fromLatin1(method), args);
    }
    QString Status() { return Property("PlaybackStatus").toString(); }

    PrivateSessionBus bus_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
    std::unique_ptr<TMainWindowMpris> player_;
    std::unique_ptr<MprisService> mpris_;
    std::unique_ptr<QDBusConnection> client_;
};

}  // namespace

TEST_F(MainMpris, ReportsWhatPlaysAndTakesPlayPauseSeekAndStop) {
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    window_->PlayFile(TestDataFile("tone-3s.mp3"));
    EXPECT_TRUE(WaitUntil([&] { return Status() == QStringLiteral("Playing"); }));

    QVariantMap metadata;
    Property("Metadata").value<QDBusArgument>() >> metadata;
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("tone-3s.mp3"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(),
              services_.Get().media->Length() * 1000LL);
    EXPECT_TRUE(WaitUntil([&] { return Property("Position").toLongLong() > 0; }));

    // Play/pause goes through the window's own button, glyph and all.
    Player("PlayPause");
    EXPECT_EQ(Status(), QStringLiteral("Paused"));
    Player("SetPosition", {metadata.value(QStringLiteral("mpris:trackid")),
                           QVariant::fromValue(qlonglong{2000000})});
    EXPECT_NEAR(Property("Position").toLongLong(), 2000000, 50000);
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));  // a seek leaves the device stopped
    Player("PlayPause");
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    Player("Seek", {QVariant::fromValue(qlonglong{-1500000})});
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    EXPECT_LT(Property("Position").toLongLong(), 1500000);

    Player("Stop");
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
}
