#include <QStringList>

#include "Umain/FeedDocument.h"
#include "frmMain.h"
#include "platform/HttpClient.h"
#include "ui_frmMain.h"

void TfrmMain::LoadFeedDocument() {
    // A feed that cannot be fetched or decoded changes nothing and is not reported.
    const HttpResult fetched = IdHTTP.Get(RssURL);
    if (!fetched.Ok()) {
        return;
    }
    const std::optional<std::string> text = DecodeFeedBody(fetched.body);
    if (!text) {
        return;
    }

    // The whole feed is read before anything is replaced, so a malformed feed
    // leaves the catalogue and both lists as they were.
    std::optional<FeedDocument> feed = ParseFeedDocument(*text);
    if (!feed) {
        return;
    }

    QStringList titles;
    titles.reserve(static_cast<qsizetype>(feed->titles.size()));
    for (const std::string& title : feed->titles) {
        titles << QString::fromStdString(title);
    }
    Episodes = std::move(feed->episodes);
    ui->lstItem->clear();
    ui->lstItem->addItems(titles);
    ui->cmbItem->clear();
    ui->cmbItem->addItems(titles);
    if (ui->cmbItem->count() > 0) {
        ui->cmbItem->setCurrentIndex(0);
    }
}

void TfrmMain::btnReloadClick() {
    LoadFeedDocument();
    SelectFirstEpisode();
}
