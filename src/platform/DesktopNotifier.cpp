#include "DesktopNotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QObject>
#include <QVariantMap>

#include "AppInfo.h"
#include "OutsideText.h"

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// What a notification can show, and far less than a bus message may hold: a
// huge title must not make a message the bus refuses, which would end the
// program's connection (and its media controls with it).
constexpr int kMaxLine = 150;
constexpr int kMaxBody = 500;

}  // namespace

DBusDesktopNotifier::DBusDesktopNotifier(QDBusConnection connection)
    : connection_(std::move(connection)), calls_(std::make_unique<QObject>()) {}

DBusDesktopNotifier::~DBusDesktopNotifier() = default;

void DBusDesktopNotifier::Notify(const QString& fullSummary, const QString& fullBody) {
    if (!connection_.isConnected()) {
        return;
    }
    const QString summary = CappedText(fullSummary, kMaxLine);
    const QString body = CappedLines(fullBody, kMaxLine, kMaxBody);
    const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                            QStringLiteral("GetCapabilities"));
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(ask), calls_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, calls_.get(),
                     [this, summary, body](QDBusPendingCallWatcher* call) {
                         call->deleteLater();
                         const QDBusPendingReply<QStringList> reply = *call;
                         // No server: nothing to show and nothing to say.
                         if (reply.isError()) {
                             return;
                         }
                         const bool markup = reply.value().contains(QStringLiteral("body-markup"));
                         Send(summary, markup ? body.toHtmlEscaped() : body);
                     });
}

void DBusDesktopNotifier::Send(const QString& summary, const QString& body) {
    QDBusMessage notify =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QString::fromStdString(DesktopEntryId()));
    notify << QStringLiteral("ZURav3") << 0u << QStringLiteral("zurav3") << summary << body
           << QStringList() << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(connection_.asyncCall(notify), calls_.get());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, &QObject::deleteLater);
}
