// Titles, links and file names from outside hold markup now and then. Every
// box, label, tip and caption shows them as written, and nothing they name
// is opened: before, Qt read them as rich text, so an "<img src=...>" drew a
// local file into the play error box, the link box and the play button's tip
// (one naming /dev/zero ate memory until the machine ran out).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <optional>
#include <thread>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTextDocument>
#include <QToolButton>
#include <QToolTip>
#include <QWindow>

#include <gtest/gtest.h>

#include "Umain/PlayBar.h"
#include "Umain/frmMain.h"
#include "WaitUntil.h"
#include "WindowTest.h"
#include "platform/OutsideText.h"
#include "platform/QtDialogs.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

// A FIFO that notices being opened for reading: a thread keeps trying to open
// its other end without blocking, which succeeds only while a reader has it
// open, and then lets that reader go on at once (it reads an empty file).
class WatchedFifo {
public:
    explicit WatchedFifo(fs::path path) : path_(std::move(path)) {
        ::mkfifo(path_.c_str(), 0644);
        watcher_ = std::thread([this] {
            while (!stop_) {
                const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                if (fd >= 0) {
                    opened_ = true;
                    ::close(fd);
                }
                std::this_thread::sleep_for(2ms);
            }
        });
    }
    ~WatchedFifo() {
        stop_ = true;
        watcher_.join();
    }
    const fs::path& Path() const { return path_; }
    bool Opened() const { return opened_; }

private:
    fs::path path_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> opened_{false};
    std::thread watcher_;
};

// What a label shows: the text of the document it draws rich text with, or
// its own text when it draws plain text.
QString ShownText(const QLabel* label) {
    if (const auto* document = label->findChild<QTextDocument*>()) {
        return document->toPlainText();
    }
    return label->text();
}

// The next message box, once it is up: its text as shown and its format. The
// box is then closed.
struct ShownBox {
    QString text;
    Qt::TextFormat format = Qt::AutoText;
};
ShownBox ReadNextBox(const std::function<void()>& show) {
    ShownBox shown;
    bool read = false;
    const NextModal<QMessageBox> next([&](QMessageBox* box) {
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        shown = {label != nullptr ? ShownText(label) : QString(), box->textFormat()};
        read = true;
        box->done(QMessageBox::Ok);
    });
    show();
    // A box may come once a step of the action has ended, after it returned.
    EXPECT_TRUE(WaitUntil([&] { return read; }));
    return shown;
}

// The tip of `widget` as the tooltip shows it on hovering.
QString ShownToolTip(QWidget* widget) {
    QToolTip::showText(widget->mapToGlobal(widget->rect().center()), widget->toolTip(), widget);
    QString shown;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->objectName() == QStringLiteral("qtooltip_label") && top->isVisible()) {
            shown = ShownText(static_cast<QLabel*>(top));
        }
    }
    QToolTip::hideText();
    return shown;
}

std::string XmlEscaped(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            case '"':
                escaped += "&quot;";
                break;
            default:
                escaped += c;
        }
    }
    return escaped;
}

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Markup of every kind that matters: an image, a link, a tag, an entity
// reference, and the caption's modified mark.
std::string Hostile(const fs::path& fifo, const std::string& tail) {
    return "<img src=\"" + fifo.string() +
           "\"><a href=\"file:///etc/passwd\">a</a> <b>b</b> &lt; " + "&amp;amp; [*]\n  " + tail;
}

}  // namespace

TEST(OutsideText, EveryBoxShowsItsTextAsWritten) {
    QTemporaryDir dir;
    const WatchedFifo fifo(fs::path(dir.path().toStdString()) / "pipe");
    const QString text = Q(Hostile(fifo.Path(), "끝"));
    QtDialogs dialogs;
    const std::pair<const char*, std::function<void()>> boxes[] = {
        {"message", [&] { dialogs.ShowMessage(text); }},
        {"error", [&] { dialogs.ShowError(text); }},
        {"question", [&] { dialogs.WarningQuestion(text); }},
        {"system box", [&] { dialogs.SystemBox(text, QStringLiteral("제목"), BoxFlags::kOk); }},
    };
    for (const auto& [what, show] : boxes) {
        SCOPED_TRACE(what);
        const ShownBox shown = ReadNextBox(show);
        EXPECT_EQ(shown.format, Qt::PlainText);
        EXPECT_EQ(shown.text, text);
    }

    // The file dialog's warning about a folder that does not exist names it.
    const QString folder = dir.path() + QStringLiteral("/<img src=pipe><b>없는 &lt; 폴더");
    FileDialogState state{QStringLiteral("All Files(*.*)|*.*|"), dir.path(), {}};
    ShownBox warning;
    const NextModal<QMessageBox> readWarning([&](QMessageBox* box) {
        warning = {ShownText(box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))),
                   box->textFormat()};
        box->done(QMessageBox::Ok);
    });
    std::optional<NextModal<QFileDialog>> cancel;
    const NextModal<QFileDialog> choose([&](QFileDialog* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
            ->setText(folder + QStringLiteral("/x.mp3"));
        // The dialog comes back after the warning: it is cancelled then.
        cancel.emplace([](QFileDialog* again) { again->reject(); });
        static_cast<QDialog*>(dialog)->accept();
    });
    EXPECT_FALSE(dialogs.RunFileDialog(state));
    EXPECT_EQ(warning.format, Qt::PlainText);
    EXPECT_EQ(warning.text, folder + QStringLiteral("\n\n폴더가 존재하지 않습니다."));

    PumpEvents(100ms);
    EXPECT_FALSE(fifo.Opened());
}

namespace {

// The windows over Qt's own boxes.
class OutsideTextInWindows : public WindowTest {
protected:
    void SetUp() override {
        AppServices().dialogs = std::make_unique<QtDialogs>();
        fifo_.emplace(Folder() / "pipe");
    }
    void TearDown() override {
        WindowTest::TearDown();
        fifo_.reset();
    }
    std::optional<WatchedFifo> fifo_;
};

}  // namespace

TEST_F(OutsideTextInWindows, TitlesLinksAndNamesShowAsWrittenAndOpenNothing) {
    StartServer();
    const std::string title = Hostile(fifo_->Path(), "첫 방송");
    // Not a web link: the link check fails, and its message names the link.
    const std::string link = "<img src=\"" + fifo_->Path().string() + "\">x.mp3";
    SetFeed(FeedOf({{XmlEscaped(title), XmlEscaped(link)}}));
    ASSERT_TRUE(ShowMain());
    ASSERT_EQ(Main().Episodes.size(), 1U);
    ASSERT_EQ(Main().Episodes[0].title, title);

    EXPECT_EQ(ShownToolTip(Find<QToolButton>("btnPlay")), Q(title + " 재생"));
    EXPECT_EQ(ShownToolTip(Find<QToolButton>("btnDown")), Q(title + " 다운로드"));

    ShownBox box = ReadNextBox([&] { Find<QToolButton>("btnPlay")->click(); });
    EXPECT_EQ(box.format, Qt::PlainText);
    // Read back from the box, each carriage return is a line break.
    EXPECT_TRUE(box.text.startsWith(
        Q("인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" + link + "\n\n")))
        << box.text.toStdString();

    box = ReadNextBox([&] { Find<QAbstractButton>("btnURL")->click(); });
    EXPECT_EQ(box.format, Qt::PlainText);
    EXPECT_EQ(box.text, Q(link + "\n\nMP3 다운로드 경로를 클립보드에 복사하였습니다."));

    // A local file: its name in the caption, its path on the bar's tip.
    const fs::path file = Folder() / "<i>a [*] &amp;.wav";
    fs::copy_file(TestDataFile("tone-1s.wav"), file);
    Main().PlayFile(file.string());
    ASSERT_TRUE(Settle());
    EXPECT_EQ(Main().windowHandle()->title(), Q("ZURav3 v3.0.0.0 - " + file.filename().string()));
    EXPECT_EQ(ShownToolTip(Find<TPlayBar>("prgPlay")), Q(file.string()));

    PumpEvents(100ms);
    EXPECT_FALSE(fifo_->Opened());
}

// A cut never splits a character (a surrogate pair would reach the bus as
// "?") nor a letter from its marks.
TEST(OutsideText, CapsCutBetweenCharacters) {
    const QString emoji = QStringLiteral("ab\U0001F600cd");           // the face is two units
    const QString marked = QStringLiteral("ab\u1100\u1161\u11A8cd");  // one syllable of jamo
    const struct {
        QString text;
        int max;
        QString capped;
    } cases[] = {
        {emoji, 10, emoji},
        {emoji, 4, QStringLiteral("ab…")},
        {emoji, 5, QStringLiteral("ab\U0001F600…")},
        {marked, 4, QStringLiteral("ab…")},
        {marked, 6, QStringLiteral("ab\u1100\u1161\u11A8…")},
        {QStringLiteral("abc"), 1, QStringLiteral("…")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CappedText(c.text, c.max), c.capped) << c.text.toStdString() << " " << c.max;
    }
    EXPECT_EQ(CappedLines(QStringLiteral("abcdef\nxy\n\nabcdef"), 4, 12),
              QStringLiteral("abc…\nxy\n\nab…"));
    EXPECT_EQ(CappedLines(QStringLiteral("abcdef\nxy\n\nabcdef"), 4, 10),
              QStringLiteral("abc…\nxy\n\n…"));
}
