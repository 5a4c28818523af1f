#include "extras/MainMpris.h"
#include "extras/PlayerExtras.h"

#include <limits>
#include <optional>

#include <QUrl>

#include <gtest/gtest.h>

#include "MprisOnPrivateBus.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"

namespace {

// The real window and media device behind the media controls, on a bus of
// the test's own.
class MainMpris : public WindowTest {
protected:
    void SetUp() override {
        WriteIni("[TOV]\nRSS=http://127.0.0.1:9/none\n");
        player_ = std::make_unique<TMainWindowMpris>(Main(), Main().Extras().SpeedAndSleep(),
                                                     AppServices());
        mpris_.emplace(*player_);
        ASSERT_TRUE(mpris_->Ready());
    }
    void TearDown() override {
        mpris_.reset();
        player_.reset();
        WindowTest::TearDown();
    }

    QDBusMessage Player(const char* method, const QVariantList& args = {}) {
        return mpris_->Client().CallPlayer(method, args);
    }
    QVariant Property(const char* name) { return mpris_->Client().PlayerProperty(name); }
    QString Status() { return Property("PlaybackStatus").toString(); }

    std::unique_ptr<TMainWindowMpris> player_;
    std::optional<MprisOnPrivateBus> mpris_;
};

// Numbers from the bus may be anything a client sends: the media controls
// hold them in range instead of overflowing. The tone is open and stopped one
// second in.
class MprisRange : public MainMpris {
protected:
    static constexpr qlonglong kMax = std::numeric_limits<qlonglong>::max();
    static constexpr qlonglong kMin = std::numeric_limits<qlonglong>::min();

    void SetUp() override {
        MainMpris::SetUp();
        Main().PlayFile(TestDataFile("tone-3s.mp3"));
        ASSERT_TRUE(Settle());
        Main().sbtnStopClick();
        Media().Seek(1000, false);
        ASSERT_EQ(Media().Position(), 1000);
    }
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

// SetPosition within the last moment of a playing episode, or at its very
// end, ends it as playing into the end does: it stays at its end, stopped.
// (A target a few milliseconds before the end started the episode over from
// 0:00 and played on.) The next play starts from the beginning.
TEST_F(MainMpris, SetPositionAtTheLastMomentEndsTheEpisodeInsteadOfRestarting) {
    Main().PlayFile(TestDataFile("tone-3s.mp3"));
    ASSERT_TRUE(WaitUntil([&] { return Status() == QStringLiteral("Playing"); }));
    const QVariant track = mpris_->Client().Metadata().value(QStringLiteral("mpris:trackid"));
    const qlonglong lengthUs = Media().Length() * 1000LL;
    for (const qlonglong before : {qlonglong{3000}, qlonglong{400000}, qlonglong{0}}) {
        Player("SetPosition", {track, QVariant::fromValue(lengthUs - before)});
        EXPECT_EQ(Status(), QStringLiteral("Stopped")) << before;
        EXPECT_EQ(Media().Position(), Media().Length()) << before;
        // Nothing starts it again a moment later.
        PumpEvents(std::chrono::milliseconds(500));
        EXPECT_EQ(Status(), QStringLiteral("Stopped")) << before;
        EXPECT_EQ(Media().Position(), Media().Length()) << before;
        Player("PlayPause");
        ASSERT_EQ(Status(), QStringLiteral("Playing")) << before;
        EXPECT_LT(Media().Position(), 1000) << before;
    }
    // Further from the end, it plays on from there.
    Player("SetPosition", {track, QVariant::fromValue(lengthUs - 900000)});
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    EXPECT_GE(Media().Position(), Media().Length() - 900);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// The desktop's controls show where an episode came from and the show's name,
// as either feed reader found it; a local file is a file URL with no show.
TEST_F(MainMpris, MetadataNamesTheLinkAndTheShow) {
    Server().ServeBytes("/tov_080301.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")),
                        "audio/mpeg");
    StartServer();
    const std::string link = Url("/tov_080301.mp3");
    SetFeed(
        "<?xml version=\"1.0\"?><rss><channel><title>토브 &amp; <![CDATA[친구들]]></title>"
        "<item><title>첫 방송</title><enclosure url=\"" +
        link + "\" length=\"1\" /></item></channel></rss>");
    const auto metadata = [&](const char* key) {
        return mpris_->Client().Metadata().value(QString::fromLatin1(key)).toString();
    };

    Main().RssURL = Url("/rss");
    Main().btnReloadClick();
    ASSERT_TRUE(Settle());
    Main().btnPlayClick();
    ASSERT_TRUE(WaitUntil([&] { return Status() == QStringLiteral("Playing"); }));
    EXPECT_EQ(metadata("xesam:url").toStdString(), link);
    EXPECT_EQ(metadata("xesam:album"), QStringLiteral("토브 & 친구들"));

    const std::string local = (Folder() / "두 번째 #1.mp3").string();
    WriteFileBytes(local, ReadFileBytes(TestDataFile("tone-3s.mp3")));
    Main().PlayFile(local);
    ASSERT_TRUE(Settle());
    EXPECT_EQ(metadata("xesam:url"),
              QUrl::fromLocalFile(QString::fromStdString(local)).toString(QUrl::FullyEncoded));
    EXPECT_FALSE(mpris_->Client().Metadata().contains(QStringLiteral("xesam:album")));

    Main().ChangeRssURL(Url("/rss"));
    ASSERT_TRUE(Settle());
    Main().cmbDateChange();
    ASSERT_TRUE(Settle());
    EXPECT_EQ(metadata("xesam:url").toStdString(), link);
    EXPECT_EQ(metadata("xesam:album"), QStringLiteral("토브 & 친구들"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// Seek: an offset past the end has no effect (there is no next track), one
// before the start goes to the start, at the very ends of the 64-bit range too.
TEST_F(MprisRange, SeekOffsetsAtTheEndsOfTheRangeSaturate) {
    for (const qlonglong offset : {kMax, kMax - 500000, qlonglong{2000001} * 1000}) {
        ASSERT_EQ(Player("Seek", {QVariant::fromValue(offset)}).type(), QDBusMessage::ReplyMessage);
        EXPECT_EQ(Media().Position(), 1000) << offset;
    }
    Player("Seek", {QVariant::fromValue(kMin)});
    EXPECT_EQ(Media().Position(), 0);
    Player("Seek", {QVariant::fromValue(qlonglong{1500000})});
    EXPECT_EQ(Media().Position(), 1500);
    Player("Seek", {QVariant::fromValue(kMin + 1)});
    EXPECT_EQ(Media().Position(), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// SetPosition outside the medium is ignored; the player itself holds a
// position beyond the device's int range at the end instead of wrapping.
TEST_F(MprisRange, SetPositionOutsideTheMediumIsIgnored) {
    const QVariant track = mpris_->Client().Metadata().value(QStringLiteral("mpris:trackid"));
    ASSERT_TRUE(track.isValid());
    for (const qlonglong position : {kMin, qlonglong{-1}, kMax, qlonglong{4000000000}}) {
        Player("SetPosition", {track, QVariant::fromValue(position)});
        EXPECT_EQ(Media().Position(), 1000) << position;
    }
    player_->SetPosition(kMax);
    EXPECT_EQ(Media().Position(), Media().Length());
    player_->SetPosition(kMin);
    EXPECT_EQ(Media().Position(), 0);
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
