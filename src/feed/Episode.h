#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One episode of the feed. Texts are UTF-8 and held whole, however long.
struct TEpisode {
    std::string date;   // "yyyy/mm/dd", only from the text scan
    std::string title;  // only from the document reader
    std::string link;
    std::string desc;
    std::string url;  // the MP3 link
    std::int32_t length = 0;

    bool operator==(const TEpisode&) const = default;
};

// The catalogue, in feed order.
using TEpisodeList = std::vector<TEpisode>;

// True when `index` designates a record of `episodes`.
inline bool IsEpisodeIndex(const TEpisodeList& episodes, int index) {
    return index >= 0 && static_cast<std::size_t>(index) < episodes.size();
}
