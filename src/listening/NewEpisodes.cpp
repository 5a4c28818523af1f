#include "NewEpisodes.h"

#include "listening/ResumePositions.h"
#include "texts/FileNames.h"

namespace {

constexpr std::size_t kListedInNotice = 3;

}  // namespace

TSeenEpisodes::Learned TSeenEpisodes::Learn(const std::string& feedUrl,
                                            const TEpisodeList& episodes) {
    if (!IsStorableLine(feedUrl)) {
        return {};
    }
    const bool firstLoad = feedUrl != feed_;
    const std::unordered_set<std::string> before =
        firstLoad ? std::unordered_set<std::string>()
                  : std::unordered_set<std::string>(links_.begin(), links_.end());

    Learned learned;
    std::vector<std::string> links;
    std::unordered_set<std::string> inThisLoad;
    for (std::size_t i = 0; i < episodes.size(); ++i) {
        const std::string& link = episodes[i].url;
        if (!IsStorableLine(link) || !inThisLoad.insert(link).second) {
            continue;
        }
        links.push_back(link);
        if (!firstLoad && before.count(link) == 0) {
            learned.arrived.push_back(i);
        }
    }
    if (!firstLoad) {
        std::size_t kept = 0;
        for (const std::string& link : links_) {
            if (kept == kFormerLinks) {
                break;
            }
            if (inThisLoad.count(link) == 0) {
                links.push_back(link);
                ++kept;
            }
        }
    }
    learned.changed = firstLoad || links != links_;
    feed_ = feedUrl;
    links_ = std::move(links);
    return learned;
}

std::string TSeenEpisodes::Serialize() const {
    if (feed_.empty()) {
        return {};
    }
    std::string text = feed_ + '\n';
    for (const std::string& link : links_) {
        text += link;
        text += '\n';
    }
    return text;
}

TSeenEpisodes TSeenEpisodes::Parse(std::string_view text) {
    TSeenEpisodes seen;
    bool first = true;
    std::unordered_set<std::string> known;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        std::string_view line = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        std::string value(line);
        if (first) {
            if (!IsStorableLine(value)) {
                return {};
            }
            seen.feed_ = std::move(value);
            first = false;
        } else if (IsStorableLine(value) && known.insert(value).second) {
            seen.links_.push_back(std::move(value));
        }
    }
    return seen;
}

TNotice NewEpisodesNotice(const std::vector<std::string>& names) {
    if (names.empty()) {
        return {};
    }
    if (names.size() == 1) {
        return {"새 에피소드: " + names.front(), {}};
    }
    TNotice notice{"새 에피소드 " + std::to_string(names.size()) + "편", {}};
    for (std::size_t i = 0; i < names.size() && i < kListedInNotice; ++i) {
        if (i > 0) {
            notice.body += '\n';
        }
        notice.body += names[i];
    }
    if (names.size() > kListedInNotice) {
        notice.body += "\n외 " + std::to_string(names.size() - kListedInNotice) + "편";
    }
    return notice;
}

std::string EpisodeName(const TEpisode& episode) {
    if (!episode.title.empty()) {
        return episode.title;
    }
    if (!episode.date.empty()) {
        return episode.date;
    }
    return LinkFileName(episode.url);
}
