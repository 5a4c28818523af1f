// The name a save proposes, as Qt's own file dialog shows it and as the file
// then lands on disk.
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include "TestHttpServer.h"
#include "TestServices.h"
#include "TransferHelpers.h"
#include "Udownload/frmDownload.h"
#include "Umain/frmMain.h"
#include "platform/QtDialogs.h"

namespace fs = std::filesystem;

namespace {

// The real file dialog; every other box goes to the scripted dialogs.
class RealFileDialog final : public IDialogs {
public:
    explicit RealFileDialog(IDialogs& boxes) : boxes_(boxes) {}
    void ShowMessage(const QString& text) override { boxes_.ShowMessage(text); }
    void ShowError(const QString& text) override { boxes_.ShowError(text); }
    bool WarningQuestion(const QString& text) override { return boxes_.WarningQuestion(text); }
    BoxAnswer SystemBox(const QString& text, const QString& title, unsigned flags) override {
        return boxes_.SystemBox(text, title, flags);
    }
    bool RunFileDialog(FileDialogState& state) override { return qt_.RunFileDialog(state); }

private:
    IDialogs& boxes_;
    QtDialogs qt_;
};

// A server that answers every path with the same bytes, and a main window
// whose feed holds the links a test gives.
class SaveNameDialog : public ::testing::Test {
protected:
    void SetUp() override {
        bytes_ = PatternBytes(64 * 1024);
        server_.Server().Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.path == "/rss") {
                res.set_content(feed_, "text/xml");
            } else {
                res.set_content(bytes_, "audio/mpeg");
            }
        });
        server_.Start();
        scripted_ = std::move(services_.Get().dialogs);
        services_.Get().dialogs = std::make_unique<RealFileDialog>(*scripted_);
        fs::create_directory(Saved());
    }
    void TearDown() override {
        download_.reset();
        main_.reset();
    }

    void Open(const std::vector<std::string>& paths) {
        std::string items;
        for (const std::string& path : paths) {
            items += "<item><title>t</title><enclosure url=\"" + server_.Url(path) +
                     "\" length=\"1\" type=\"audio/mpeg\"/></item>";
        }
        feed_ = "<?xml version=\"1.0\"?><rss><channel>" + items + "</channel></rss>";
        services_.WriteIni("[TOV]\nRSS=" + server_.Url("/rss") +
                           "\n[OPT]\nLastDown=" + Saved().string() + "/\n");
        main_ = std::make_unique<TfrmMain>(services_.Get());
        download_ = std::make_unique<TfrmDownload>(services_.Get());
    }

    // Saves episode `index`, confirming the file dialog as it comes up; gives
    // the name the dialog proposed.
    QString SaveAndConfirm(int index) {
        QString proposed;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            poll.stop();
            proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            // Enter on the dialog: its own accept checks the name it holds.
            static_cast<QDialog*>(dialog)->accept();
        });
        poll.start();
        main_->findChild<QComboBox*>(QStringLiteral("cmbItem"))->setCurrentIndex(index);
        main_->btnDownClick();
        return proposed;
    }

    fs::path Saved() const { return services_.Folder() / "saved"; }

    std::string bytes_;
    std::string feed_;
    TestHttpServer server_;
    TestServices services_;
    std::unique_ptr<IDialogs> scripted_;
    std::unique_ptr<TfrmMain> main_;
    std::unique_ptr<TfrmDownload> download_;
};

}  // namespace

// A "/" in the query no longer picks the name, escapes are decoded, and a link
// that ends in a folder proposes a safe name; each file is saved under the
// name shown, in the folder of the last save.
TEST_F(SaveNameDialog, ProposesThePathsLastSegmentDecodedAndSavesUnderIt) {
    Open({"/ep.mp3?next=/.bashrc", "/%EC%B2%AB%20%EB%B0%A9%EC%86%A1.mp3", "/feed/",
          "/a%2F..%2F.bashrc"});
    const std::vector<std::string> expected = {"ep.mp3", "첫 방송.mp3", "episode.mp3",
                                               "a%2F..%2F.bashrc"};
    for (int i = 0; i < 4; ++i) {
        const auto name = expected[static_cast<std::size_t>(i)];
        EXPECT_EQ(SaveAndConfirm(i).toStdString(), name);
        EXPECT_TRUE(ReadFileBytes(Saved() / name) == bytes_) << name;
    }
    std::vector<std::string> sorted = expected;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(FolderEntries(Saved()), sorted);
    EXPECT_FALSE(fs::exists(services_.Folder() / ".bashrc"));
}
