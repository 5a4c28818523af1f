#include <iostream>

#include <QStringList>

#include "Umain/BusyCursor.h"
#include "extras/PlayerExtras.h"
#include "feed/FeedDocument.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedError.h"
#include "frmMain.h"
#include "platform/HttpClient.h"
#include "texts/FailureText.h"
#include "ui_frmMain.h"

void TfrmMain::LoadFeedDocument() {
    // The window waits for the whole load; an error box after it has the
    // normal cursor again.
    const TBusyCursor busy;
    HttpResult fetched = IdHTTP.Get(RssURL);
    // A feed that cannot be fetched changes nothing and the window says
    // nothing; one line on standard error tells whoever started the program.
    if (!fetched.Ok()) {
        std::cerr << FailureLine(kFeedFetchFailed, RssURL, fetched.error) << std::endl;
        return;
    }

    // The whole feed is read before anything is replaced, so a malformed feed
    // leaves the catalogue and both lists as they were. Bytes that cannot be
    // decoded are reported like a malformed feed.
    std::optional<FeedDocument> feed;
    try {
        DecodeFeedBody(fetched.body);
        feed = ParseFeedDocument(std::move(fetched.body));
    } catch (const FeedError& e) {
        throw FeedError(FailureText(kFeedReadFailed, RssURL, e.what()));
    }
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
    ShowTitle = std::move(feed->showTitle);
    ui->lstItem->clear();
    ui->lstItem->addItems(titles);
    ui->cmbItem->clear();
    ui->cmbItem->addItems(titles);
    if (ui->cmbItem->count() > 0) {
        ui->cmbItem->setCurrentIndex(0);
    }
    extras_->KnowChapterLinks(Episodes, feed->chapterLinks);
    extras_->NoticeNewEpisodes(RssURL, Episodes);
}

void TfrmMain::btnReloadClick() {
    LoadFeedDocument();
    SelectFirstEpisode();
}
