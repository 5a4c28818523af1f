#include "platform/DesktopNotifier.h"

#include <optional>

#include <gtest/gtest.h>

#include "NotificationStandIn.h"
#include "PrivateSessionBus.h"
#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;

const QString kClientConnection = QStringLiteral("notifier-test-client");

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
    EXPECT_EQ(shown.hints.value(QStringLiteral("desktop-entry")).toString(),
              QStringLiteral("zurav3"));

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
