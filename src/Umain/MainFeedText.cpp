#include <stdexcept>

#include <QStringList>

#include "Umain/DeferredPlainText.h"
#include "extras/PlayerExtras.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedError.h"
#include "feed/FeedText.h"
#include "frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/HttpClient.h"
#include "texts/FailureText.h"
#include "ui_frmMain.h"

void TfrmMain::ChangeRssURL(const std::string& url, std::function<void(bool loaded)> ended) {
    // A change on its way was to a URL this one replaces.
    if (!urlBeforeChange_) {
        urlBeforeChange_ = RssURL;
    }
    // Kept even when the load below fails, so the user's text is not lost.
    RssURL = url;
    feedLoad_ = IdHTTP.Start(IHttpClient::Method::Get, RssURL,
                             [this, ended = std::move(ended)](HttpResult fetched) {
                                 const std::unique_ptr<HttpRequest> load = std::move(feedLoad_);
                                 urlBeforeChange_.reset();
                                 UpdateBusyCursor();
                                 bool loaded = false;
                                 RunGuarded(dialogs_, [&] {
                                     ScanFeedText(fetched);
                                     SelectFirstEpisode();
                                     loaded = true;
                                 });
                                 if (ended) {
                                     ended(loaded);
                                 }
                             });
    UpdateBusyCursor();
}

void TfrmMain::AbandonRssChange() {
    if (!urlBeforeChange_) {
        return;
    }
    feedLoad_.reset();
    RssURL = *urlBeforeChange_;
    urlBeforeChange_.reset();
    UpdateBusyCursor();
}

QString TfrmMain::Memo1Text() const {
    return memoText_->Text();
}

void TfrmMain::ScanFeedText(HttpResult& fetched) {
    if (!fetched.Ok()) {
        throw std::runtime_error(FailureText(kFeedFetchFailed, RssURL, fetched.error));
    }
    std::string& text = fetched.body;
    TEpisodeList scanned;
    try {
        DecodeFeedBody(text);
        memoText_->SetText(QString::fromStdString(text));
        // The whole feed is scanned before anything is replaced, so a feed that
        // fails part-way leaves the catalogue and the date list as they were.
        scanned = ScanFeedEnclosures(text);
    } catch (const FeedError& e) {
        throw FeedError(FailureText(kFeedReadFailed, RssURL, e.what()));
    }
    QStringList dates;
    dates.reserve(static_cast<qsizetype>(scanned.size()));
    for (const TEpisode& episode : scanned) {
        dates << QString::fromStdString(episode.date);
    }
    Episodes = std::move(scanned);
    ShowTitle = ScanShowTitle(text);
    ui->cmbDate->clear();
    ui->cmbDate->addItems(dates);
    if (ui->cmbDate->count() > 0) {
        ui->cmbDate->setCurrentIndex(0);
    }
    extras_->NoticeNewEpisodes(RssURL, Episodes);
}
