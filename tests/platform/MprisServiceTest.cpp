#include "platform/MprisService.h"

#include <optional>

#include <QDBusArgument>
#include <QDBusConnection>

#include <gtest/gtest.h>

#include "MprisOnPrivateBus.h"
#include "WaitUntil.h"

namespace {

// Records the service's signals as the client receives them.
class SignalRecorder : public QObject {
    Q_OBJECT
public:
    QList<qlonglong> seeked;
    QStringList changedProperties;

public slots:
    void OnSeeked(qlonglong positionUs) { seeked << positionUs; }
    void OnPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
        changedProperties << changed.keys();
    }
};

class FakePlayer final : public IMprisPlayer {
public:
    MprisState state;
    QStringList calls;
    qint64 positionSet = -1;

    MprisState State() override { return state; }
    void PlayPause() override { calls << QStringLiteral("PlayPause"); }
    void Play() override { calls << QStringLiteral("Play"); }
    void Pause() override { calls << QStringLiteral("Pause"); }
    void Stop() override { calls << QStringLiteral("Stop"); }
    void SetPosition(qint64 ms) override {
        calls << QStringLiteral("SetPosition");
        positionSet = ms;
    }
    void Raise() override { calls << QStringLiteral("Raise"); }
};

// The service on one connection of a private bus, a client on another.
class MprisServiceTest : public ::testing::Test {
protected:
    void SetUp() override {
        player_.state = {.status = MprisState::Status::Playing,
                         .title = QStringLiteral("첫 방송"),
                         .lengthMs = 60000,
                         .positionMs = 1500,
                         .url = QStringLiteral("http://h/tov_080301.mp3"),
                         .album = QStringLiteral("토브 라디오"),
                         .artUrl = QStringLiteral("file:///usr/share/icons/zurav3.png")};
        mpris_.emplace(player_);
        ASSERT_TRUE(mpris_->Ready()) << "dbus-daemon did not start";
    }

    MprisClient& Client() { return mpris_->Client(); }

    FakePlayer player_;
    std::optional<MprisOnPrivateBus> mpris_;
};

}  // namespace

TEST_F(MprisServiceTest, ReportsTitleStateLengthAndPosition) {
    EXPECT_EQ(
        Client().Property(QStringLiteral("org.mpris.MediaPlayer2"), QStringLiteral("Identity")),
        QStringLiteral("ZURav3"));
    EXPECT_EQ(Client().PlayerProperty("PlaybackStatus").toString(), QStringLiteral("Playing"));
    EXPECT_EQ(Client().PlayerProperty("Position").toLongLong(), 1500000);
    EXPECT_TRUE(Client().PlayerProperty("CanSeek").toBool());
    const QVariantMap metadata = Client().Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QStringLiteral("첫 방송"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:length")).toLongLong(), 60000000);
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:url")).toString(),
              QStringLiteral("http://h/tov_080301.mp3"));
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(),
              QStringLiteral("토브 라디오"));
    EXPECT_EQ(metadata.value(QStringLiteral("mpris:artUrl")).toString(),
              QStringLiteral("file:///usr/share/icons/zurav3.png"));
    // What is not known is left out, not sent empty.
    player_.state.album.clear();
    player_.state.artUrl.clear();
    EXPECT_EQ(Client().Metadata().keys(),
              (QStringList{QStringLiteral("mpris:length"), QStringLiteral("mpris:trackid"),
                           QStringLiteral("xesam:title"), QStringLiteral("xesam:url")}));

    player_.state.status = MprisState::Status::Paused;
    EXPECT_EQ(Client().PlayerProperty("PlaybackStatus").toString(), QStringLiteral("Paused"));
    player_.state = {};
    EXPECT_EQ(Client().PlayerProperty("PlaybackStatus").toString(), QStringLiteral("Stopped"));
    EXPECT_FALSE(Client().PlayerProperty("CanSeek").toBool());
    EXPECT_FALSE(Client().Metadata().contains(QStringLiteral("xesam:title")));
}

TEST_F(MprisServiceTest, TransportCallsReachThePlayer) {
    Client().CallPlayer("PlayPause");
    Client().CallPlayer("Stop");
    Client().CallPlayer("Play");
    Client().CallPlayer("Pause");
    EXPECT_EQ(player_.calls, (QStringList{QStringLiteral("PlayPause"), QStringLiteral("Stop"),
                                          QStringLiteral("Play"), QStringLiteral("Pause")}));
}

// Seeking moves relative to the position, never before the start nor past the
// end, and is announced with the Seeked signal.
TEST_F(MprisServiceTest, SeekMovesWithinTheMediumAndIsAnnounced) {
    SignalRecorder recorder;
    ASSERT_TRUE(Client().Connection().connect(QString(), QStringLiteral("/org/mpris/MediaPlayer2"),
                                              QStringLiteral("org.mpris.MediaPlayer2.Player"),
                                              QStringLiteral("Seeked"), &recorder,
                                              SLOT(OnSeeked(qlonglong))));
    Client().CallPlayer("Seek", {QVariant::fromValue(qlonglong{2000000})});
    EXPECT_EQ(player_.positionSet, 3500);
    Client().CallPlayer("Seek", {QVariant::fromValue(qlonglong{-10000000})});
    EXPECT_EQ(player_.positionSet, 0);
    player_.positionSet = -1;
    Client().CallPlayer("Seek", {QVariant::fromValue(qlonglong{100000000})});
    EXPECT_EQ(player_.positionSet, -1);
    EXPECT_TRUE(WaitUntil([&] { return recorder.seeked.size() == 2; }));
    EXPECT_EQ(recorder.seeked, (QList<qlonglong>{3500000, 0}));

    // SetPosition names the track it means; another track's position is ignored.
    Client().CallPlayer("SetPosition",
                        {QVariant::fromValue(QDBusObjectPath(QStringLiteral("/other"))),
                         QVariant::fromValue(qlonglong{5000000})});
    EXPECT_EQ(player_.positionSet, -1);
    const QVariantMap metadata = Client().Metadata();
    Client().CallPlayer("SetPosition", {metadata.value(QStringLiteral("mpris:trackid")),
                                        QVariant::fromValue(qlonglong{5000000})});
    EXPECT_EQ(player_.positionSet, 5000);
}

TEST_F(MprisServiceTest, ChangesOfStateAndTitleAreAnnounced) {
    SignalRecorder recorder;
    ASSERT_TRUE(Client().Connection().connect(
        QString(), QStringLiteral("/org/mpris/MediaPlayer2"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"),
        &recorder, SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList))));
    player_.state.status = MprisState::Status::Paused;
    EXPECT_TRUE(WaitUntil(
        [&] { return recorder.changedProperties.contains(QStringLiteral("PlaybackStatus")); }));
    player_.state.title = QStringLiteral("다음 방송");
    EXPECT_TRUE(
        WaitUntil([&] { return recorder.changedProperties.contains(QStringLiteral("Metadata")); }));
}

#include "MprisServiceTest.moc"
