#include "platform/DesktopNotifier.h"

#include <optional>

#include <gtest/gtest.h>

#include "MprisClient.h"
#include "NotificationStandIn.h"
#include "PrivateSessionBus.h"
#include "WaitUntil.h"
#include "platform/AppInfo.h"
#include "platform/MprisService.h"

namespace {

using namespace std::chrono_literals;

const QString kClientConnection = QStringLiteral("notifier-test-client");

class StillPlayer final : public IMprisPlayer {
public:
    MprisState state;
    MprisState State() override { return state; }
    void PlayPause() override {}
    void Play() override {}
    void Pause() override {}
    void Stop() override {}
    void SetPosition(qint64) override {}
    void Raise() override {}
};

// The notifier on its own connection to a private bus, with or without a
// notification server on another.
class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(bus_.Running()) << "dbus-daemon did not start"; }
    void TearDown() override {
        notifier_.reset();
        server_.reset();
        QDBusConnection::disconnectFromBus(kClientConnection);
    }

    void StartServer(QStringList capabilities) {
        server_.emplace(bus_.Address(), std::move(capabilities));
        ASSERT_TRUE(server_->Ready());
    }
    DBusDesktopNotifier& Notifier() {
        if (!notifier_) {
            notifier_.emplace(QDBusConnection::connectToBus(bus_.Address(), kClientConnection));
        }
        return *notifier_;
    }

    PrivateSessionBus bus_;
    std::optional<NotificationStandIn> server_;
    std::optional<DBusDesktopNotifier> notifier_;
};

}  // namespace

// Feed titles reach a server that reads markup in the body escaped, and one
// that does not as they are.
TEST_F(DesktopNotifierTest, SendsTheProgramsNotificationEscapedOnlyForAServerThatReadsMarkup) {
    StartServer({QStringLiteral("body"), QStringLiteral("body-markup")});
    const QString body = QStringLiteral("<b>1 & 2</b>\n셋");
    Notifier().Notify(QStringLiteral("새 에피소드 2편"), body);
    ASSERT_TRUE(WaitUntil([&] { return server_->Notifications().size() == 1; }));
    const NotificationStandIn::Shown& shown = server_->Notifications().front();
    EXPECT_EQ(shown.app, QStringLiteral("ZURav3"));
    EXPECT_EQ(shown.icon, QStringLiteral("zurav3"));
    EXPECT_EQ(shown.summary, QStringLiteral("새 에피소드 2편"));
    EXPECT_EQ(shown.body, QStringLiteral("&lt;b&gt;1 &amp; 2&lt;/b&gt;\n셋"));
    // The desktop finds the program's entry (and its name and icon) by its id.
    EXPECT_EQ(shown.hints.value(QStringLiteral("desktop-entry")).toString(),
              QString::fromStdString(DesktopEntryId()));

    server_.reset();
    StartServer({QStringLiteral("body")});
    Notifier().Notify(QStringLiteral("s"), body);
    ASSERT_TRUE(WaitUntil([&] { return server_->Notifications().size() == 1; }));
    EXPECT_EQ(server_->Notifications().front().body, body);
}

// No server on the bus, or no bus at all: nothing happens, nothing waits.
TEST_F(DesktopNotifierTest, WithoutAServerOrABusNothingIsShownOrReported) {
    Notifier().Notify(QStringLiteral("lost"), QString());
    PumpEvents(300ms);

    DBusDesktopNotifier noBus(QDBusConnection(QStringLiteral("no-such-connection")));
    noBus.Notify(QStringLiteral("lost"), QString());

    // A server that comes later sees only what is sent from then on.
    StartServer({});
    Notifier().Notify(QStringLiteral("found"), QString());
    ASSERT_TRUE(WaitUntil([&] { return !server_->Notifications().empty(); }));
    PumpEvents(200ms);
    ASSERT_EQ(server_->Notifications().size(), 1u);
    EXPECT_EQ(server_->Notifications().front().summary, QStringLiteral("found"));
}

// A huge title from a feed is cut in what goes onto the bus. Before, three
// titles of 12 million "<" made an escaped body over the bus's message limit:
// the bus ended the program's connection, and its media controls went with it.
TEST_F(DesktopNotifierTest, AHugeTitleIsCutAndTheProgramStaysOnTheBus) {
    StartServer({QStringLiteral("body"), QStringLiteral("body-markup")});
    const QString huge(12 * 1024 * 1024, u'<');
    // One connection for the notices and the media controls, as in the program.
    StillPlayer player;
    player.state.status = MprisState::Status::Playing;
    player.state.title = huge;
    player.state.lengthMs = 60000;
    player.state.url = QStringLiteral("http://h/") + huge;
    player.state.album = huge;
    MprisService mpris(player, QDBusConnection::connectToBus(bus_.Address(), kClientConnection));
    ASSERT_TRUE(mpris.IsRegistered());

    const QString lead = QStringLiteral("새 에피소드: ");
    Notifier().Notify(lead + huge, huge + u'\n' + huge + u'\n' + huge + QStringLiteral("\n외 2편"));
    ASSERT_TRUE(WaitUntil([&] { return server_->Notifications().size() == 1; }, 60s));
    const NotificationStandIn::Shown& shown = server_->Notifications().front();
    EXPECT_EQ(shown.summary, lead + QString(149 - lead.size(), u'<') + u'…');
    const QString title = QString(149, u'<').toHtmlEscaped() + u'…';
    EXPECT_EQ(shown.body, title + u'\n' + title + u'\n' + title + QStringLiteral("\n외 2편"));

    MprisClient client(bus_.Address(), mpris.ServiceName());
    const QVariantMap metadata = client.Metadata();
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:title")).toString(), QString(499, u'<') + u'…');
    EXPECT_EQ(metadata.value(QStringLiteral("xesam:album")).toString(), QString(499, u'<') + u'…');
    EXPECT_FALSE(metadata.contains(QStringLiteral("xesam:url")));
    EXPECT_TRUE(QDBusConnection(kClientConnection).isConnected());
    EXPECT_EQ(client.PlayerProperty("PlaybackStatus").toString(), QStringLiteral("Playing"));
}
