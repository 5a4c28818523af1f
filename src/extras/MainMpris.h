#pragma once

#include "platform/MprisService.h"

class TfrmMain;
struct Services;

// The main window's player as the desktop's media controls see it: the play
// state and position from the media device, the title from what the player
// last opened, the rate and the sleep timer from the window, and the transport
// and the rate through the window's own handlers, under the handler guard.
class TMainWindowMpris final : public IMprisPlayer {
public:
    TMainWindowMpris(TfrmMain& window, Services& services);

    MprisState State() override;
    void PlayPause() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void SetPosition(qint64 positionMs) override;
    void Raise() override;
    void SetRate(double rate) override;

private:
    void Guard(const std::function<void()>& action);

    TfrmMain& window_;
    Services& services_;
    QString artUrl_;
};
