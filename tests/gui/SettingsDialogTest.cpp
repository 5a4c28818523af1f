#include <functional>
#include <mutex>

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

#include "TestHttpServer.h"
#include "TestServices.h"
#include "Udlgrss/frmRSS.h"
#include "Umain/Settings.h"
#include "Umain/frmMain.h"

namespace {

std::string ScanFeed(const std::string& day) {
    return "<rss><channel><item><enclosure url=\"http://h/tov_0803" + day +
           ".mp3\" length=\"1\" /></item></channel></rss>";
}

QStringList Lines(const QComboBox* box) {
    QStringList lines;
    for (int i = 0; i < box->count(); ++i) {
        lines << box->itemText(i);
    }
    return lines;
}

// The main window and the settings dialog, as the program creates them, on a
// feed server whose scan feed the test can change.
class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        server_.ServeBytes(
            "/rss",
            "<rss><channel><item><title>Doc</title>"
            "<enclosure url=\"http://h/d.mp3\" length=\"1\"/></item></channel></rss>",
            "text/xml");
        server_.Server().Get("/scan", [this](const httplib::Request&, httplib::Response& res) {
            std::lock_guard guard(lock_);
            res.set_content(scanFeed_, "text/xml");
        });
        server_.Start();
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") + "\n");
        main_ = std::make_unique<TfrmMain>(services_.Get());
        dialog_ = std::make_unique<TfrmRSS>(services_.Get());
        main_->show();
        edtRSS_ = dialog_->findChild<QLineEdit*>(QStringLiteral("edtRSS"));
        btnOK_ = dialog_->findChild<QPushButton*>(QStringLiteral("btnOK"));
        btnDefault_ = dialog_->findChild<QPushButton*>(QStringLiteral("btnDefault"));
        ASSERT_TRUE(edtRSS_ && btnOK_ && btnDefault_);
    }

    void SetScanFeed(const std::string& feed) {
        std::lock_guard guard(lock_);
        scanFeed_ = feed;
    }

    // Clicks the settings button and runs `inside` while the dialog is open;
    // the dialog is closed afterwards if `inside` left it open.
    void WhileOpen(const std::function<void()>& inside) {
        bool ran = false;
        QTimer::singleShot(0, dialog_.get(), [&] {
            ran = true;
            inside();
            if (dialog_->isVisible()) {
                dialog_->close();
            }
        });
        main_->findChild<QToolButton*>(QStringLiteral("btnSetting"))->click();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(dialog_->isVisible());
    }

    QComboBox* Dates() const { return main_->findChild<QComboBox*>(QStringLiteral("cmbDate")); }

    TestHttpServer server_;
    TestServices services_;
    std::mutex lock_;
    std::string scanFeed_ = ScanFeed("15");
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmRSS> dialog_;
    QLineEdit* edtRSS_ = nullptr;
    QPushButton* btnOK_ = nullptr;
    QPushButton* btnDefault_ = nullptr;
};

}  // namespace

// The box is labelled for keyboard users, Enter goes to OK, and the title bar
// offers only closing.
TEST_F(SettingsDialog, LabelDefaultButtonAndTitleBar) {
    EXPECT_EQ(frmRSS, dialog_.get());
    EXPECT_EQ(dialog_->windowTitle(), QStringLiteral("설정"));
    const auto* label = dialog_->findChild<QLabel*>(QStringLiteral("lblRSS"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), edtRSS_);
    EXPECT_TRUE(btnOK_->isDefault());
    EXPECT_FALSE(btnDefault_->isDefault());
    EXPECT_FALSE(dialog_->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog_->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(dialog_->isVisible());
}

TEST_F(SettingsDialog, OkReloadsByTheTextScanAndCloses) {
    const std::string scanUrl = server_.Url("/scan");
    WhileOpen([&] {
        EXPECT_EQ(QApplication::activeModalWidget(), dialog_.get());
        EXPECT_EQ(edtRSS_->text().toStdString(), server_.Url("/rss"));
        EXPECT_EQ(dialog_->focusWidget(), edtRSS_);
        edtRSS_->setText(QString::fromStdString(scanUrl));
        btnOK_->click();
    });
    EXPECT_EQ(main_->RssURL, scanUrl);
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});
    EXPECT_TRUE(services_.Dialogs().Boxes().empty());

    // OK with the text unchanged loads again.
    SetScanFeed(ScanFeed("16"));
    WhileOpen([&] {
        EXPECT_EQ(edtRSS_->text().toStdString(), scanUrl);
        btnOK_->click();
    });
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/16")});
}

TEST_F(SettingsDialog, DefaultThenCloseChangesNothing) {
    const TEpisodeList before = main_->Episodes;
    WhileOpen([&] {
        btnDefault_->click();
        EXPECT_EQ(edtRSS_->text(), QString::fromUtf8(kDefaultRssURL));
        EXPECT_TRUE(dialog_->isVisible());
        dialog_->close();
    });
    EXPECT_EQ(main_->RssURL, server_.Url("/rss"));
    EXPECT_EQ(main_->Episodes, before);
    // The next opening shows the setting again, not the default.
    WhileOpen([&] { EXPECT_EQ(edtRSS_->text().toStdString(), server_.Url("/rss")); });
}

TEST_F(SettingsDialog, AFailedLoadShowsTheErrorAndKeepsTheDialogOpen) {
    const TEpisodeList before = main_->Episodes;
    const std::string missing = server_.Url("/missing");
    WhileOpen([&] {
        edtRSS_->setText(QString::fromStdString(missing));
        btnOK_->click();
        ASSERT_EQ(services_.Dialogs().Count(), 1u);
        EXPECT_EQ(services_.Dialogs().Last().kind, ScriptedDialogs::Kind::Error);
        EXPECT_EQ(services_.Dialogs().Last().text, QStringLiteral("HTTP/1.1 404 Not Found"));
        EXPECT_TRUE(dialog_->isVisible());
        EXPECT_EQ(edtRSS_->text().toStdString(), missing);
        EXPECT_EQ(main_->RssURL, missing);
        EXPECT_EQ(main_->Episodes, before);

        // Corrected, the same opening goes through.
        edtRSS_->setText(QString::fromStdString(server_.Url("/scan")));
        btnOK_->click();
        EXPECT_FALSE(dialog_->isVisible());
    });
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});

    // The failed text shows at the next opening if it is still the setting.
    main_->RssURL = missing;
    WhileOpen([&] { EXPECT_EQ(edtRSS_->text().toStdString(), missing); });
}

TEST_F(SettingsDialog, EnterInTheBoxActsAsOk) {
    WhileOpen([&] {
        edtRSS_->setText(QString::fromStdString(server_.Url("/scan")));
        QTest::keyClick(edtRSS_, Qt::Key_Return);
    });
    EXPECT_EQ(main_->RssURL, server_.Url("/scan"));
    EXPECT_EQ(Lines(Dates()), QStringList{QStringLiteral("2008/03/15")});
}

TEST_F(SettingsDialog, FirstOpeningIsCentredOverTheMainWindowThenWhereLeft) {
    const QRect desktop = main_->screen()->virtualGeometry();
    QPoint first;
    WhileOpen([&] {
        first = dialog_->frameGeometry().topLeft();
        dialog_->move(desktop.left() + 40, desktop.top() + 50);
    });
    const QRect main = main_->frameGeometry();
    const QSize outer = dialog_->frameGeometry().size();
    EXPECT_EQ(first.x(),
              std::max(desktop.left(), main.left() + (main.width() - outer.width()) / 2));
    // The main window is less tall than the dialog: held at the desktop's top.
    ASSERT_LT(main.height(), outer.height());
    EXPECT_EQ(first.y(), desktop.top());

    WhileOpen([&] {
        EXPECT_EQ(dialog_->frameGeometry().topLeft(),
                  QPoint(desktop.left() + 40, desktop.top() + 50));
    });
}
