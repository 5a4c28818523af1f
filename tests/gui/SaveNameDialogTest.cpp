// The name a save proposes, as Qt's own file dialog shows it and as the file
// then lands on disk.
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>

#include <gtest/gtest.h>

#include "Umain/frmMain.h"
#include "WindowTest.h"
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

// A server that answers every episode path with the same bytes, and the
// windows over Qt's file dialog.
class SaveNameDialog : public WindowTest {
protected:
    void SetUp() override {
        bytes_ = PatternBytes(64 * 1024);
        Server().Server().Get(R"(/(?!rss$).*)",
                              [this](const httplib::Request&, httplib::Response& res) {
                                  res.set_content(bytes_, "audio/mpeg");
                              });
        StartServer();
        WriteIni("[TOV]\nRSS=" + Url("/rss") + "\n[OPT]\nLastDown=" + Saved().string() + "/\n");
        fs::create_directory(Saved());
        scripted_ = std::move(AppServices().dialogs);
        AppServices().dialogs = std::make_unique<RealFileDialog>(*scripted_);
    }

    // Saves episode `index`, confirming the file dialog as it comes up; gives
    // the name the dialog proposed.
    QString SaveAndConfirm(int index) {
        QString proposed;
        const NextModal<QFileDialog> next([&](QFileDialog* dialog) {
            proposed = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->text();
            // Enter on the dialog: its own accept checks the name it holds.
            static_cast<QDialog*>(dialog)->accept();
        });
        Download();
        Find<QComboBox>("cmbItem")->setCurrentIndex(index);
        Main().btnDownClick();
        EXPECT_TRUE(Settle());
        return proposed;
    }

    fs::path Saved() const { return Folder() / "saved"; }

    std::string bytes_;
    std::unique_ptr<IDialogs> scripted_;
};

}  // namespace

// A "/" in the query no longer picks the name, escapes are decoded, and a link
// that ends in a folder proposes a safe name; each file is saved under the
// name shown, in the folder of the last save.
TEST_F(SaveNameDialog, ProposesThePathsLastSegmentDecodedAndSavesUnderIt) {
    SetFeed(FeedOf({{"t", Url("/ep.mp3?next=/.bashrc")},
                    {"t", Url("/%EC%B2%AB%20%EB%B0%A9%EC%86%A1.mp3")},
                    {"t", Url("/feed/")},
                    {"t", Url("/a%2F..%2F.bashrc")}}));
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
    EXPECT_FALSE(fs::exists(Folder() / ".bashrc"));
}
