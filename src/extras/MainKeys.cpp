#include "MainKeys.h"

#include <QKeySequence>
#include <QShortcut>
#include <QWidget>

#include "extras/PlayerPort.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "texts/PlayTime.h"

TMainWindowKeys::TMainWindowKeys(IPlayerPort& window, TSpeedAndSleepTimer& pace, Services& services,
                                 QObject* parent)
    : QObject(parent), window_(window), services_(services), player_(window, pace, services) {
    // Most keyboards send the play key for their one play/pause key.
    Bind(QKeySequence(Qt::Key_MediaPlay), [this] { player_.PlayPause(); });
    Bind(QKeySequence(Qt::Key_MediaTogglePlayPause), [this] { player_.PlayPause(); });
    Bind(QKeySequence(Qt::Key_MediaPause), [this] { player_.Pause(); });
    Bind(QKeySequence(Qt::Key_MediaStop), [this] { player_.Stop(); });
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Space), [this] { player_.PlayPause(); });
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Period), [this] { player_.Stop(); });
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Left), [this] { SkipBy(-kSkipMs); });
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Right), [this] { SkipBy(kSkipMs); });
    Bind(QKeySequence(Qt::Key_F5),
         [this] { RunGuarded(*services_.dialogs, [this] { window_.btnReloadClick(); }); });
}

void TMainWindowKeys::Bind(const QKeySequence& keys, std::function<void()> action) {
    // A control that uses the keys itself (a text box moving by words on
    // Ctrl+Left, say) keeps them: Qt asks it first.
    auto* shortcut = new QShortcut(keys, &window_.Window());
    connect(shortcut, &QShortcut::activated, this, std::move(action));
}

void TMainWindowKeys::SkipBy(int offsetMs) {
    const MprisState state = player_.State();
    if (state.lengthMs <= 0) {
        return;
    }
    player_.SetPosition(
        SkipTarget(static_cast<int>(state.positionMs), static_cast<int>(state.lengthMs), offsetMs));
    // The bar and the time show the new place at once, not at the next tick.
    RunGuarded(*services_.dialogs, [this] { window_.TimerTimer(); });
}
