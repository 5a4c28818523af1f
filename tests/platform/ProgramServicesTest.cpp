// The folders of the services the program builds come from the user's
// environment, as an installed copy needs them.
#include <filesystem>

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "FaultyFileServer.h"
#include "TestFiles.h"
#include "TransferHelpers.h"
#include "WaitUntil.h"
#include "platform/DesktopNotifier.h"
#include "platform/ProgramIcon.h"
#include "platform/Services.h"

namespace {

std::filesystem::path Local(const QTemporaryDir& dir, const char* name = nullptr) {
    const std::filesystem::path path = dir.path().toStdString();
    return name != nullptr ? path / name : path;
}

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name)) {
        qputenv(name, value);
    }
    ~ScopedEnv() {
        if (had_) {
            qputenv(name_, old_);
        } else {
            qunsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

// Makes an (empty) icon file at `folder`/icons/hicolor/256x256/apps/zurav3.png.
QString PlaceIcon(const QString& folder) {
    const QString apps = folder + QStringLiteral("/icons/hicolor/256x256/apps");
    std::filesystem::create_directories(apps.toStdString());
    QFile icon(apps + QStringLiteral("/zurav3.png"));
    EXPECT_TRUE(icon.open(QIODevice::WriteOnly));
    return QUrl::fromLocalFile(icon.fileName()).toString(QUrl::FullyEncoded);
}

}  // namespace

// The settings of an installed copy go to $XDG_CONFIG_HOME/ZURav3 (never
// passed before, so an installed copy kept nothing), and saves start in the
// download folder, or the home folder when there is none.
TEST(ProgramServices, UserFoldersComeFromTheEnvironment) {
    QTemporaryDir home;
    ScopedEnv homeVar("HOME", home.path().toUtf8());
    ScopedEnv configVar("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/cfg")).toUtf8());
    const std::filesystem::path executable = QCoreApplication::applicationFilePath().toStdString();

    const AppInfo app = MakeProgramServices().app;
    EXPECT_EQ(app.ExecutablePath(), executable);
    EXPECT_EQ(app.UserConfigFolder(), Local(home, "cfg/ZURav3"));
    EXPECT_EQ(app.UserSaveFolder(), Local(home));

    std::filesystem::create_directory(Local(home, "Downloads"));
    EXPECT_EQ(AppInfo::Current().UserSaveFolder(), Local(home, "Downloads"));

    // Without XDG_CONFIG_HOME: ~/.config.
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(AppInfo::Current().UserConfigFolder(), Local(home, ".config/ZURav3"));
}

// The sleep timer counts with the steady clock, and new-episode notices go
// over the session bus.
TEST(ProgramServices, SleepTimerCountsWithTheSteadyClockAndNoticesGoOverDBus) {
    Services services = MakeProgramServices();
    ASSERT_NE(dynamic_cast<SteadyClock*>(services.clock.get()), nullptr);
    EXPECT_NE(dynamic_cast<DBusDesktopNotifier*>(services.notifier.get()), nullptr);
    const std::int64_t start = services.clock->NowMs();
    EXPECT_TRUE(WaitUntil([&] { return services.clock->NowMs() >= start + 20; }));
}

// The program's saves try again after a broken connection, with the waits it
// uses (here at once after the break, then two seconds after a 503), and end
// with the whole file.
TEST(ProgramServices, SavesResumeAfterABrokenConnection) {
    class Quiet final : public IDownloadProgress {
        bool OnProgress(std::uint64_t, std::uint64_t, unsigned, const std::string&) override {
            return true;
        }
    } progress;
    const std::string bytes = PatternBytes(1024 * 1024);
    FaultyFileServer server(
        {.bytes = bytes, .etag = "\"1\""},
        {{FaultyFileServer::Fault::ResetAt, 500000}, {FaultyFileServer::Fault::Status503}});
    QTemporaryDir dir;
    const DownloadResult r = MakeProgramServices().downloader->DownloadToFile(
        server.Url(), Local(dir, "a.mp3"), progress);
    ASSERT_EQ(r.outcome, DownloadOutcome::Ok) << r.error;
    EXPECT_TRUE(ReadFileBytes(Local(dir, "a.mp3")) == bytes);
    EXPECT_EQ(server.Header(2, "Range"), "bytes=500000-");
}

// The media controls show the icon installed with the program: the one of its
// own prefix before the desktop's data folders; none when it is not installed.
TEST(ProgramServices, TheInstalledIconIsThePrefixsOwnFirst) {
    QTemporaryDir prefix;
    QTemporaryDir data;
    ScopedEnv dataDirs("XDG_DATA_DIRS", data.path().toUtf8());
    ScopedEnv dataHome("XDG_DATA_HOME", (data.path() + QStringLiteral("/home")).toUtf8());
    const QString bin = prefix.path() + QStringLiteral("/bin");
    std::filesystem::create_directories(bin.toStdString());
    EXPECT_EQ(InstalledIconUrl(bin), QString());

    const QString shared = PlaceIcon(data.path());
    EXPECT_EQ(InstalledIconUrl(bin), shared);
    const QString own = PlaceIcon(prefix.path() + QStringLiteral("/share"));
    EXPECT_EQ(InstalledIconUrl(bin), own);
}
