// The shipped executable on a display of the test's own, saving an episode
// from a server that sends slowly, ended by a real signal.
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "FeedBuilder.h"
#include "PrivateSessionBus.h"
#include "TestHttpServer.h"
#include "TransferHelpers.h"
#include "platform/SimpleIniFile.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;

bool PollUntil(const std::function<bool()>& condition, std::chrono::seconds timeout = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    return true;
}

// An X server (Xvfb) on a free display, for as long as the object lives. It
// does not reset when its last client goes (-noreset): a program started
// again just after a killed one would find no server to connect to.
class VirtualDisplay {
public:
    VirtualDisplay() {
        xvfb_.start(QStringLiteral("Xvfb"),
                    {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                     QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("800x600x24"),
                     QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!xvfb_.waitForStarted(10000)) {
            return;
        }
        while (!xvfb_.canReadLine() && xvfb_.waitForReadyRead(30000)) {
        }
        const QString number = QString::fromUtf8(xvfb_.readLine()).trimmed();
        if (!number.isEmpty()) {
            display_ = QStringLiteral(":") + number;
        }
    }
    ~VirtualDisplay() {
        xvfb_.terminate();
        if (!xvfb_.waitForFinished(10000)) {
            xvfb_.kill();
            xvfb_.waitForFinished(10000);
        }
    }
    const QString& Name() const { return display_; }

private:
    QProcess xvfb_;
    QString display_;
};

// A copy of the executable with its settings beside it, a feed of one
// episode that trickles out, and the desktop it runs on.
class ShippedProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(display_.Name().isEmpty()) << "Xvfb did not start";
        ASSERT_TRUE(bus_.Running()) << "dbus-daemon did not start";
        body_.Serve(server_, "/slow.mp3", 256 * 1024 * 1024, 16 * 1024, 20ms);
        server_.Server().Get("/rss", [this](const httplib::Request&, httplib::Response& res) {
            res.set_content(FeedOf({{"Slow", server_.Url("/slow.mp3")}}), "text/xml");
        });
        server_.Start();
        for (const fs::path& folder : {App(), Saved(), Home()}) {
            fs::create_directories(folder);
        }
        fs::create_directories(Runtime());
        ::chmod(Runtime().c_str(), 0700);
        fs::copy_file(ZURAV3_EXECUTABLE, App() / "ZURav3");
    }
    void TearDown() override {
        if (program_.state() != QProcess::NotRunning) {
            program_.kill();
            program_.waitForFinished(10000);
        }
        body_.Stop();
    }

    fs::path Folder() const { return dir_.path().toStdString(); }
    fs::path App() const { return Folder() / "app"; }
    fs::path Ini() const { return App() / "ZURav3.ini"; }
    fs::path Saved() const { return Folder() / "saved"; }
    fs::path Home() const { return Folder() / "home"; }
    fs::path Runtime() const { return Folder() / "run"; }

    QProcessEnvironment Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display_.Name());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        // The windows draw without GL. Mesa's GLX driver, unloaded at exit,
        // would take the only pointer to a block of its own with it, which
        // LeakSanitizer then reports as a leak of the program in the ASan run.
        env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.Address());
        env.insert(QStringLiteral("HOME"), QString::fromStdString(Home().string()));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(Runtime().string()));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"),
                   QString::fromStdString((Home() / ".config").string()));
        return env;
    }

    // xdotool with `args`; its output, or nothing when it failed.
    std::optional<QString> Xdotool(const QStringList& args) {
        QProcess tool;
        tool.setProcessEnvironment(Environment());
        tool.start(QStringLiteral("xdotool"), args);
        if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0) {
            return std::nullopt;
        }
        return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
    }
    // The first visible window whose name matches `pattern`, once it is there.
    QString WaitForWindow(const QString& pattern, std::chrono::seconds timeout = 60s) {
        QString id;
        PollUntil(
            [&] {
                const auto found =
                    Xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                             QStringLiteral("--name"), pattern});
                if (found && !found->isEmpty()) {
                    id = found->split(QLatin1Char('\n')).first();
                }
                return !id.isEmpty();
            },
            timeout);
        return id;
    }

    // Starts the program with settings that name the feed and the save folder
    // but no link rewrite, clicks Save, confirms the proposed name, and
    // returns once the episode is arriving in its temporary file.
    void StartASave() {
        WriteFileBytes(Ini(), "[TOV]\nRSS=" + server_.Url("/rss") +
                                  "\n[OPT]\nLastDown=" + Saved().string() + "/\n");
        program_.setProcessEnvironment(Environment());
        program_.setProcessChannelMode(QProcess::ForwardedChannels);
        program_.start(QString::fromStdString((App() / "ZURav3").string()), {});
        ASSERT_TRUE(program_.waitForStarted(30000));
        const QString main = WaitForWindow(QStringLiteral("^ZURav3 v"));
        ASSERT_FALSE(main.isEmpty()) << "the main window did not show";
        // The save button, at its place in the window's fixed layout. The
        // window shows before the feed has arrived, and until then Save has
        // no episode: it is clicked again, a few seconds apart, until the
        // link has been checked and the file dialog comes.
        QString dialog;
        ASSERT_TRUE(PollUntil([&] {
            if (!Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), main,
                          QStringLiteral("296"), QStringLiteral("13"), QStringLiteral("click"),
                          QStringLiteral("1")})) {
                return false;
            }
            dialog = WaitForWindow(QStringLiteral("^열기$"), 5s);
            return !dialog.isEmpty();
        })) << "the file dialog did not show";
        ASSERT_TRUE(Xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), dialog}));
        ASSERT_TRUE(Xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        const std::size_t before = body_.Sent();
        ASSERT_TRUE(PollUntil([&] {
            return !PartFilesIn(Saved()).empty() && body_.Sent() > before + 256 * 1024;
        })) << "no transfer in progress";
    }

    // Sends `signal` and waits for the program to end.
    void SendAndWait(int signal) {
        ASSERT_EQ(::kill(static_cast<pid_t>(program_.processId()), signal), 0);
        ASSERT_TRUE(program_.waitForFinished(60000)) << "the program did not end";
    }

    QTemporaryDir dir_;
    VirtualDisplay display_;
    PrivateSessionBus bus_;
    SlowBody body_;
    TestHttpServer server_;
    QProcess program_;
};

}  // namespace

// SIGTERM, SIGINT and SIGHUP in the middle of a save end the program as its
// close box does: the transfer is cancelled and its temporary file removed,
// the settings are written, and the exit status is 0.
TEST_F(ShippedProgram, SignalsDuringASaveEndTheProgramAsItsCloseBoxDoes) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(::strsignal(signal));
        StartASave();
        SendAndWait(signal);
        EXPECT_EQ(program_.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program_.exitCode(), 0);
        EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{});
        // Written at the end: the link rewrite keys the file did not have.
        SimpleIniFile ini;
        ini.Open(Ini());
        EXPECT_EQ(ini.ReadString("URL", "Find", "(missing)"), "");
        EXPECT_EQ(ini.ReadString("TOV", "RSS", ""), server_.Url("/rss"));
    }
}

// A save killed outright leaves its temporary file; saving the same episode
// again removes it, while the new transfer's own file stays until it ends.
TEST_F(ShippedProgram, AKilledSavesLeftoverGoesWhenTheSameFileIsSavedAgain) {
    StartASave();
    const std::vector<std::string> leftover = PartFilesIn(Saved());
    SendAndWait(SIGKILL);
    EXPECT_EQ(program_.exitStatus(), QProcess::CrashExit);
    ASSERT_EQ(PartFilesIn(Saved()), leftover);

    StartASave();
    const std::vector<std::string> now = PartFilesIn(Saved());
    ASSERT_EQ(now.size(), 1u);
    EXPECT_NE(now, leftover);
    SendAndWait(SIGTERM);
    EXPECT_EQ(program_.exitCode(), 0);
    EXPECT_EQ(FolderEntries(Saved()), std::vector<std::string>{});
}
