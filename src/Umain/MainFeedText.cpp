#include "frmMain.h"

void TfrmMain::ChangeRssURL(const std::string& url) {
    RssURL = url;
    ScanFeedText();
    SelectFirstEpisode();
}

void TfrmMain::ScanFeedText() {}
