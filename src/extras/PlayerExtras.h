#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QObject>
#include <QTimer>

#include "extras/LoudnessLeveller.h"
#include "extras/SilenceSkipper.h"
#include "extras/SpeedAndSleepTimer.h"
#include "feed/Episode.h"
#include "listening/NewEpisodes.h"
#include "listening/ResumePositions.h"
#include "platform/SharedStateFile.h"
#include "platform/StateFile.h"

class IPlayerPort;
class QAction;
class QMenu;
class QPoint;
class TChapters;
struct Services;

// What the main window offers beyond its own controls, each off until the
// user asks for it: the play menu (a right click on the play button, the menu
// key or Shift+F10) with resume, the playback speed, the sleep timer and the
// new-episode notices; Ctrl+[ and Ctrl+] to step the speed; the keyboard's
// media keys and shortcuts; the places where episodes were stopped and the
// episodes seen, kept in files beside the settings; once turned on, a desktop
// notice of new episodes after each load. The window owns
// it and calls it when a medium is about to go, when a load has finished and
// when it closes; it reaches the window through IPlayerPort.
class TPlayerExtras final : public QObject {
public:
    TPlayerExtras(IPlayerPort& window, Services& services);
    ~TPlayerExtras() override;

    // Reads the places and the episodes seen from their files, and the speed
    // and the notice choice as the settings file holds them.
    void ReadPlayerMemory(const std::string& speedSetting, std::optional<bool> noticeSetting);
    // The speed and the notice choice for the settings file.
    const std::string& SpeedSetting() const { return pace_.SpeedSetting(); }
    std::optional<bool> NoticeSetting() const { return noticeSetting_; }

    // Keeps the place of the episode open, unless it is a local file: before
    // the window stops, pauses or closes what plays.
    void RememberPosition();
    // Skip silence and even loudness as the settings file holds them, and
    // as it is to hold them (empty until chosen).
    void ReadListeningOptions(const std::string& skipSilence, const std::string& evenLoudness);
    const std::string& SkipSilenceSetting() const { return skipper_.Setting(); }
    const std::string& EvenLoudnessSetting() const { return leveller_.Setting(); }

    // Before the window opens a new medium: a fading sleep timer ends, and the
    // place of what played is kept.
    void PlayStarting();
    // Before the window plays on what is open (the play/pause button, a press
    // on the bar).
    void PlayResuming() { pace_.PlayResuming(); }
    // The window has opened a medium (before it plays).
    void MediumOpened();
    // After a load of the feed: each episode's chapters file, empty for none.
    void KnowChapterLinks(const TEpisodeList& episodes, const std::vector<std::string>& links);
    // After each load that replaced the catalogue.
    void NoticeNewEpisodes(const std::string& feedUrl, const TEpisodeList& episodes);
    // The window closes (`Closing`), or goes without being closed first
    // (`Finish`): the place is kept and the files are written.
    void Closing();
    void Finish();

    // The play menu's handlers.
    void btnPlayContextMenu(const QPoint& at);
    void ResumeClick();
    // Turning the notices on takes the episodes shown now as those seen.
    void SetNewEpisodeNotices(bool on);

    QMenu* PlayMenu() const { return playMenu_; }
    TSpeedAndSleepTimer& SpeedAndSleep() { return pace_; }
    TSilenceSkipper& SilenceSkipper() { return skipper_; }
    TLoudnessLeveller& LoudnessLeveller() { return leveller_; }
    TChapters& Chapters() { return *chapters_; }
    // Where each episode was stopped, by its feed link.
    const TResumePositions& ResumePositions() const { return positions_; }

private:
    void BindPlayMenu();
    void UpdatePlayMenu();
    void SaveStateSoon();
    // At the program's end the places are written before it goes, with or
    // without the other copies' lock.
    void SaveState(bool ending);

    IPlayerPort& window_;
    Services& services_;
    TSpeedAndSleepTimer pace_;
    TSilenceSkipper skipper_;
    TLoudnessLeveller leveller_;
    std::unique_ptr<TChapters> chapters_;

    TResumePositions positions_;
    // Shared with other copies of the program, each keeping its own places.
    SharedStateFile positionsFile_;
    TSeenEpisodes seen_;
    StateFile seenFile_{{}};
    bool seenChanged_ = false;
    // Writes what changed once the handler that changed it has returned.
    QTimer saveTimer_;

    // Off until the user turns them on; unset until the user chooses.
    std::optional<bool> noticeSetting_;

    QMenu* playMenu_ = nullptr;
    QAction* actResume_ = nullptr;
    QAction* actNotice_ = nullptr;
    QAction* actSkipSilence_ = nullptr;
    QAction* actEvenLoudness_ = nullptr;
};
