#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QString>
#include <QVariant>

// The desktop's side of the media controls: a connection of its own to a
// (private) bus that calls the player's methods and reads its properties.
// Calls wait with the event loop running, since the service answers from it.
class MprisClient {
public:
    MprisClient(const QString& busAddress, const QString& serviceName);
    ~MprisClient();
    MprisClient(const MprisClient&) = delete;
    MprisClient& operator=(const MprisClient&) = delete;

    QDBusConnection& Connection() { return connection_; }

    QDBusMessage Call(const QString& interface, const QString& method,
                      const QVariantList& args = {});
    // A property's value; invalid when the call failed.
    QVariant Property(const QString& interface, const QString& name);

    // The same on org.mpris.MediaPlayer2.Player.
    QDBusMessage CallPlayer(const char* method, const QVariantList& args = {});
    QVariant PlayerProperty(const char* name);
    QVariantMap Metadata();

private:
    QString serviceName_;
    QDBusConnection connection_;
};
