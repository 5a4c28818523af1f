#include <iostream>

#include <QStringList>

#include "extras/PlayerExtras.h"
#include "feed/FeedDocument.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedError.h"
#include "frmMain.h"
#include "platform/HandlerGuard.h"
#include "platform/HttpClient.h"
#include "texts/FailureText.h"
#include "ui_frmMain.h"

void TfrmMain::LoadFeedDocument() {
    // A second reload while one is on its way would only fetch the same feed.
    if (feedLoad_) {
        return;
    }
    feedLoad_ = IdHTTP.Start(IHttpClient::Method::Get, RssURL,
                             [this](HttpResult fetched) { FeedDocumentFetched(fetched); });
    UpdateBusyCursor();
}

void TfrmMain::FeedDocumentFetched(HttpResult& fetched) {
    const std::unique_ptr<HttpRequest> ended = std::move(feedLoad_);
    UpdateBusyCursor();
    RunGuarded(dialogs_, [&] {
        ReadFeedDocument(fetched);
        SelectFirstEpisode();
    });
}

void TfrmMain::ReadFeedDocument(HttpResult& fetched) {
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
    // The first episode is selected when the load ends.
    LoadFeedDocument();
}
