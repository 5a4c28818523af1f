#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Episode.h"

// Reads the episodes of a feed text without parsing it as XML; the reader used
// when the user gives a new feed URL. Every "<enclosure" followed somewhere by "/>"
// gives one record: the tag text runs from just past "<enclosure" and the
// character after it up to the "/" of the first "/>", and is split into
// attributes at blanks and line breaks outside quotes. An attribute "url" sets
// `url` (quotes blanked, ends trimmed) and `date` (from the six characters
// before ".mp3"); "length" sets `length` (a decimal number, truncated). A tag
// that names neither repeats the previous record's values. The scan stops at an
// "<enclosure" without a "/>" after it.
//
// Throws FeedError, and gives no records, when a date or a length does not
// convert or a url or length attribute has no value.
TEpisodeList ScanFeedEnclosures(std::string_view text);

// The show's name in a feed read by the text scan: the content of the first
// title element before the first item, its entities and CDATA read as XML
// does. Empty when there is none or it is not well-formed.
std::string ScanShowTitle(std::string_view text);

// A length as the text scan reads it: an optional sign, digits with an optional
// "." fraction and an optional exponent, truncated toward zero. Throws
// FeedError for any other text and for a value outside the 32-bit range.
std::int32_t ParseFeedLength(std::string_view text);

// The message of a url or length attribute written without a value.
std::string MissingAttributeValueMessage(std::string_view name);
