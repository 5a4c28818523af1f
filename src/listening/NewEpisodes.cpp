#include "NewEpisodes.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

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

    // This load's links, each once, in the feed's order, and whether each was
    // seen before.
    Learned learned;
    std::vector<std::pair<std::string_view, std::size_t>> loaded;
    std::unordered_map<std::string_view, bool> seenBefore;
    seenBefore.reserve(episodes.size());
    for (std::size_t i = 0; i < episodes.size(); ++i) {
        const std::string& link = episodes[i].url;
        if (IsStorableLine(link) && seenBefore.emplace(link, false).second) {
            loaded.emplace_back(link, i);
        }
    }
    // One pass over what is remembered, however much that is: it marks the
    // links of this load, and keeps the most recent others.
    std::vector<std::string_view> former;
    if (!firstLoad) {
        std::unordered_set<std::string_view> kept;
        for (const Span& span : spans_) {
            const std::string_view link = LinkAt(span);
            if (const auto found = seenBefore.find(link); found != seenBefore.end()) {
                found->second = true;
            } else if (former.size() < kFormerLinks && kept.insert(link).second) {
                former.push_back(link);
            }
        }
        for (const auto& [link, index] : loaded) {
            if (!seenBefore.at(link)) {
                learned.arrived.push_back(index);
            }
        }
    }

    std::string text;
    std::vector<Span> spans;
    spans.reserve(loaded.size() + former.size());
    const auto add = [&](std::string_view link) {
        spans.push_back({text.size(), link.size()});
        text.append(link);
    };
    for (const auto& entry : loaded) {
        add(entry.first);
    }
    for (const std::string_view link : former) {
        add(link);
    }
    learned.changed = firstLoad || spans.size() != spans_.size();
    for (std::size_t i = 0; !learned.changed && i < spans.size(); ++i) {
        learned.changed =
            std::string_view(text.data() + spans[i].at, spans[i].size) != LinkAt(spans_[i]);
    }
    feed_ = feedUrl;
    text_ = std::move(text);
    spans_ = std::move(spans);
    return learned;
}

std::vector<std::string> TSeenEpisodes::Links() const {
    std::vector<std::string> links;
    links.reserve(spans_.size());
    for (const Span& span : spans_) {
        links.emplace_back(LinkAt(span));
    }
    return links;
}

std::string TSeenEpisodes::Serialize() const {
    if (feed_.empty()) {
        return {};
    }
    std::string text = feed_ + '\n';
    text.reserve(text.size() + text_.size() + spans_.size());
    for (const Span& span : spans_) {
        text.append(LinkAt(span));
        text += '\n';
    }
    return text;
}

TSeenEpisodes TSeenEpisodes::Parse(std::string text) {
    const auto lineAt = [&text](std::size_t at) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line(text.data() + at, end - at);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return std::pair(line, end + 1);
    };
    auto [feed, next] = lineAt(0);
    if (!IsStorableLine(feed)) {
        return {};
    }
    TSeenEpisodes seen;
    seen.feed_ = std::string(feed);
    seen.spans_.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')));
    // A link repeated in the file (it was not written by this program) is
    // harmless: the next load keeps each link once.
    while (next < text.size()) {
        const auto [link, after] = lineAt(next);
        if (IsStorableLine(link)) {
            seen.spans_.push_back({next, link.size()});
        }
        next = after;
    }
    seen.text_ = std::move(text);
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
