#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <curl/curl.h>

// What lets a broken save go on where it stopped: the validator that asks the
// server for the rest of the same file, and the checks of its answer.

// The value of the header `name` when `line` is that header (names compare
// without case), without the spaces around it; nothing otherwise.
std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name);

// The If-Range value for a file that came with these headers: a strong ETag,
// or the Last-Modified date when there is no ETag. Empty when neither can say
// that the file is still the same (a weak or damaged ETag, none at all): the
// rest may then only come as a whole new file.
std::string IfRangeValidator(std::string_view etag, std::string_view lastModified);

// A Content-Range of a 206 answer: bytes first to last (inclusive) of total.
struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    std::uint64_t total = 0;
};

// "bytes first-last/total" with first <= last < total; nothing for anything
// else (an unknown total "*" included).
std::optional<ContentRange> ParseContentRange(std::string_view value);

// True for a transfer that a broken connection or a silent server ended, which
// may go better on a new connection; false for faults that would only repeat
// (the file, the URL, the certificate).
bool IsBrokenConnection(CURLcode code);
