#pragma once

#include <memory>
#include <optional>

#include "MprisClient.h"
#include "PrivateSessionBus.h"
#include "platform/MprisService.h"

// The media controls of `player` on a bus of the test's own: the service on
// one connection, the desktop's client on another.
class MprisOnPrivateBus {
public:
    explicit MprisOnPrivateBus(IMprisPlayer& player);
    ~MprisOnPrivateBus();
    MprisOnPrivateBus(const MprisOnPrivateBus&) = delete;
    MprisOnPrivateBus& operator=(const MprisOnPrivateBus&) = delete;

    // The bus runs and the service took its name.
    bool Ready() const { return service_ && service_->IsRegistered(); }
    MprisService& Service() { return *service_; }
    MprisClient& Client() { return *client_; }

private:
    PrivateSessionBus bus_;
    std::unique_ptr<MprisService> service_;
    std::optional<MprisClient> client_;
};
