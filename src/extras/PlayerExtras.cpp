#include <cmath>
#include <utility>

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>
#include <QToolButton>

#include "listening/PlaybackSpeed.h"
#include "texts/PlayTime.h"
#include "settings/Settings.h"
#include "Umain/frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "ui_frmMain.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

constexpr int kSleepTickMs = 200;

const std::pair<SleepChoice, const char*> kSleepChoices[] = {
    {SleepChoice::Minutes15, "15분"}, {SleepChoice::Minutes30, "30분"},
    {SleepChoice::Minutes60, "60분"}, {SleepChoice::EndOfEpisode, "이 에피소드가 끝나면"},
    {SleepChoice::Off, "끄기"},
};

}  // namespace

// The menu is made once; what it shows is brought up to date each time it
// opens.
void TfrmMain::BindPlayMenu() {
    playMenu_ = new QMenu(this);
    playMenu_->setObjectName(QStringLiteral("playMenu"));

    actResume_ = playMenu_->addAction(QString());
    actResume_->setObjectName(QStringLiteral("actResume"));
    connect(actResume_, &QAction::triggered, this, Guarded(dialogs_, [this] { ResumeClick(); }));
    playMenu_->addSeparator();

    QMenu* speeds = playMenu_->addMenu(QStringLiteral("재생 속도"));
    speeds->setObjectName(QStringLiteral("speedMenu"));
    auto* speedGroup = new QActionGroup(speeds);
    // A rate set through the media controls may match no item.
    speedGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const double speed : MenuSpeeds()) {
        QAction* action = speeds->addAction(Text(SpeedLabel(speed)));
        action->setCheckable(true);
        action->setData(speed);
        speedGroup->addAction(action);
        connect(action, &QAction::triggered, this,
                Guarded(dialogs_, [this, speed] { SetPlaybackSpeed(speed); }));
    }

    QMenu* sleep = playMenu_->addMenu(QStringLiteral("취침 예약"));
    sleep->setObjectName(QStringLiteral("sleepMenu"));
    auto* sleepGroup = new QActionGroup(sleep);
    for (const auto& [choice, label] : kSleepChoices) {
        if (choice == SleepChoice::Off) {
            sleep->addSeparator();
        }
        QAction* action = sleep->addAction(QString::fromUtf8(label));
        action->setCheckable(true);
        action->setData(static_cast<int>(choice));
        sleepGroup->addAction(action);
        connect(action, &QAction::triggered, this,
                Guarded(dialogs_, [this, c = choice] { SetSleepTimer(c); }));
    }

    // The play button takes no focus; a right click, or the menu key from
    // anywhere in the window, opens the menu.
    ui->btnPlay->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ui->btnPlay, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        RunGuarded(dialogs_, [this, at] { btnPlayContextMenu(at); });
    });
    const auto shortcut = [this](const QKeySequence& keys, auto handler) {
        auto* key = new QShortcut(keys, this);
        connect(key, &QShortcut::activated, this, Guarded(dialogs_, handler));
    };
    const QPoint below(0, ui->btnPlay->height());
    shortcut(QKeySequence(Qt::Key_Menu), [this, below] { btnPlayContextMenu(below); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), [this, below] { btnPlayContextMenu(below); });
    shortcut(QKeySequence(Qt::Key_BracketRight),
             [this] { SetPlaybackSpeed(StepSpeed(speed_, +1)); });
    shortcut(QKeySequence(Qt::Key_BracketLeft),
             [this] { SetPlaybackSpeed(StepSpeed(speed_, -1)); });

    sleepTicker_.setInterval(kSleepTickMs);
    connect(&sleepTicker_, &QTimer::timeout, this, Guarded(dialogs_, [this] { SleepTimerTick(); }));
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(0);
    connect(&saveTimer_, &QTimer::timeout, this, Guarded(dialogs_, [this] { SaveState(); }));
}

void TfrmMain::UpdatePlayMenu() {
    std::optional<int> resume;
    const int i = ui->cmbItem->currentIndex();
    if (ui->cmbItem->count() > 0 && IsEpisodeIndex(Episodes, i)) {
        resume = positions_.Find(Episodes[static_cast<std::size_t>(i)].url);
    }
    actResume_->setVisible(resume.has_value());
    if (resume) {
        actResume_->setText(QStringLiteral("이어서 재생 (%1)").arg(Text(FormatPlayTime(*resume))));
    }
    for (QAction* action : playMenu_->findChild<QMenu*>(QStringLiteral("speedMenu"))->actions()) {
        action->setChecked(std::abs(action->data().toDouble() - speed_) < 0.005);
    }
    for (QAction* action : playMenu_->findChild<QMenu*>(QStringLiteral("sleepMenu"))->actions()) {
        if (action->isCheckable()) {
            action->setChecked(action->data().toInt() == static_cast<int>(sleep_.Choice()));
        }
    }
}

void TfrmMain::btnPlayContextMenu(const QPoint& at) {
    UpdatePlayMenu();
    playMenu_->popup(ui->btnPlay->mapToGlobal(at));
}

// Plays the selected episode from where it was stopped, with the play button's
// link check and all.
void TfrmMain::ResumeClick() {
    const int i = ui->cmbItem->currentIndex();
    if (ui->cmbItem->count() == 0 || !IsEpisodeIndex(Episodes, i)) {
        return;
    }
    const std::optional<int> from = positions_.Find(Episodes[static_cast<std::size_t>(i)].url);
    if (from) {
        PlaySelectedEpisode(*from);
    }
}

// --- the files beside the settings, and the speed kept in the settings ---

void TfrmMain::ReadPlayerMemory() {
    positionsFile_ = StateFile(StateFileBesideSettings(services_.app, ".positions"));
    positions_ = TResumePositions::Parse(positionsFile_.Read());
    seenFile_ = StateFile(StateFileBesideSettings(services_.app, ".seen"));
    seen_ = TSeenEpisodes::Parse(seenFile_.Read());

    speed_ = ParseSpeed(speedSetting_).value_or(1.0);
    // The device starts at normal speed; nothing to tell it otherwise.
    if (speed_ != 1.0) {
        MediaPlayer.SetSpeed(speed_);
    }
}

// Keeps the place of the episode open, unless it is a local file.
void TfrmMain::RememberPosition() {
    if (playingLink_.empty() || !MediaPlayer.IsOpen()) {
        return;
    }
    if (positions_.Remember(playingLink_, MediaPlayer.Position(), MediaPlayer.Length())) {
        positionsChanged_ = true;
        SaveStateSoon();
    }
}

void TfrmMain::SaveStateSoon() {
    // Not inside a play's handler: the file is written after it has returned.
    saveTimer_.start();
}

// A file that cannot be written is not reported, like the settings: the
// positions and links of the run are then simply not kept.
void TfrmMain::SaveState() {
    saveTimer_.stop();
    if (positionsChanged_) {
        positionsChanged_ = false;
        positionsFile_.Write(positions_.Serialize());
    }
    if (seenChanged_) {
        seenChanged_ = false;
        seenFile_.Write(seen_.Serialize());
    }
}

void TfrmMain::SetPlaybackSpeed(double speed) {
    const std::optional<double> clamped = ClampSpeed(speed);
    if (!clamped) {
        return;
    }
    speed_ = *clamped;
    MediaPlayer.SetSpeed(speed_);
    // The settings file gains the key only once a speed other than normal is
    // chosen; from then on it follows.
    if (speed_ != 1.0 || !speedSetting_.empty()) {
        speedSetting_ = FormatSpeed(speed_);
    }
}

// --- the sleep timer ---

void TfrmMain::SetSleepTimer(SleepChoice choice) {
    EndSleepFade();
    sleep_.Choose(choice, services_.clock->NowMs());
    if (sleep_.Armed()) {
        sleepTicker_.start();
    } else {
        sleepTicker_.stop();
    }
    ShowSleepRemaining();
}

TSleepMedium TfrmMain::SleepMedium() {
    TSleepMedium medium;
    if (!MediaPlayer.IsOpen()) {
        return medium;
    }
    medium.open = true;
    medium.playing = MediaPlayer.Mode() == MediaMode::Playing;
    medium.positionMs = MediaPlayer.Position();
    medium.lengthMs = MediaPlayer.Length();
    medium.speed = speed_;
    return medium;
}

std::optional<std::int64_t> TfrmMain::SleepRemaining() {
    if (!sleep_.Armed()) {
        return std::nullopt;
    }
    return sleep_.Remaining(services_.clock->NowMs(), SleepMedium());
}

void TfrmMain::EndSleepFade() {
    if (fadeFromVolume_) {
        MediaPlayer.SetVolume(*fadeFromVolume_);
        fadeFromVolume_.reset();
    }
}

void TfrmMain::SleepTimerTick() {
    if (!sleep_.Armed()) {
        sleepTicker_.stop();
        ShowSleepRemaining();
        return;
    }
    const TSleepMedium medium = SleepMedium();
    const std::optional<std::int64_t> remaining =
        sleep_.Remaining(services_.clock->NowMs(), medium);
    if (remaining && *remaining <= TSleepTimer::kFadeMs) {
        if (!medium.playing) {
            // Paused, stopped or at its end already: nothing is left to do.
            SetSleepTimer(SleepChoice::Off);
            return;
        }
        if (!fadeFromVolume_) {
            fadeFromVolume_ = MediaPlayer.Volume();
        }
        if (*remaining > 0) {
            MediaPlayer.SetVolume(FadeVolume(*fadeFromVolume_, *remaining));
        } else {
            // Paused as by the button (also a medium of unknown length), with
            // the place kept; the next play is at full volume again.
            MediaPlayer.Pause(true);
            SetGlyph(ui->sbtnPlay, ui->imgBtnPlay);
            RememberPosition();
            SetSleepTimer(SleepChoice::Off);
            return;
        }
    } else if (fadeFromVolume_) {
        // Moved back from the end of the episode: full volume again.
        EndSleepFade();
    }
    ShowSleepRemaining();
}

// The time left goes at the end of the caption while the timer runs.
void TfrmMain::ShowSleepRemaining() {
    QString tail;
    if (sleep_.Armed()) {
        const std::optional<std::int64_t> remaining = SleepRemaining();
        if (remaining) {
            const auto seconds = static_cast<int>((*remaining + 999) / 1000);
            tail = QStringLiteral(" [취침 %1]").arg(Text(FormatPlayTime(seconds * 1000)));
        } else {
            tail = QStringLiteral(" [취침 이 에피소드가 끝나면]");
        }
    }
    QString title = windowTitle();
    if (!sleepTail_.isEmpty() && title.endsWith(sleepTail_)) {
        title.chop(sleepTail_.size());
    }
    sleepTail_ = tail;
    if (title + tail != windowTitle()) {
        setWindowTitle(title + tail);
    }
}
