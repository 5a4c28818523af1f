#pragma once

#include <memory>
#include <string>

#include <QTimer>
#include <QWidget>

#include "Umain/Episode.h"
#include "platform/Dialogs.h"
#include "platform/MediaDevice.h"

class QAbstractButton;
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

    // Catalogue
    void RewriteLink(std::string& link) const;
    void SelectFirstEpisode();
    void UpdateEpisodeHints(int index);

    // Feed readers
    void LoadFeedDocument();
    void ChangeRssURL(const std::string& url);
    void ScanFeedText();

    // Player
    void PlayFile(const std::string& path);

    // The feed text that the last text scan put into Memo1.
    QString Memo1Text() const;

    // Handlers
    void btnSettingClick();
    void btnReloadClick();
    void cmbItemChange();
    void cmbDateChange();
    void btnListClick();
    void btnPlayClick();
    void sbtnOpenClick();
    void sbtnPlayClick();
    void sbtnStopClick();
    void MediaPlayerNotify(NotifyResult result);
    void TimerTimer();
    void prgPlayMouseDown(int x);
    void prgPlayMouseMove(int x);
    void prgPlayMouseLeave();
    void btnDownClick();
    void btnDownloadClick();
    void btnURLClick();
    void sbtnTOVClick();
    void FormClose();

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
    void OpenAndPlay(const std::string& element, const std::string& name, const std::string& hint);
    bool SeekBarLength(int& length, bool quietWithoutMedium);

    Services& services_;
    IDialogs& dialogs_;
    IHttpClient& IdHTTP;
    IMediaDevice& MediaPlayer;
    std::unique_ptr<Ui::TfrmMain> ui;
    TDeferredPlainText* memoText_ = nullptr;
};

// The main window of the running program, or null before it is built.
extern TfrmMain* frmMain;
