#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <QTimer>
#include <QWidget>

#include "feed/Episode.h"
#include "listening/NewEpisodes.h"
#include "listening/ResumePositions.h"
#include "listening/SleepTimer.h"
#include "platform/Dialogs.h"
#include "platform/MediaDevice.h"
#include "platform/StateFile.h"

class QAbstractButton;
class QAction;
class QMenu;
class TDeferredPlainText;
class QLabel;
class IHttpClient;
struct Services;

namespace Ui {
class TfrmMain;
}

// The main window: the episode drop-down and its commands, the player, and the
// hidden region below the visible strip. Its handlers are public so that tests
// can drive them as the controls do; each control event runs its handler under
// the handler guard.
class TfrmMain final : public QWidget {
    Q_OBJECT
public:
    explicit TfrmMain(Services& services, QWidget* parent = nullptr);
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    // Settings; RssURL, FindText, ReplaceText and LastDown persist between runs.
    std::string RssURL;
    std::string VersionText;
    std::string FindText;
    std::string ReplaceText;
    std::string LastDown;

    // The catalogue; record i belongs to line i of cmbItem (document reader) or
    // of cmbDate (text scan).
    TEpisodeList Episodes;
    // The show's name as the last loaded feed gives it; empty when it gives none.
    std::string ShowTitle;

    // MainCatalogue.cpp
    void RewriteLink(std::string& link) const;
    void SelectFirstEpisode();
    void UpdateEpisodeHints(int index);

    // MainFeedDocument.cpp
    void LoadFeedDocument();
    void btnReloadClick();

    // MainFeedText.cpp
    void ChangeRssURL(const std::string& url);
    void ScanFeedText();
    // The feed text that the last text scan put into Memo1.
    QString Memo1Text() const;

    // MainPlayer.cpp
    void PlayFile(const std::string& path);
    void btnPlayClick();
    void sbtnOpenClick();
    void sbtnPlayClick();
    void sbtnStopClick();
    void MediaPlayerNotify(NotifyResult result);
    void TimerTimer();

    // MainSeekBar.cpp
    void prgPlayMouseDown(int x);
    void prgPlayMouseMove(int x);
    void prgPlayMouseLeave();

    // MainSaveCommands.cpp
    void btnDownClick();
    void btnDownloadClick();
    void btnURLClick();

    // MainSettingsAndWebPage.cpp
    void btnSettingClick();
    void sbtnTOVClick();

    // MainPlayMenu.cpp: the play menu, opened by a right click on btnPlay or
    // by the menu key, with resume, the playback speed and the sleep timer; [
    // and ] step the speed.
    void btnPlayContextMenu(const QPoint& at);
    void ResumeClick();
    void SetPlaybackSpeed(double speed);
    double PlaybackSpeed() const { return speed_; }
    void SetSleepTimer(SleepChoice choice);
    SleepChoice SleepTimerChoice() const { return sleep_.Choice(); }
    // The time until the sleep timer pauses the player, when it is known.
    std::optional<std::int64_t> SleepRemaining();
    void SleepTimerTick();
    QMenu* PlayMenu() const { return playMenu_; }
    // Where each episode was stopped, by its feed link.
    const TResumePositions& ResumePositions() const { return positions_; }

    // MainNewEpisodes.cpp: a desktop notification of the episodes that a load
    // brought for the first time.
    void NoticeNewEpisodes();

    // frmMain.cpp: the window's own handlers
    void cmbItemChange();
    void cmbDateChange();
    void btnListClick();
    void FormClose();

    // What the player last opened: the name the caption shows, the link or
    // path it came from, and for an episode of the feed the show's name. Empty
    // until something has been opened.
    struct TNowPlaying {
        std::string title;
        std::string location;
        std::string album;
    };
    const TNowPlaying& NowPlaying() const { return nowPlaying_; }

    // The periodic display update, every 1000 ms from creation until close.
    QTimer Timer;
    // The file dialog shared by open and save; it keeps its last state.
    FileDialogState dlgOpen{QStringLiteral("MP3 Files (*.mp3)|*.mp3|All Files (*.*)|*.*"), {}, {}};

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormDestroy();
    void BindHandlers();
    void Bind(QAbstractButton* button, void (TfrmMain::*handler)());
    void SetGlyph(QAbstractButton* button, const QLabel* image);
    void ShowTransport(const QLabel* glyph, bool enabled);
    // The transport with nothing open: the play glyph, both buttons disabled.
    void ShowNothingOpen();
    void OpenAndPlay(const std::string& element, const std::string& name, const std::string& hint,
                     const std::string& episodeLink = {}, int startMs = 0);
    void PlaySelectedEpisode(int startMs);
    bool SeekBarLength(int& length, bool quietWithoutMedium);

    // MainPlayMenu.cpp
    void BindPlayMenu();
    void UpdatePlayMenu();
    void ReadPlayerMemory();
    void RememberPosition();
    void SaveStateSoon();
    void SaveState();
    TSleepMedium SleepMedium();
    void EndSleepFade();
    void ShowSleepRemaining();

    Services& services_;
    IDialogs& dialogs_;
    IHttpClient& IdHTTP;
    IMediaDevice& MediaPlayer;
    std::unique_ptr<Ui::TfrmMain> ui;
    TDeferredPlainText* memoText_ = nullptr;
    TNowPlaying nowPlaying_;

    // The feed link of the episode open; empty for a local file.
    std::string playingLink_;
    TResumePositions positions_;
    StateFile positionsFile_{{}};
    bool positionsChanged_ = false;
    TSeenEpisodes seen_;
    StateFile seenFile_{{}};
    bool seenChanged_ = false;
    // Writes what changed once the handler that changed it has returned.
    QTimer saveTimer_;

    double speed_ = 1.0;
    // The speed as the settings file holds it; see TSettings::Speed.
    std::string speedSetting_;

    TSleepTimer sleep_;
    QTimer sleepTicker_;
    // The volume before the sleep timer's fade began, while it fades.
    std::optional<int> fadeFromVolume_;
    // What the caption carries at its end for the sleep timer.
    QString sleepTail_;

    QMenu* playMenu_ = nullptr;
    QAction* actResume_ = nullptr;
};

// The main window of the running program, or null before it is built.
extern TfrmMain* frmMain;
