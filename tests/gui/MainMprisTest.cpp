#include "Umain/MainMpris.h"

#include <optional>

#include <QDBusConnection>

#include <gtest/gtest.h>

#include "MprisClient.h"
#include "PrivateSessionBus.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "Umain/frmMain.h"
#include "platform/MprisService.h"

namespace {

// The real window and media device behind the media controls, on a bus of
// the test's own.
class MainMpris : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Running());
        WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        player_ = std::make_unique<TMainWindowMpris>(Main(), AppServices());
        mpris_ = std::make_unique<MprisService>(
            *player_, QDBusConnection::connectToBus(bus_.Address(), QStringLiteral("player")));
        ASSERT_TRUE(mpris_->IsRegistered());
        client_.emplace(bus_.Address(), mpris_->ServiceName());
    }
    void TearDown() override {
        client_.reset();
        mpris_.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("player"));
        player_.reset();
        WindowTest::TearDown();
    }

    void Player(const char* method, const QVariantList& args = {}) {
        client_->CallPlayer(method, args);
    }
    QVariant Property(const char* name) { return client_->PlayerProperty(name); }
    QString Status() { return Property("PlaybackStatus").toString(); }

    PrivateSessionBus bus_;
    std::unique_ptr<TMainWindowMpris> player_;
    std::unique_ptr<MprisService> mpris_;
    std::optional<MprisClient> client_;
};

}  // namespace

TEST_F(MainMpris, ReportsWhatPlaysAndTakesPlayPauseSeekAndStop) {
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    EXPECT_TRUE(WaitUntil([&] { return Status() == QStringLiteral("Playing"); }));

    const QVariantMap metadata = client_->Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(),
              QStringLiteral("tone-3s.mp3"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(),
              Media().Length() * 1000LL);
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
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
