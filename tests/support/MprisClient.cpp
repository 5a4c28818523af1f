#include "MprisClient.h"

#include <QDBusArgument>
#include <QDBusVariant>

namespace {

const QString kConnectionName = QStringLiteral("mpris-test-client");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

}  // namespace

MprisClient::MprisClient(const QString& busAddress, const QString& serviceName)
    : serviceName_(serviceName),
      connection_(QDBusConnection::connectToBus(busAddress, kConnectionName)) {}

MprisClient::~MprisClient() {
    QDBusConnection::disconnectFromBus(kConnectionName);
}

QDBusMessage MprisClient::Call(const QString& interface, const QString& method,
                               const QVariantList& args) {
    QDBusMessage call = QDBusMessage::createMethodCall(serviceName_, kPath, interface, method);
    call.setArguments(args);
    return connection_.call(call, QDBus::BlockWithGui);
}

QVariant MprisClient::Property(const QString& interface, const QString& name) {
    const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return {};
    }
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

QDBusMessage MprisClient::CallPlayer(const char* method, const QVariantList& args) {
    return Call(kPlayer, QString::fromLatin1(method), args);
}

QVariant MprisClient::PlayerProperty(const char* name) {
    return Property(kPlayer, QString::fromLatin1(name));
}

QVariantMap MprisClient::Metadata() {
    QVariantMap map;
    PlayerProperty("Metadata").value<QDBusArgument>() >> map;
    return map;
}
