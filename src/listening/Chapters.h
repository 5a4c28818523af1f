#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/MediaDevice.h"

// The chapters of what plays, by their start, and the moves between them.
class TChapterList {
public:
    // Back within this much of a chapter's start goes to the one before.
    static constexpr int kBackToPreviousMs = 3000;

    TChapterList() = default;
    // Sorted by start; a chapter starting where another does is dropped.
    explicit TChapterList(std::vector<MediaChapter> chapters);

    bool Empty() const { return chapters_.empty(); }
    std::size_t Size() const { return chapters_.size(); }
    const MediaChapter& operator[](std::size_t i) const { return chapters_[i]; }

    // The chapter playing at `positionMs`; none before the first.
    std::optional<std::size_t> Current(int positionMs) const;
    // Where "next chapter" and "previous chapter" go from `positionMs`: the
    // next one's start (none after the last), and the current one's start or,
    // near it, the one before.
    std::optional<int> Next(int positionMs) const;
    std::optional<int> Previous(int positionMs) const;

    // The menu's text: "hh:mm:ss 제목", the start to the nearest second and
    // the title as one line.
    std::string Label(std::size_t i) const;

private:
    std::vector<MediaChapter> chapters_;
};
