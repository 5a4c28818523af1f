#include "PlayerExtras.h"

#include <cmath>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QShortcut>

#include "extras/MainKeys.h"
#include "extras/PlayerChapters.h"
#include "extras/PlayerPort.h"
#include "listening/PlaybackSpeed.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "settings/Settings.h"
#include "texts/PlayTime.h"

namespace {

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

const std::pair<SleepChoice, const char*> kSleepChoices[] = {
    {SleepChoice::Minutes15, "15분"}, {SleepChoice::Minutes30, "30분"},
    {SleepChoice::Minutes60, "60분"}, {SleepChoice::EndOfEpisode, "이 에피소드가 끝나면"},
    {SleepChoice::Off, "끄기"},
};

}  // namespace

TPlayerExtras::TPlayerExtras(IPlayerPort& window, Services& services)
    : window_(window),
      services_(services),
      pace_(window, services, [this] { RememberPosition(); }),
      skipper_(window, services, pace_),
      leveller_(services) {
    BindPlayMenu();
    // The keys go with the extras; their shortcuts sit on the window.
    new TMainWindowKeys(window_, pace_, services_, this);
    saveTimer_.setSingleShot(true);
    saveTimer_.setInterval(0);
    connect(&saveTimer_, &QTimer::timeout, this,
            Guarded(*services_.dialogs, [this] { SaveState(false); }));
}

TPlayerExtras::~TPlayerExtras() = default;

// --- the play menu ---

// The menu is made once; what it shows is brought up to date each time it
// opens.
void TPlayerExtras::BindPlayMenu() {
    IDialogs& dialogs = *services_.dialogs;
    QWidget& window = window_.Window();
    playMenu_ = new QMenu(&window);
    playMenu_->setObjectName(QStringLiteral("playMenu"));

    actResume_ = playMenu_->addAction(QString());
    actResume_->setObjectName(QStringLiteral("actResume"));
    connect(actResume_, &QAction::triggered, this, Guarded(dialogs, [this] { ResumeClick(); }));
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
                Guarded(dialogs, [this, speed] { pace_.SetPlaybackSpeed(speed); }));
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
                Guarded(dialogs, [this, c = choice] { pace_.SetSleepTimer(c); }));
    }

    playMenu_->addSeparator();
    actNotice_ = playMenu_->addAction(QStringLiteral("새 에피소드 알림"));
    actNotice_->setObjectName(QStringLiteral("actNewEpisodeNotice"));
    actNotice_->setCheckable(true);
    connect(actNotice_, &QAction::triggered, this,
            Guarded(dialogs, [this] { SetNewEpisodeNotices(actNotice_->isChecked()); }));
    const auto option = [this, &dialogs](const char* text, auto set) {
        QAction* action = playMenu_->addAction(QString::fromUtf8(text));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this,
                Guarded(dialogs, [set, action] { set(action->isChecked()); }));
        return action;
    };
    actSkipSilence_ = option("무음 건너뛰기", [this](bool on) { skipper_.SetOn(on); });
    actEvenLoudness_ = option("음량 고르게", [this](bool on) { leveller_.SetOn(on); });
    chapters_ = std::make_unique<TChapters>(window_, services_, *playMenu_);

    // The play button takes no focus; a right click, or the menu key from
    // anywhere in the window, opens the menu. The speed keys need Ctrl: [ and
    // ] alone are typed into the lists' type-ahead.
    QAbstractButton& button = window_.PlayButton();
    button.setContextMenuPolicy(Qt::CustomContextMenu);
    connect(&button, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        RunGuarded(*services_.dialogs, [this, at] { btnPlayContextMenu(at); });
    });
    const auto shortcut = [this, &window, &dialogs](const QKeySequence& keys, auto handler) {
        auto* key = new QShortcut(keys, &window);
        connect(key, &QShortcut::activated, this, Guarded(dialogs, handler));
    };
    const QPoint below(0, button.height());
    shortcut(QKeySequence(Qt::Key_Menu), [this, below] { btnPlayContextMenu(below); });
    shortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), [this, below] { btnPlayContextMenu(below); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketRight),
             [this] { pace_.SetPlaybackSpeed(StepSpeed(pace_.PlaybackSpeed(), +1)); });
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_BracketLeft),
             [this] { pace_.SetPlaybackSpeed(StepSpeed(pace_.PlaybackSpeed(), -1)); });
}

void TPlayerExtras::UpdatePlayMenu() {
    std::optional<int> resume;
    if (const TEpisode* episode = window_.SelectedEpisode()) {
        resume = positions_.Find(episode->url);
    }
    actResume_->setVisible(resume.has_value());
    if (resume) {
        actResume_->setText(QStringLiteral("이어서 재생 (%1)").arg(Text(FormatPlayTime(*resume))));
    }
    const double speed = pace_.PlaybackSpeed();
    for (QAction* action : playMenu_->findChild<QMenu*>(QStringLiteral("speedMenu"))->actions()) {
        action->setChecked(std::abs(action->data().toDouble() - speed) < 0.005);
    }
    const SleepChoice sleep = pace_.SleepTimerChoice();
    for (QAction* action : playMenu_->findChild<QMenu*>(QStringLiteral("sleepMenu"))->actions()) {
        if (action->isCheckable()) {
            action->setChecked(action->data().toInt() == static_cast<int>(sleep));
        }
    }
    actNotice_->setChecked(noticeSetting_.value_or(false));
    actSkipSilence_->setChecked(skipper_.On());
    actEvenLoudness_->setChecked(leveller_.On());
    chapters_->UpdateMenu();
}

void TPlayerExtras::btnPlayContextMenu(const QPoint& at) {
    UpdatePlayMenu();
    playMenu_->popup(window_.PlayButton().mapToGlobal(at));
}

// Plays the selected episode from where it was stopped, with the play button's
// link check and all.
void TPlayerExtras::ResumeClick() {
    const TEpisode* episode = window_.SelectedEpisode();
    if (episode == nullptr) {
        return;
    }
    const std::optional<int> from = positions_.Find(episode->url);
    if (from) {
        window_.PlaySelectedEpisode(*from);
    }
}

// --- the files beside the settings ---

void TPlayerExtras::ReadPlayerMemory(const std::string& speedSetting,
                                     std::optional<bool> noticeSetting) {
    noticeSetting_ = noticeSetting;
    positionsFile_.SetPath(StateFileBesideSettings(services_.app, ".positions"));
    positions_ = TResumePositions::Parse(positionsFile_.Read());
    seenFile_ = StateFile(StateFileBesideSettings(services_.app, ".seen"));
    seen_ = TSeenEpisodes::Parse(seenFile_.Read());
    pace_.ReadSpeedSetting(speedSetting);
}

void TPlayerExtras::RememberPosition() {
    IMediaDevice& media = *services_.media;
    const std::string& link = window_.PlayingEpisodeLink();
    if (link.empty() || !media.IsOpen()) {
        return;
    }
    positions_.Remember(link, media.Position(), media.Length());
    if (positions_.HasChanges()) {
        SaveStateSoon();
    }
}

void TPlayerExtras::ReadListeningOptions(const std::string& skipSilence,
                                         const std::string& evenLoudness) {
    skipper_.ReadSetting(skipSilence);
    leveller_.ReadSetting(evenLoudness);
}

void TPlayerExtras::PlayStarting() {
    pace_.WakeUp();
    RememberPosition();
    skipper_.PlayStarting();
    chapters_->PlayStarting();
}

void TPlayerExtras::MediumOpened() {
    chapters_->MediumOpened();
}

void TPlayerExtras::KnowChapterLinks(const TEpisodeList& episodes,
                                     const std::vector<std::string>& links) {
    chapters_->KnowChapterLinks(episodes, links);
}

void TPlayerExtras::Closing() {
    pace_.StopTicking();
    RememberPosition();
    SaveState(true);
}

void TPlayerExtras::Finish() {
    RememberPosition();
    SaveState(true);
}

void TPlayerExtras::SaveStateSoon() {
    // Not inside a play's handler: the file is written after it has returned.
    saveTimer_.start();
}

// A file that cannot be written is not reported, like the settings: the
// positions and links of the run are then simply not kept.
void TPlayerExtras::SaveState(bool ending) {
    saveTimer_.stop();
    if (positions_.HasChanges()) {
        // The file is read again just before it is replaced, under the lock.
        auto merge = [this](std::string_view onDisk) {
            positions_.MergeInto(onDisk);
            return positions_.Serialize();
        };
        if (ending) {
            positionsFile_.SaveAtExit(merge);
        } else {
            positionsFile_.Save(merge);
        }
    } else if (ending) {
        positionsFile_.SaveAtExit(nullptr);
    }
    if (seenChanged_) {
        seenChanged_ = false;
        seenFile_.Write(seen_.Serialize());
    }
}

// --- new episodes ---

void TPlayerExtras::SetNewEpisodeNotices(bool on) {
    noticeSetting_ = on;
    if (!on) {
        return;
    }
    // What is shown now is not news; an empty catalogue (no load yet) leaves
    // the next load to be the first.
    const TEpisodeList& shown = window_.Catalogue();
    seen_ = TSeenEpisodes();
    if (!shown.empty()) {
        seen_.Learn(window_.FeedUrl(), shown);
    }
    seenChanged_ = true;
    SaveStateSoon();
}

// With the notices on, the links are learnt whether or not a notification can
// be shown, so none is announced twice.
void TPlayerExtras::NoticeNewEpisodes(const std::string& feedUrl, const TEpisodeList& episodes) {
    if (!noticeSetting_.value_or(false)) {
        return;
    }
    const TSeenEpisodes::Learned learned = seen_.Learn(feedUrl, episodes);
    if (learned.changed) {
        seenChanged_ = true;
        SaveStateSoon();
    }
    if (learned.arrived.empty() || !services_.notifier) {
        return;
    }
    std::vector<std::string> names;
    names.reserve(learned.arrived.size());
    for (const std::size_t i : learned.arrived) {
        names.push_back(EpisodeName(episodes[i]));
    }
    const TNotice notice = NewEpisodesNotice(names);
    services_.notifier->Notify(QString::fromStdString(notice.summary),
                               QString::fromStdString(notice.body));
}
