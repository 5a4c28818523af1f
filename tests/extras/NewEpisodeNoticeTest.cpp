#include <filesystem>
#include <optional>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QToolButton>

#include <gtest/gtest.h>

#include "NotificationStandIn.h"
#include "PrivateSessionBus.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "extras/PlayerExtras.h"
#include "platform/HandlerGuard.h"

namespace {

using namespace std::chrono_literals;

const QString kNotifierConnection = QStringLiteral("notice-test-notifier");

// A feed whose episodes are named by day: "15" is titled "Day 15" and links
// .../tov_080315.mp3, which the text scan reads as 2008/03/15.
std::string FeedOfDays(const std::vector<std::string>& days) {
    std::vector<FeedItem> items;
    for (const std::string& day : days) {
        items.push_back({"Day " + day, "http://h/tov_0803" + day + ".mp3"});
    }
    return FeedOf(items);
}

// The window with its notifications going to a stand-in server on a bus of
// the test's own.
class NewEpisodeNotice : public WindowTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(bus_.Running()) << "dbus-daemon did not start";
        server_.emplace(bus_.Address(), QStringList{QStringLiteral("body")});
        ASSERT_TRUE(server_->Ready());
        AppServices().notifier = std::make_unique<DBusDesktopNotifier>(
            QDBusConnection::connectToBus(bus_.Address(), kNotifierConnection));
        StartServer();
    }
    void TearDown() override {
        WindowTest::TearDown();
        server_.reset();
        QDBusConnection::disconnectFromBus(kNotifierConnection);
    }

    const std::vector<NotificationStandIn::Shown>& Shown() { return server_->Notifications(); }
    // Waits for the n-th notification; the ones before must have been all.
    bool NoticeCountReaches(std::size_t n) {
        return WaitUntil([&] { return Shown().size() >= n; }) && Shown().size() == n;
    }
    void Reload() { Find<QToolButton>("btnReload")->click(); }
    // The notices as the user turned them on in an earlier run.
    void NoticesOn() { WriteIni(ReadIni() + "[OPT]\nNewEpisodeNotice=1\n"); }
    // The play menu's item, as the menu shows it.
    QAction* NoticeItem() {
        QToolButton* button = Find<QToolButton>("btnPlay");
        const QPoint at(5, 5);
        QContextMenuEvent click(QContextMenuEvent::Mouse, at, button->mapToGlobal(at));
        QApplication::sendEvent(button, &click);
        QMenu* menu = Main().Extras().PlayMenu();
        menu->hide();
        return menu->findChild<QAction*>(QStringLiteral("actNewEpisodeNotice"));
    }
    bool SeenFileExists() const { return std::filesystem::exists(Folder() / "ZURav3.seen"); }
    // What the settings dialog's OK does, failures shown in the error box.
    void LoadFrom(const std::string& path) {
        RunGuarded(Dialogs(), [&] { Main().ChangeRssURL(Url(path)); });
    }

    PrivateSessionBus bus_;
    std::optional<NotificationStandIn> server_;
};

}  // namespace

// Nothing on the first load; then one notice per load that brings links never
// seen, by the reload button, the settings dialog's load and the next start.
TEST_F(NewEpisodeNotice, LoadsAnnounceOnlyLinksNeverSeenAndTheFirstLoadNothing) {
    NoticesOn();
    SetFeed(FeedOfDays({"02", "01"}));
    ASSERT_EQ(Main().Episodes.size(), 2u);
    Reload();

    SetFeed(FeedOfDays({"03", "02", "01"}));
    Reload();
    ASSERT_TRUE(NoticeCountReaches(1));
    EXPECT_EQ(Shown()[0].summary, QStringLiteral("새 에피소드: Day 03"));
    EXPECT_EQ(Shown()[0].app, QStringLiteral("ZURav3"));

    // The same again, and one episode gone and back: nothing new.
    Reload();
    SetFeed(FeedOfDays({"03", "01"}));
    Reload();
    SetFeed(FeedOfDays({"07", "06", "05", "04", "03", "02", "01"}));
    Reload();
    ASSERT_TRUE(NoticeCountReaches(2));
    EXPECT_EQ(Shown()[1].summary, QStringLiteral("새 에피소드 4편"));
    EXPECT_EQ(Shown()[1].body, QStringLiteral("Day 07\nDay 06\nDay 05\n외 1편"));

    // The settings dialog's load reads dates, not titles.
    SetFeed(FeedOfDays({"08", "07", "06", "05", "04", "03", "02", "01"}));
    LoadFrom("/rss");
    ASSERT_TRUE(NoticeCountReaches(3));
    EXPECT_EQ(Shown()[2].summary, QStringLiteral("새 에피소드: 2008/03/08"));

    // What arrived between two runs is announced at the start.
    CloseWindows();
    SetFeed(FeedOfDays({"09", "08", "07", "06", "05", "04", "03", "02", "01"}));
    ASSERT_EQ(Main().Episodes.size(), 9u);
    ASSERT_TRUE(NoticeCountReaches(4));
    EXPECT_EQ(Shown()[3].summary, QStringLiteral("새 에피소드: Day 09"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// A feed of its own starts afresh; without a notification server the links
// are still learnt, so none is announced later when a server is back.
TEST_F(NewEpisodeNotice, AnotherFeedStartsAfreshAndWithoutAServerNothingIsAnnouncedLater) {
    NoticesOn();
    SetFeed(FeedOfDays({"01"}));
    SetFeed(FeedOfDays({"11", "10"}), "/other");
    Main();
    LoadFrom("/other");

    server_.reset();
    SetFeed(FeedOfDays({"12", "11", "10"}), "/other");
    LoadFrom("/other");
    PumpEvents(300ms);
    server_.emplace(bus_.Address(), QStringList{});
    ASSERT_TRUE(server_->Ready());
    SetFeed(FeedOfDays({"13", "12", "11", "10"}), "/other");
    LoadFrom("/other");
    ASSERT_TRUE(NoticeCountReaches(1));
    EXPECT_EQ(Shown()[0].summary, QStringLiteral("새 에피소드: 2008/03/13"));
    EXPECT_TRUE(Dialogs().Boxes().empty());
}

// Until the user turns them on, no load sends a notice, nothing is written
// beside the settings and the settings have no key for them. Turned on from
// the play menu, what is shown then counts as seen, the next new episode is
// announced, and the choice is kept, off as well as on.
TEST_F(NewEpisodeNotice, OffUntilTurnedOnInThePlayMenuWhichTakesWhatIsShownAsSeen) {
    SetFeed(FeedOfDays({"02", "01"}));
    ASSERT_EQ(Main().Episodes.size(), 2u);
    SetFeed(FeedOfDays({"03", "02", "01"}));
    Reload();
    PumpEvents(300ms);
    EXPECT_TRUE(Shown().empty());
    EXPECT_FALSE(SeenFileExists());
    ASSERT_NE(NoticeItem(), nullptr);
    EXPECT_TRUE(NoticeItem()->isCheckable());
    EXPECT_FALSE(NoticeItem()->isChecked());
    CloseWindows();
    EXPECT_EQ(ReadIni().find("NewEpisodeNotice"), std::string::npos);
    EXPECT_FALSE(SeenFileExists());

    SetFeed(FeedOfDays({"04", "03", "02", "01"}));
    ASSERT_EQ(Main().Episodes.size(), 4u);
    NoticeItem()->trigger();
    EXPECT_TRUE(NoticeItem()->isChecked());
    Reload();
    SetFeed(FeedOfDays({"05", "04", "03", "02", "01"}));
    Reload();
    ASSERT_TRUE(NoticeCountReaches(1));
    EXPECT_EQ(Shown()[0].summary, QStringLiteral("새 에피소드: Day 05"));
    CloseWindows();
    EXPECT_NE(ReadIni().find("\nNewEpisodeNotice = 1\n"), std::string::npos) << ReadIni();
    EXPECT_TRUE(SeenFileExists());

    EXPECT_TRUE(NoticeItem()->isChecked());
    NoticeItem()->trigger();
    EXPECT_FALSE(NoticeItem()->isChecked());
    SetFeed(FeedOfDays({"06", "05", "04", "03", "02", "01"}));
    Reload();
    PumpEvents(300ms);
    EXPECT_EQ(Shown().size(), 1u);
    CloseWindows();
    EXPECT_NE(ReadIni().find("\nNewEpisodeNotice = 0\n"), std::string::npos) << ReadIni();
    EXPECT_TRUE(Dialogs().Boxes().empty());
}
