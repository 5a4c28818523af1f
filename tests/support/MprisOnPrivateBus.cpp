#include "MprisOnPrivateBus.h"

namespace {

const QString kServiceConnection = QStringLiteral("mpris-test-service");

}  // namespace

MprisOnPrivateBus::MprisOnPrivateBus(IMprisPlayer& player) {
    if (!bus_.Running()) {
        return;
    }
    service_ = std::make_unique<MprisService>(
        player, QDBusConnection::connectToBus(bus_.Address(), kServiceConnection));
    client_.emplace(bus_.Address(), service_->ServiceName());
}

MprisOnPrivateBus::~MprisOnPrivateBus() {
    client_.reset();
    service_.reset();
    QDBusConnection::disconnectFromBus(kServiceConnection);
}
