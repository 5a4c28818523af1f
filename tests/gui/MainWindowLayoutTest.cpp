
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "TestServices.h"
#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"

namespace {

using namespace std::chrono_literals;

// The main window shown offscreen, with a two-episode feed from a local server.
class MainWindowLayout : public ::testing::Test {
protected:
    void SetUp() override {
        server_.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        server_.Server().Get("/rss", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(
                "<rss><channel><item><title>First</title><enclosure url=\"http://h/1.mp3\"/>"
                "</item><item><title>Second</title><enclosure url=\"http://h/2.mp3\"/></item>"
                "</channel></rss>",
                "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        window_ = std::make_unique<TfrmMain>(services_.Get());
        window_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
    }

    template <typename T = QWidget>
    T* Find(const char* name) {
        T* control = window_->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }

    TestHttpServer server_;
    TestServices services_;
    std::unique_ptr<TfrmMain> window_;
};

}  // namespace

TEST_F(MainWindowLayout, IsAFixedStripAtTheTopLeftWithoutMaximise) {
    EXPECT_EQ(window_->pos(), QPoint(0, 0));
    EXPECT_EQ(window_->size(), QSize(382, 67));
    EXPECT_EQ(window_->minimumSize(), window_->maximumSize());
    EXPECT_TRUE(window_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(window_->windowFlags() & Qt::WindowMaximizeButtonHint);
}

// Focus starts in the out-of-view date list, and Tab runs through the
// focusable controls in the designed order, hidden ones included.
TEST_F(MainWindowLayout, FocusStartsInTheDateListAndTabFollowsTheDesignedOrder) {
    window_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
    ASSERT_EQ(QApplication::focusWidget(), Find("cmbDate"));
    QStringList visited;
    for (int i = 0; i < 6; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(visited, (QStringList{QStringLiteral("Memo1"), QStringLiteral("btnDownload"),
                                    QStringLiteral("lstItem"), QStringLiteral("cmbItem"),
                                    QStringLiteral("btnURL"), QStringLiteral("cmbDate")}));
}

// The toggle works on the outer height: from any other height it first goes
// to the collapsed 105, then alternates with 319.
TEST_F(MainWindowLayout, ListButtonTogglesTheOuterHeight) {
    auto* button = Find<QToolButton>("btnList");
    const bool startsAt105 = window_->frameGeometry().height() == 105;
    const QString show = QStringLiteral("목록보기");
    const QString hide = QStringLiteral("목록감추기");
    EXPECT_EQ(button->text(), show);

    button->click();
    EXPECT_EQ(window_->frameGeometry().height(), startsAt105 ? 319 : 105);
    EXPECT_EQ(button->text(), startsAt105 ? hide : show);
    if (!startsAt105) {
        button->click();
        EXPECT_EQ(window_->frameGeometry().height(), 319);
        EXPECT_EQ(button->text(), hide);
    }
    button->click();
    EXPECT_EQ(window_->frameGeometry().height(), 105);
    EXPECT_EQ(button->text(), show);
    EXPECT_EQ(window_->width(), 382);
}

// Setting a selection from code must not run the change handlers; the user's
// choice does: the title list changes the hints, the date list opens the
// episode without playing it.
TEST_F(MainWindowLayout, DropDownsReactToTheUserNotToCode) {
    auto* cmbItem = Find<QComboBox>("cmbItem");
    auto* btnPlay = Find<QToolButton>("btnPlay");
    cmbItem->setCurrentIndex(1);
    EXPECT_EQ(btnPlay->toolTip(), QStringLiteral("First 재생"));
    cmbItem->setCurrentIndex(0);
    QTest::keyClick(cmbItem, Qt::Key_Down);
    EXPECT_EQ(cmbItem->currentIndex(), 1);
    EXPECT_EQ(btnPlay->toolTip(), QStringLiteral("Second 재생"));
    EXPECT_EQ(Find<QToolButton>("btnDown")->toolTip(), QStringLiteral("Second 다운로드"));

    // The date list as a text-scan load leaves it: one date per episode.
    for (TEpisode& episode : window_->Episodes) {
        episode.url = server_.Url("/tone.mp3");
    }
    auto* cmbDate = Find<QComboBox>("cmbDate");
    cmbDate->addItems({QStringLiteral("2024/01/01"), QStringLiteral("2024/01/08")});
    cmbDate->setCurrentIndex(0);
    IMediaDevice& device = *services_.Get().media;
    EXPECT_FALSE(device.IsOpen());

    const QString caption = window_->windowTitle();
    QTest::keyClick(cmbDate, Qt::Key_Down);
    ASSERT_EQ(cmbDate->currentIndex(), 1);
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());
    EXPECT_EQ(device.Mode(), MediaMode::Stopped);
    EXPECT_EQ(Find<TPlayBar>("prgPlay")->Max(), device.Length());
    EXPECT_GT(device.Length(), 0);
    PumpEvents(200ms);
    EXPECT_FALSE(Find<QToolButton>("sbtnPlay")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblTimeFull")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(window_->windowTitle(), caption);
}

// Closing the main window stops the timer and ends the program even while
// another window is still shown.
TEST_F(MainWindowLayout, ClosingStopsTheTimerAndEndsTheProgramWhileAnotherWindowIsShown) {
    QWidget other;
    other.show();
    ASSERT_TRUE(window_->Timer.isActive());
    QTimer::singleShot(0, window_.get(), [this] { window_->close(); });
    QTimer::singleShot(20000, [] { QApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(window_->Timer.isActive());
}
