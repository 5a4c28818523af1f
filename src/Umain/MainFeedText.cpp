#include <stdexcept>

#include <QStringList>

#include "Umain/BusyCursor.h"
#include "Umain/DeferredPlainText.h"
#include "extras/PlayerExtras.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedError.h"
#include "feed/FeedText.h"
#include "frmMain.h"
#include "platform/HttpClient.h"
#include "texts/FailureText.h"
#include "ui_frmMain.h"

void TfrmMain::ChangeRssURL(const std::string& url) {
    // Kept even when the load below fails, so the user's text is not lost.
    RssURL = url;
    ScanFeedText();
    SelectFirstEpisode();
}

QString TfrmMain::Memo1Text() const {
    return memoText_->Text();
}

void TfrmMain::ScanFeedText() {
    // The window waits for the whole load; an error box after it has the
    // normal cursor again.
    const TBusyCursor busy;
    HttpResult fetched = IdHTTP.Get(RssURL);
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
