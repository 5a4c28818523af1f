#pragma once

#include "platform/MprisService.h"

class IPlayerPort;
class TChapters;
class TSpeedAndSleepTimer;
struct Services;

// The main window's player as the desktop's media controls see it: the play
// state and position from the media device, the title from what the player
// last opened, the rate and the sleep timer from the extras, and the transport
// through the window's own handlers and the rate through the extras, under the
// handler guard.
class TMainWindowMpris final : public IMprisPlayer {
public:
    TMainWindowMpris(IPlayerPort& window, TSpeedAndSleepTimer& pace, Services& services);

    MprisState State() override;
    void PlayPause() override;
    void Play() override;
    void Pause() override;
    void Stop() override;
    void SetPosition(qint64 positionMs) override;
    void Raise() override;
    void SetRate(double rate) override;
    void Next() override;
    void Previous() override;
    // Where Next and Previous go; none until set.
    void SetChapters(TChapters* chapters) { chapters_ = chapters; }

private:
    void Guard(const std::function<void()>& action);

    IPlayerPort& window_;
    TSpeedAndSleepTimer& pace_;
    Services& services_;
    QString artUrl_;
    TChapters* chapters_ = nullptr;
};
