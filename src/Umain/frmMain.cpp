#include "frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QToolButton>

#include "Udownload/frmDownload.h"
#include "Umain/DeferredPlainText.h"
#include "Umain/FeedMediaLink.h"
#include "Umain/Glyphs.h"
#include "extras/PlayerExtras.h"
#include "feed/LinkCheck.h"
#include "platform/HandlerGuard.h"
#include "platform/Services.h"
#include "platform/StartupTrace.h"
#include "settings/Settings.h"
#include "texts/FailureText.h"
#include "texts/FileNames.h"
#include "ui_frmMain.h"

TfrmMain* frmMain = nullptr;

// The glyphs are compiled into a static library, whose resources must be
// registered by hand (and outside any namespace).
static void RegisterGlyphResources() {
    Q_INIT_RESOURCE(glyphs);
}

namespace {
constexpr int kCollapsedOuterHeight = 105;
constexpr int kExpandedOuterHeight = 319;
}  // namespace

TfrmMain::TfrmMain(Services& services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      services_(services),
      dialogs_(*services.dialogs),
      IdHTTP(*services.http),
      MediaPlayer(*services.media),
      ui(std::make_unique<Ui::TfrmMain>()) {
    frmMain = this;
    RegisterGlyphResources();
    ui->setupUi(this);
    StartupMark("main-window-controls");
    setFixedSize(size());
    move(0, 0);
    for (QLabel* image : {ui->imgBtnPlay, ui->imgBtnPause, ui->imgBtnStop}) {
        image->hide();
    }
    // Drawn here rather than by the design, at the screen's scale.
    LoadGlyph(ui->imgBtnPlay, QStringLiteral(":/glyphs/play.svg"));
    LoadGlyph(ui->imgBtnPause, QStringLiteral(":/glyphs/pause.svg"));
    LoadGlyph(ui->imgBtnStop, QStringLiteral(":/glyphs/stop.svg"));
    ui->sbtnOpen->setIcon(GlyphIcon(QStringLiteral(":/glyphs/open.svg")));
    // No control is named to start with the focus: it goes to the first in tab
    // order, the date list out of view.
    ui->cmbDate->setFocus();
    memoText_ = new TDeferredPlainText(ui->Memo1);
    BindHandlers();
    extras_ = std::make_unique<TPlayerExtras>(*this, services_);

    Timer.setInterval(1000);
    Timer.start();
    playDelay_.setSingleShot(true);
    playDelay_.setInterval(1000);

    const TSettings settings = ReadSettings(*services_.ini, services_.app);
    RssURL = settings.RssURL;
    FindText = settings.FindText;
    ReplaceText = settings.ReplaceText;
    LastDown = settings.LastDown;
    extras_->ReadPlayerMemory(settings.Speed, settings.NewEpisodeNotice);
    extras_->ReadListeningOptions(settings.SkipSilence, settings.EvenLoudness);

    ui->prgPlay->SetMin(0);
    ui->prgPlay->SetMax(0);

    // The window opens at once, with empty lists; the drop-down fills when the
    // feed arrives. A feed that fails to parse is shown as an error then, and
    // the feed URL can be corrected in the settings.
    StartupMark("settings");
    RunGuarded(dialogs_, [this] { LoadFeedDocument(); });
    StartupMark("feed-requested");

    SetGlyph(ui->sbtnPlay, ui->imgBtnPlay);
    SetGlyph(ui->sbtnStop, ui->imgBtnStop);

    VersionText = FormatVersionText(services_.app.Version());
    setWindowTitle(QString::fromStdString("ZURav3 " + VersionText));

    SelectFirstEpisode();
}

TfrmMain::~TfrmMain() {
    // Also when the window goes without being closed first: an open still
    // on its way would report to a window that is gone.
    CancelPendingPlay();
    MediaPlayer.SetNotifyHandler(nullptr);
    FormDestroy();
    if (frmMain == this) {
        frmMain = nullptr;
    }
}

void TfrmMain::FormDestroy() {
    // Also when the window goes without being closed first.
    extras_->Finish();
    WriteSettings(
        *services_.ini, services_.app,
        {RssURL, FindText, ReplaceText, LastDown, extras_->SpeedSetting(), extras_->NoticeSetting(),
         extras_->SkipSilenceSetting(), extras_->EvenLoudnessSetting()});
}

void TfrmMain::Bind(QAbstractButton* button, void (TfrmMain::*handler)()) {
    connect(button, &QAbstractButton::clicked, this,
            Guarded(dialogs_, [this, handler] { (this->*handler)(); }));
}

void TfrmMain::BindHandlers() {
    Bind(ui->btnSetting, &TfrmMain::btnSettingClick);
    Bind(ui->btnReload, &TfrmMain::btnReloadClick);
    Bind(ui->btnPlay, &TfrmMain::btnPlayClick);
    Bind(ui->btnDown, &TfrmMain::btnDownClick);
    Bind(ui->btnURL, &TfrmMain::btnURLClick);
    Bind(ui->sbtnTOV, &TfrmMain::sbtnTOVClick);
    Bind(ui->sbtnOpen, &TfrmMain::sbtnOpenClick);
    Bind(ui->sbtnPlay, &TfrmMain::sbtnPlayClick);
    Bind(ui->sbtnStop, &TfrmMain::sbtnStopClick);
    Bind(ui->btnList, &TfrmMain::btnListClick);
    Bind(ui->btnDownload, &TfrmMain::btnDownloadClick);

    // `activated` comes only from the user, never from code setting the index.
    connect(ui->cmbItem, &QComboBox::activated, this,
            Guarded(dialogs_, [this] { cmbItemChange(); }));
    connect(ui->cmbDate, &QComboBox::activated, this,
            Guarded(dialogs_, [this] { cmbDateChange(); }));

    connect(ui->prgPlay, &TPlayBar::mouseDown, this,
            [this](int x) { RunGuarded(dialogs_, [this, x] { prgPlayMouseDown(x); }); });
    connect(ui->prgPlay, &TPlayBar::mouseMove, this,
            [this](int x) { RunGuarded(dialogs_, [this, x] { prgPlayMouseMove(x); }); });
    connect(ui->prgPlay, &TPlayBar::mouseLeave, this,
            Guarded(dialogs_, [this] { prgPlayMouseLeave(); }));

    connect(&Timer, &QTimer::timeout, this, Guarded(dialogs_, [this] { TimerTimer(); }));
    connect(&playDelay_, &QTimer::timeout, this, Guarded(dialogs_, [this] { PlayAfterTheWait(); }));
    MediaPlayer.SetNotifyHandler([this](NotifyResult result) {
        RunGuarded(dialogs_, [this, result] { MediaPlayerNotify(result); });
    });
}

void TfrmMain::SetGlyph(QAbstractButton* button, const QLabel* image) {
    button->setIcon(GlyphOf(image));
    // A screen reader names the button after what its glyph shows.
    button->setAccessibleName(image->accessibleName());
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    RunGuarded(dialogs_, [this] { FormClose(); });
    event->accept();
    // Closing the main window ends the program, also while another window is
    // shown; the quit is queued so that this close completes first.
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

void TfrmMain::FormClose() {
    Timer.stop();
    // Nothing pending may start playing or fill a list once the window is gone.
    CancelPendingPlay();
    saveCheck_.reset();
    feedLoad_.reset();
    urlBeforeChange_.reset();
    UpdateBusyCursor();
    extras_->Closing();
    // A transfer still running (this close arrived through its event processing)
    // ends before the windows go away, and leaves no partial file behind.
    if (frmDownload != nullptr) {
        frmDownload->CancelForExit();
    }
}

void TfrmMain::cmbItemChange() {
    const int i = ui->cmbItem->currentIndex();
    if (!IsEpisodeIndex(Episodes, i)) {
        return;
    }
    UpdateEpisodeHints(i);
}

void TfrmMain::cmbDateChange() {
    const int i = ui->cmbDate->currentIndex();
    if (!IsEpisodeIndex(Episodes, i)) {
        return;
    }
    // Checked before anything closes: a link from the feed is a web link.
    const std::string episodeLink = Episodes[static_cast<std::size_t>(i)].url;
    const std::string url = FeedMediaLink(episodeLink);
    CancelPendingPlay();
    extras_->RememberPosition();
    MediaPlayer.Close(false);
    StartOpen(url, false, [this, url, episodeLink] { DateOpened(url, episodeLink); });
}

void TfrmMain::DateOpened(const std::string& url, const std::string& episodeLink) {
    // The caption stays as it was; the media controls still name the medium.
    nowPlaying_ = {LinkFileName(url), url, ShowTitle};
    playingLink_ = episodeLink;
    ui->prgPlay->SetMin(0);
    ui->prgPlay->SetMax(MediaPlayer.Length());
}

bool TfrmMain::Pending() const {
    return feedLoad_ || playCheck_ || saveCheck_ || MediaPlayer.Opening() || playDelay_.isActive();
}

void TfrmMain::UpdateBusyCursor() {
    // Over this window only: the other windows are not waiting for anything.
    if (Pending()) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

const TEpisode* TfrmMain::SelectedEpisode() const {
    const int i = ui->cmbItem->currentIndex();
    if (ui->cmbItem->count() == 0 || !IsEpisodeIndex(Episodes, i)) {
        return nullptr;
    }
    return &Episodes[static_cast<std::size_t>(i)];
}

QAbstractButton& TfrmMain::PlayButton() {
    return *ui->btnPlay;
}

void TfrmMain::btnListClick() {
    // The toggle works on the outer height, title bar and borders included.
    const int frame = frameGeometry().height() - height();
    if (frameGeometry().height() == kCollapsedOuterHeight) {
        setFixedHeight(kExpandedOuterHeight - frame);
        ui->btnList->setText(QStringLiteral("목록감추기"));
    } else {
        setFixedHeight(kCollapsedOuterHeight - frame);
        ui->btnList->setText(QStringLiteral("목록보기"));
    }
}
