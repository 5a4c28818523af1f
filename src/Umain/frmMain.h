#pragma once

#include <memory>
#include <string>

#include <QTimer>
#include <QWidget>

#include "extras/PlayerPort.h"
#include "feed/Episode.h"
#include "platform/Dialogs.h"
#include "platform/MediaDevice.h"

class QAbstractButton;
class TDeferredPlainText;
class QLabel;
class IHttpClient;
class TPlayerExtras;
struct Services;

namespace Ui {
class TfrmMain;
}

// The main window: the episode drop-down and its commands, the player, and the
// hidden region below the visible strip. Its handlers are public so that tests
// can drive them as the controls do; each control event runs its handler under
// the handler guard. What it offers beyond its own controls (the play menu,
// speed, sleep timer, keys, resume places, new-episode notices) lives in
// TPlayerExtras, which it owns and which sees it as an IPlayerPort.
class TfrmMain final : public QWidget, public IPlayerPort {
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
    void btnReloadClick() override;

    // MainFeedText.cpp
    void ChangeRssURL(const std::string& url);
    void ScanFeedText();
    // The feed text that the last text scan put into Memo1.
    QString Memo1Text() const;

    // MainPlayer.cpp
    void PlayFile(const std::string& path);
    void btnPlayClick() override;
    void sbtnOpenClick();
    void sbtnPlayClick() override;
    void sbtnStopClick() override;
    void MediaPlayerNotify(NotifyResult result);
    void TimerTimer() override;

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

    // frmMain.cpp: the window's own handlers
    void cmbItemChange();
    void cmbDateChange();
    void btnListClick();
    void FormClose();

    // What the player last opened.
    const TNowPlaying& NowPlaying() const override { return nowPlaying_; }

    // The play menu, speed, sleep timer, keys, resume places and notices.
    TPlayerExtras& Extras() { return *extras_; }

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
    void PlaySelectedEpisode(int startMs) override;
    bool SeekBarLength(int& length, bool quietWithoutMedium);

    // The rest of the window as its extras see it.
    const std::string& PlayingEpisodeLink() const override { return playingLink_; }
    const std::string& FeedUrl() const override { return RssURL; }
    const TEpisodeList& Catalogue() const override { return Episodes; }
    const TEpisode* SelectedEpisode() const override;
    void ShowPlayGlyph() override;
    QWidget& Window() override { return *this; }
    QAbstractButton& PlayButton() override;

    Services& services_;
    IDialogs& dialogs_;
    IHttpClient& IdHTTP;
    IMediaDevice& MediaPlayer;
    std::unique_ptr<Ui::TfrmMain> ui;
    TDeferredPlainText* memoText_ = nullptr;
    TNowPlaying nowPlaying_;

    // The feed link of the episode open; empty for a local file.
    std::string playingLink_;
    // Made after the controls and gone before them.
    std::unique_ptr<TPlayerExtras> extras_;
};

// The main window of the running program, or null before it is built.
extern TfrmMain* frmMain;
