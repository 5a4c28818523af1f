#include "Umain/MainMpris.h"

#include <optional>

#include <gtest/gtest.h>

#include "MprisOnPrivateBus.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "Umain/frmMain.h"

namespace {

// The real window and media device behind the media controls, on a bus of
// the test's own.
class MainMpris : public WindowTest {
protected:
    void SetUp() override {
        WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        player_ = std::make_unique<TMainWindowMpris>(Main(), AppServices());
        mpris_.emplace(*player_);
        ASSERT_TRUE(mpris_->Ready());
    }
    void TearDown() override {
        mpris_.reset();
        player_.reset();
        WindowTest::TearDown();
    }

    void Player(const char* method, const QVariantList& args = {}) {
        mpris_->Client().CallPlayer(method, args);
    }
    QVariant Property(const char* name) { return mpris_->Client().PlayerProperty(name); }
    QString Status() { return Property("PlaybackStatus").toString(); }

    std::unique_ptr<TMainWindowMpris> player_;
    std::optional<MprisOnPrivateBus> mpris_;
};

}  // namespace

TEST_F(MainMpris, ReportsWhatPlaysAndTakesPlayPauseSeekAndStop) {
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    EXPECT_TRUE(WaitUntil([&] { return Status() == QStringLiteral("Playing"); }));

    const QVariantMap metadata = mpris_->Client().Metadata();
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
