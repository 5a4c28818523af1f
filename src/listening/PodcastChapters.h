#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/MediaDevice.h"

// A feed item's chapters file: JSON with a "chapters" array of objects, each
// with "startTime" in seconds and a "title"; one with "toc": false is not
// listed. At most this much is read, and this many chapters kept.
inline constexpr std::size_t kMaxChaptersFileBytes = std::size_t{8} * 1024 * 1024;
inline constexpr std::size_t kMaxChapters = 1000;
// Longer titles are cut: they come from outside and go into a menu.
inline constexpr std::size_t kMaxChapterTitleChars = 200;

// The chapters of `json`, in file order (the first kMaxChapters); none with
// the reason in `error` when it is not such a file.
std::optional<std::vector<MediaChapter>> ParsePodcastChapters(std::string_view json,
                                                              std::string& error);
