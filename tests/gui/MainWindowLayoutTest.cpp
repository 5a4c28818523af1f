#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include "WaitUntil.h"
#include "WindowTest.h"
#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"

namespace {

using namespace std::chrono_literals;

// The main window shown offscreen, with a two-episode feed from a local server.
class MainWindowLayout : public WindowTest {
protected:
    void SetUp() override {
        Server().ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
        SetFeed(FeedOf({{"First", "http://h/1.mp3", ""}, {"Second", "http://h/2.mp3", ""}}));
        StartServer();
        ASSERT_TRUE(ShowMain());
    }
};

}  // namespace

TEST_F(MainWindowLayout, IsAFixedStripAtTheTopLeftWithoutMaximise) {
    EXPECT_EQ(Main().pos(), QPoint(0, 0));
    EXPECT_EQ(Main().size(), QSize(382, 67));
    EXPECT_EQ(Main().minimumSize(), Main().maximumSize());
    EXPECT_TRUE(Main().windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Main().windowFlags() & Qt::WindowMaximizeButtonHint);
}

// Focus starts in the out-of-view date list, and Tab runs through the
// focusable controls in the designed order, hidden ones included.
TEST_F(MainWindowLayout, FocusStartsInTheDateListAndTabFollowsTheDesignedOrder) {
    Main().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
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
    const bool startsAt105 = Main().frameGeometry().height() == 105;
    const QString show = QStringLiteral("목록보기");
    const QString hide = QStringLiteral("목록감추기");
    EXPECT_EQ(button->text(), show);

    button->click();
    EXPECT_EQ(Main().frameGeometry().height(), startsAt105 ? 319 : 105);
    EXPECT_EQ(button->text(), startsAt105 ? hide : show);
    if (!startsAt105) {
        button->click();
        EXPECT_EQ(Main().frameGeometry().height(), 319);
        EXPECT_EQ(button->text(), hide);
    }
    button->click();
    EXPECT_EQ(Main().frameGeometry().height(), 105);
    EXPECT_EQ(button->text(), show);
    EXPECT_EQ(Main().width(), 382);
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
    for (TEpisode& episode : Main().Episodes) {
        episode.url = Url("/tone.mp3");
    }
    auto* cmbDate = Find<QComboBox>("cmbDate");
    cmbDate->addItems({QStringLiteral("2024/01/01"), QStringLiteral("2024/01/08")});
    cmbDate->setCurrentIndex(0);
    IMediaDevice& device = *AppServices().media;
    EXPECT_FALSE(device.IsOpen());

    const QString caption = Main().windowTitle();
    QTest::keyClick(cmbDate, Qt::Key_Down);
    ASSERT_EQ(cmbDate->currentIndex(), 1);
    ASSERT_TRUE(Settle());
    EXPECT_TRUE(Dialogs().Boxes().empty());
    EXPECT_EQ(device.Mode(), MediaMode::Stopped);
    EXPECT_EQ(Find<TPlayBar>("prgPlay")->Max(), device.Length());
    EXPECT_GT(device.Length(), 0);
    PumpEvents(200ms);
    EXPECT_FALSE(Find<QToolButton>("sbtnPlay")->isEnabled());
    EXPECT_EQ(Find<QLabel>("lblTimeFull")->text(), QStringLiteral("00:00:00"));
    EXPECT_EQ(Main().windowTitle(), caption);
}

// Closing the main window stops the timer and ends the program even while
// another window is still shown.
TEST_F(MainWindowLayout, ClosingStopsTheTimerAndEndsTheProgramWhileAnotherWindowIsShown) {
    QWidget other;
    other.show();
    ASSERT_TRUE(Main().Timer.isActive());
    QTimer::singleShot(0, &Main(), [this] { Main().close(); });
    QTimer::singleShot(20000, [] { QApplication::exit(1); });
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_FALSE(Main().Timer.isActive());
}

// The glyphs are drawn for the screen's scale, not blown up from 16 pixels:
// at scale 2 the stop square's edges are as hard as at scale 1, its outline
// two pixels wide.
TEST_F(MainWindowLayout, GlyphsAreDrawnAtTheScaleOfTheScreen) {
    const QImage stop = Find<QToolButton>("sbtnStop")
                            ->icon()
                            .pixmap(QSize(16, 16), 2.0)
                            .toImage()
                            .convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(stop.size(), QSize(32, 32));
    int opaque = 0;
    for (int x = 0; x < 32; ++x) {
        const int alpha = qAlpha(stop.pixel(x, 16));
        EXPECT_TRUE(alpha == 0 || alpha == 255) << "x " << x << " alpha " << alpha;
        opaque += alpha == 255 ? 1 : 0;
    }
    EXPECT_EQ(opaque, 20);
    EXPECT_EQ(stop.pixel(7, 16), qRgb(0x8C, 0x0A, 0x0A));
    EXPECT_EQ(stop.pixel(8, 16), qRgb(0xE0, 0x2F, 0x2F));
}
