#include <functional>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include "Udlgrss/frmRSS.h"
#include "Umain/frmMain.h"
#include "WindowTest.h"
#include "settings/Settings.h"

namespace {

// The main window and the settings dialog, as the program creates them, on a
// feed server whose scan feed the test can change.
class SettingsDialog : public WindowTest {
protected:
    void SetUp() override {
        SetFeed(FeedOf({{"Doc", "http://h/d.mp3"}}));
        SetFeed(ScanFeed({"15"}), "/scan");
        StartServer();
        Main();
        edtRSS_ = Find<QLineEdit>(Rss(), "edtRSS");
        btnOK_ = Find<QPushButton>(Rss(), "btnOK");
        btnDefault_ = Find<QPushButton>(Rss(), "btnDefault");
        Main().show();
        ASSERT_TRUE(edtRSS_ && btnOK_ && btnDefault_);
    }

    // Clicks the settings button and runs `inside` while the dialog is open;
    // the dialog is closed afterwards if `inside` left it open.
    void WhileOpen(const std::function<void()>& inside) {
        bool ran = false;
        QTimer::singleShot(0, &Rss(), [&] {
            ran = true;
            inside();
            if (Rss().isVisible()) {
                Rss().close();
            }
        });
        Find<QToolButton>("btnSetting")->click();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(Rss().isVisible());
    }

    QComboBox* Dates() { return Find<QComboBox>("cmbDate"); }

    QLineEdit* edtRSS_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnDefault_ = nullptr;
};

}  // namespace

// The box is labelled for keyboard users, Enter goes to OK, and the title bar
// offers only closing.
TEST_F(SettingsDialog, LabelDefaultButtonAndTitleBar) {
    EXPECT_EQ(frmRSS, &Rss());
    EXPECT_EQ(Rss().windowTitle(), QStringLiteral("설정"));
    const auto* label = Find<QLabel>(Rss(), "lblRSS");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), edtRSS_);
    EXPECT_TRUE(btnOK_->isDefault());
    EXPECT_FALSE(btnDefault_->isDefault());
    EXPECT_FALSE(Rss().windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(Rss().windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(Rss().isVisible());
}

TEST_F(SettingsDialog, OkReloadsByTheTextScanAndCloses) {
    const std::string scanUrl = Url("/scan");
    WhileOpen([&] {
        EXPECT_EQ(QApplication::activeModalWidget(), &Rss());
        EXPECT_EQ(edtRSS_->text().toStdString(), Url("/rss"));
        EXPECT_EQ(Rss().focusWidget(), edtRSS_);
        edtRSS_->setText(QString::fromStdString(scanUrl));
        btnOK_->click();
        ASSERT_TRUE(Settle());
    });
    EXPECT_EQ(Main().RssURL, scanUrl);
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});
    EXPECT_TRUE(Dialogs().Boxes().empty());

    // OK with the text unchanged loads again.
    SetFeed(ScanFeed({"16"}), "/scan");
    WhileOpen([&] {
        EXPECT_EQ(edtRSS_->text().toStdString(), scanUrl);
        btnOK_->click();
        ASSERT_TRUE(Settle());
    });
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/16")});
}

TEST_F(SettingsDialog, DefaultThenCloseChangesNothing) {
    const TEpisodeList before = Main().Episodes;
    WhileOpen([&] {
        btnDefault_->click();
        EXPECT_EQ(edtRSS_->text(), QString::fromUtf8(kDefaultRssURL));
        EXPECT_TRUE(Rss().isVisible());
        Rss().close();
    });
    EXPECT_EQ(Main().RssURL, Url("/rss"));
    EXPECT_EQ(Main().Episodes, before);
    // The next opening shows the setting again, not the default.
    WhileOpen([&] { EXPECT_EQ(edtRSS_->text().toStdString(), Url("/rss")); });
}

TEST_F(SettingsDialog, AFailedLoadShowsTheErrorAndKeepsTheDialogOpen) {
    const TEpisodeList before = Main().Episodes;
    const std::string missing = Url("/missing");
    WhileOpen([&] {
        edtRSS_->setText(QString::fromStdString(missing));
        btnOK_->click();
        ASSERT_TRUE(Settle());
        ASSERT_EQ(Dialogs().Count(), 1u);
        EXPECT_EQ(Dialogs().Last().kind, Kind::Error);
        EXPECT_EQ(Dialogs().Last().text.toStdString(),
                  "피드를 불러오지 못했습니다: " + missing + "\n\nHTTP/1.1 404 Not Found");
        EXPECT_TRUE(Rss().isVisible());
        EXPECT_EQ(edtRSS_->text().toStdString(), missing);
        EXPECT_EQ(Main().RssURL, missing);
        EXPECT_EQ(Main().Episodes, before);

        // Corrected, the same opening goes through.
        edtRSS_->setText(QString::fromStdString(Url("/scan")));
        btnOK_->click();
        ASSERT_TRUE(Settle());
        EXPECT_FALSE(Rss().isVisible());
    });
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});

    // The failed text shows at the next opening if it is still the setting.
    Main().RssURL = missing;
    WhileOpen([&] { EXPECT_EQ(edtRSS_->text().toStdString(), missing); });
}

TEST_F(SettingsDialog, EnterInTheBoxActsAsOk) {
    WhileOpen([&] {
        edtRSS_->setText(QString::fromStdString(Url("/scan")));
        QTest::keyClick(edtRSS_, Qt::Key_Return);
        ASSERT_TRUE(Settle());
    });
    EXPECT_EQ(Main().RssURL, Url("/scan"));
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});
}

TEST_F(SettingsDialog, FirstOpeningIsCentredOverTheMainWindowThenWhereLeft) {
    const QRect desktop = Main().screen()->virtualGeometry();
    QPoint first;
    WhileOpen([&] {
        first = Rss().frameGeometry().topLeft();
        Rss().move(desktop.left() + 40, desktop.top() + 50);
    });
    const QRect main = Main().frameGeometry();
    const QSize outer = Rss().frameGeometry().size();
    EXPECT_EQ(first.x(),
              std::max(desktop.left(), main.left() + (main.width() - outer.width()) / 2));
    // The main window is less tall than the dialog: held at the desktop's top.
    ASSERT_LT(main.height(), outer.height());
    EXPECT_EQ(first.y(), desktop.top());

    WhileOpen([&] {
        EXPECT_EQ(Rss().frameGeometry().topLeft(), QPoint(desktop.left() + 40, desktop.top() + 50));
    });
}
