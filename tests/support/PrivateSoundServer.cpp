#include "PrivateSoundServer.h"

#include <QDir>
#include <QProcessEnvironment>

#include "WaitUntil.h"

namespace {

QString Path(const QTemporaryDir& dir, const char* name) {
    return dir.path() + QLatin1Char('/') + QLatin1String(name);
}

// pactl against `address`: its output, or an empty text when it failed.
QString Pactl(const QString& address, const QStringList& arguments) {
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"),
                QStringList{QStringLiteral("--server=") + address} + arguments);
    if (!pactl.waitForFinished(20000) || pactl.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(pactl.readAllStandardOutput());
}

}  // namespace

PrivateSoundServer::PrivateSoundServer() {
    if (!dir_.isValid()) {
        return;
    }
    const QString runtime = Path(dir_, "runtime");
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString socket = Path(dir_, "native");
    // The server keeps its cookie, state and runtime files in the private
    // folder; it warns when run as root but works.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("PULSE_RUNTIME_PATH"), runtime + QStringLiteral("/pulse"));
    env.insert(QStringLiteral("PULSE_STATE_PATH"), Path(dir_, "state"));
    env.remove(QStringLiteral("PULSE_SERVER"));
    daemon_.setProcessEnvironment(env);
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon_.start(
        QStringLiteral("pulseaudio"),
        {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
         QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--use-pid-file=no"),
         QStringLiteral("--log-level=error"), QStringLiteral("-L"),
         QStringLiteral("module-null-sink"), QStringLiteral("-L"),
         QStringLiteral("module-native-protocol-unix auth-anonymous=1 socket=") + socket});
    if (!daemon_.waitForStarted(10000)) {
        return;
    }
    const QString address = QStringLiteral("unix:") + socket;
    if (WaitUntil([&] {
            return daemon_.state() != QProcess::Running ||
                   !Pactl(address, {QStringLiteral("info")}).isEmpty();
        }) &&
        daemon_.state() == QProcess::Running) {
        address_ = address;
    }
}

PrivateSoundServer::~PrivateSoundServer() {
    Stop();
}

void PrivateSoundServer::Use() const {
    qputenv("PULSE_SERVER", address_.toUtf8());
    qputenv("XDG_RUNTIME_DIR", Path(dir_, "runtime").toUtf8());
}

void PrivateSoundServer::UseNoServer(const QTemporaryDir& folder) {
    qputenv("PULSE_SERVER", (QStringLiteral("unix:") + Path(folder, "no-server")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", folder.path().toUtf8());
}

QString PrivateSoundServer::PlayingClients() const {
    QString names;
    const QString listing =
        Pactl(address_, {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    for (const QString& line : listing.split(QLatin1Char('\n'))) {
        const QString text = line.trimmed();
        if (text.startsWith(QStringLiteral("application.name = "))) {
            names += text.mid(19) + QLatin1Char('\n');
        }
    }
    return names;
}

void PrivateSoundServer::Stop() {
    if (daemon_.state() == QProcess::NotRunning) {
        return;
    }
    daemon_.terminate();
    if (!daemon_.waitForFinished(10000)) {
        daemon_.kill();
        daemon_.waitForFinished(10000);
    }
}
