#include <QStringList>

#include "Umain/FeedDocument.h"
#include "Umain/FeedEncoding.h"
#include "frmMain.h"
#include "platform/HttpClient.h"
#include "ui_frmMain.h"

void TfrmMain::LoadFeedDocument() {
    // A feed that cannot be fetched changes nothing and is not reported.
    HttpResult fetched = IdHTTP.Get(RssURL);
    if (!fetched.Ok()) {
        return;
    }
    // Bytes that cannot be decoded are reported like a malformed feed.
    DecodeFeedBody(fetched.body);

    // The whole feed is read before anything is replaced, so a malformed feed
    // leaves the catalogue and both lists as they were.
    std::optional<FeedDocument> feed = ParseFeedDocument(std::move(fetched.body));
    if (!feed) {
        return;
    }

    QStringList titles;
    titles.reserve(static_cast<qsizetype>(feed->titles.size()));
    for (std::size_t i = 0; i < feed->titles.size(); ++i) {
        const std::string_view title = feed->titles[i];
        titles << QString::fromUtf8(title.data(), static_cast<qsizetype>(title.size()));
    }
    Episodes = std::move(feed->episodes);
    ui->lstItem->clear();
    ui->lstItem->addItems(titles);
    ui->cmbItem->clear();
    ui->cmbItem->addItems(titles);
    if (ui->cmbItem->count() > 0) {
        ui->cmbItem->setCurrentIndex(0);
    }
    NoticeNewEpisodes();
}

void TfrmMain::btnReloadClick() {
    LoadFeedDocument();
    SelectFirstEpisode();
}
