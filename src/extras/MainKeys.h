#pragma once

#include <functional>

#include <QObject>

#include "extras/MainMpris.h"

class IPlayerPort;
class QKeySequence;
class TSpeedAndSleepTimer;
struct Services;

// The main window's keys, active while it is the active window: the
// keyboard's media keys do what the desktop's media controls do, and
// shortcuts that no control of the window uses for itself reach the player
// from whichever control has the focus.
//
//   Play key (XF86AudioPlay), Play/Pause key, Ctrl+Space   play or pause
//   Pause key                                               pause
//   Stop key, Ctrl+.                                        stop
//   Ctrl+Left, Ctrl+Right                                   10 seconds back, forward
//   F5                                                      reload the feed
class TMainWindowKeys final : public QObject {
    Q_OBJECT
public:
    // How far Ctrl+Left and Ctrl+Right move.
    static constexpr int kSkipMs = 10000;

    TMainWindowKeys(IPlayerPort& window, TSpeedAndSleepTimer& pace, Services& services,
                    QObject* parent);

private:
    void Bind(const QKeySequence& keys, std::function<void()> action);
    void SkipBy(int offsetMs);

    IPlayerPort& window_;
    Services& services_;
    TMainWindowMpris player_;
};
