#include "frmMain.h"
#include "platform/Services.h"

// Called after each load that replaced the catalogue. The links are learnt
// whether or not a notification can be shown, so none is announced twice.
void TfrmMain::NoticeNewEpisodes() {
    const TSeenEpisodes::Learned learned = seen_.Learn(RssURL, Episodes);
    if (learned.changed) {
        seenChanged_ = true;
        SaveStateSoon();
    }
    if (learned.arrived.empty() || !services_.notifier) {
        return;
    }
    std::vector<std::string> names;
    names.reserve(learned.arrived.size());
    for (const std::size_t i : learned.arrived) {
        names.push_back(EpisodeName(Episodes[i]));
    }
    const TNotice notice = NewEpisodesNotice(names);
    services_.notifier->Notify(QString::fromStdString(notice.summary),
                               QString::fromStdString(notice.body));
}
