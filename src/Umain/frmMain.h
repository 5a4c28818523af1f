#pragma once

#include <functional>
#include <memory>
#include <optional>
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
class HttpRequest;
class IHttpClient;
class TLinkCheck;
struct HttpResult;
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
//
// No handler waits for the network or the device: a feed load, a link check,
// opening a medium and the second before it plays are pending steps that end
// from the event loop. A new play replaces a pending one, 정지 and closing
// the window cancel it, and a result that arrives after that is dropped.
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
    // Starts loading the feed into the episode drop-down, unless a load is on
    // its way already; the first episode is selected when it ends.
    void LoadFeedDocument();
    void btnReloadClick() override;

    // MainFeedText.cpp
    // Keeps `url` and starts loading the feed from it into the date list,
    // replacing a load on its way. `ended` hears whether the load succeeded;
    // a failure has been shown by then.
    void ChangeRssURL(const std::string& url, std::function<void(bool loaded)> ended = {});
    // Abandons a load that ChangeRssURL started and that has not ended: the
    // feed URL goes back to what it was, the catalogue stays.
    void AbandonRssChange();
    // The feed text that the last text scan put into Memo1.
    QString Memo1Text() const;

    // True while a step is pending: a feed load, a link check, an open or the
    // second before playing.
    bool Pending() const;
    bool FeedLoading() const { return feedLoad_ != nullptr; }

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
    // What a play opens and shows once its medium is open.
    struct PlayRequest {
        std::string element;
        std::string name;
        std::string hint;
        std::string episodeLink;
        std::string album;
        int startMs = 0;
    };
    void OpenAndPlay(const PlayRequest& play);
    // Forgets what played and starts opening `element`; `opened` runs once it
    // is open. A failure, at once or when the device reports it, is shown as
    // the play's error.
    void StartOpen(const std::string& element, bool notify, std::function<void()> opened);
    void PlayOpened(const PlayRequest& play);
    void PlayAfterTheWait();
    // The transport as the device's mode asks for.
    void ShowModeTransport();
    void DateOpened(const std::string& url, const std::string& episodeLink);
    // Shows what a failed open means for the transport and throws its error.
    [[noreturn]] void ThrowOpenFailure(const MediaOpenFailure& failure, const std::string& element);
    // Drops a pending play: its link check, its open and its wait before playing.
    void CancelPendingPlay();
    void UpdateBusyCursor();
    void FeedDocumentFetched(HttpResult& fetched);
    void ReadFeedDocument(HttpResult& fetched);
    void ScanFeedText(HttpResult& fetched);
    void SaveLinkAnswered(const std::string& link);
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

    // The pending steps; each ends or is dropped on its own.
    std::unique_ptr<HttpRequest> feedLoad_;
    // The feed URL before the ChangeRssURL whose load is pending.
    std::optional<std::string> urlBeforeChange_;
    std::unique_ptr<TLinkCheck> playCheck_;
    std::unique_ptr<TLinkCheck> saveCheck_;
    // The second between opening a medium and playing it.
    QTimer playDelay_;
    // Made after the controls and gone before them.
    std::unique_ptr<TPlayerExtras> extras_;
};

// The main window of the running program, or null before it is built.
extern TfrmMain* frmMain;
