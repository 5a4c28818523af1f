#include "Chapters.h"

#include <algorithm>
#include <climits>

#include "texts/PlayTime.h"

TChapterList::TChapterList(std::vector<MediaChapter> chapters) : chapters_(std::move(chapters)) {
    std::stable_sort(
        chapters_.begin(), chapters_.end(),
        [](const MediaChapter& a, const MediaChapter& b) { return a.startMs < b.startMs; });
    chapters_.erase(std::unique(chapters_.begin(), chapters_.end(),
                                [](const MediaChapter& a, const MediaChapter& b) {
                                    return a.startMs == b.startMs;
                                }),
                    chapters_.end());
}

std::optional<std::size_t> TChapterList::Current(int positionMs) const {
    const auto after = std::upper_bound(
        chapters_.begin(), chapters_.end(), positionMs,
        [](int position, const MediaChapter& chapter) { return position < chapter.startMs; });
    if (after == chapters_.begin()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(after - chapters_.begin() - 1);
}

std::optional<int> TChapterList::Next(int positionMs) const {
    const std::optional<std::size_t> current = Current(positionMs);
    const std::size_t next = current ? *current + 1 : 0;
    if (next >= chapters_.size()) {
        return std::nullopt;
    }
    return chapters_[next].startMs;
}

std::optional<int> TChapterList::Previous(int positionMs) const {
    const std::optional<std::size_t> current = Current(positionMs);
    if (!current) {
        return std::nullopt;
    }
    if (positionMs - chapters_[*current].startMs<kBackToPreviousMs&& * current> 0) {
        return chapters_[*current - 1].startMs;
    }
    return chapters_[*current].startMs;
}

std::string TChapterList::Label(std::size_t i) const {
    std::string title = chapters_[i].title;
    // A line break or a tab would split the menu's line.
    std::replace_if(
        title.begin(), title.end(),
        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }, ' ');
    // To the nearest second: an MP3's chapters start a few milliseconds before
    // the second they were written at, by the encoder's delay.
    const int start = chapters_[i].startMs;
    return FormatPlayTime(start <= INT_MAX - 500 ? start + 500 : start) + " " + title;
}
