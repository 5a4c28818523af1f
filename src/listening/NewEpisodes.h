#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "feed/Episode.h"

// The episode links seen in earlier loads of the feed, to tell which episodes of
// a load are new. The first load of a feed finds nothing new: it only learns
// what is there. Links that leave the feed are still remembered for a while, so
// that an episode coming back is not announced a second time.
class TSeenEpisodes {
public:
    // Links no longer in the feed that are still remembered, most recent first.
    static constexpr std::size_t kFormerLinks = 1000;

    struct Learned {
        // Indexes in the load of the episodes never seen before, each link once.
        std::vector<std::size_t> arrived;
        // Whether what is remembered changed (and should be stored again).
        bool changed = false;
    };

    // Learns the links of a successful load of `feedUrl`. A load of another
    // feed than the one remembered counts as a first load.
    Learned Learn(const std::string& feedUrl, const TEpisodeList& episodes);

    bool KnowsFeed() const { return !feed_.empty(); }
    const std::string& Feed() const { return feed_; }
    // The links remembered, most recent first.
    std::vector<std::string> Links() const;
    std::size_t LinkCount() const { return spans_.size(); }

    // The feed URL on the first line, then one link a line. Parse reads an
    // empty or unreadable text as nothing seen yet. It keeps the text it is
    // given and notes where each link lies in it, so a file of hundreds of
    // thousands of links is read without a string for each.
    std::string Serialize() const;
    static TSeenEpisodes Parse(std::string text);

private:
    struct Span {
        std::size_t at = 0;
        std::size_t size = 0;
    };
    std::string_view LinkAt(const Span& span) const { return {text_.data() + span.at, span.size}; }

    std::string feed_;
    // The links' characters; each link is one span of them.
    std::string text_;
    std::vector<Span> spans_;
};

// What a desktop notification says.
struct TNotice {
    std::string summary;
    std::string body;
    bool operator==(const TNotice&) const = default;
};

// The notice of newly arrived episodes, by their names: one names it in the
// summary; several are counted in the summary and listed in the body, at most
// three, with the count of the others.
TNotice NewEpisodesNotice(const std::vector<std::string>& names);

// The name an episode goes by in a notice: its title, or its date (the text
// scan reads no titles), or its link's file name.
std::string EpisodeName(const TEpisode& episode);
