#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Episode.h"

// What the document reader makes of one feed: one record per item of the
// channel, and one line per title element met, in document order.
struct FeedDocument {
    TEpisodeList episodes;
    std::vector<std::string> titles;
};

// Turns a fetched body into the text the reader parses: UTF-8 with a leading
// byte-order mark dropped. Nothing when the bytes are not valid UTF-8.
std::optional<std::string> DecodeFeedBody(std::string_view body);

// Reads an RSS document: the first child node of the document element is the
// channel, whose "item" children become records. Nothing when there is nothing
// to load (an empty text, or a channel without child nodes), so the catalogue
// keeps what it holds. Throws FeedError for a text that is not well-formed XML,
// a document element without child nodes, a title, desc or link element whose
// content is not a single text, and a length that is not a decimal integer.
std::optional<FeedDocument> ParseFeedDocument(std::string_view text);

// A decimal integer as the feed writes a length: optional leading blanks, an
// optional sign, digits, and nothing after them. Throws FeedError otherwise.
std::int32_t ParseFeedInteger(std::string_view text);
