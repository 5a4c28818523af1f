#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <QObject>

#include "feed/Episode.h"
#include "listening/Chapters.h"
#include "listening/PodcastChapters.h"
#include "platform/CurlMemoryFetch.h"

class IPlayerPort;
class QMenu;
struct Services;

// The chapters of what plays: the medium's own, or else those of the chapters
// file its feed item names, fetched while it plays. The play menu lists them
// in its "챕터" submenu (only while there are some) with the current one
// marked; PageDown and PageUp over the window, where no control in view uses
// them, and the media controls go to the next and the previous one.
class TChapters final : public QObject {
public:
    TChapters(IPlayerPort& window, Services& services, QMenu& playMenu);

    // After each load of the feed: the chapters file of each episode, by its
    // feed link.
    void KnowChapterLinks(const TEpisodeList& episodes, const std::vector<std::string>& links);
    // A new medium is about to open: the chapters of the last one go, and so
    // does a fetch for it.
    void PlayStarting();
    // The medium has opened.
    void MediumOpened();

    const TChapterList& List() const { return list_; }
    bool Any() const { return !list_.Empty(); }
    // A chapters file is on its way.
    bool Fetching() const { return fetch_.Running(); }
    void Next();
    void Previous();
    void JumpTo(int positionMs);
    // Before the play menu opens.
    void UpdateMenu();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Fetched(const std::string& episode, const std::string& file,
                 const CurlMemoryFetch::Result& result);

    IPlayerPort& window_;
    Services& services_;
    QMenu* menu_ = nullptr;
    TChapterList list_;
    std::unordered_map<std::string, std::string> links_;
    CurlMemoryFetch fetch_{kMaxChaptersFileBytes};
};
