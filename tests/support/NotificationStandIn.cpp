#include "NotificationStandIn.h"

namespace {

const QString kConnection = QStringLiteral("notification-stand-in");

}  // namespace

NotificationStandIn::NotificationStandIn(const QString& busAddress, QStringList capabilities)
    : connection_(QDBusConnection::connectToBus(busAddress, kConnection)),
      capabilities_(std::move(capabilities)) {
    ready_ = connection_.isConnected() &&
             connection_.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                        QDBusConnection::ExportAllSlots) &&
             connection_.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

NotificationStandIn::~NotificationStandIn() {
    connection_.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    QDBusConnection::disconnectFromBus(kConnection);
}

QStringList NotificationStandIn::GetCapabilities() {
    return capabilities_;
}

uint NotificationStandIn::Notify(const QString& app, uint, const QString& icon,
                                 const QString& summary, const QString& body, const QStringList&,
                                 const QVariantMap& hints, int) {
    shown_.push_back({app, icon, summary, body, hints});
    return static_cast<uint>(shown_.size());
}
