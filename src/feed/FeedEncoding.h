#pragma once

#include <string>
#include <string_view>

// Turns a fetched feed into the UTF-8 text both readers work on, in place: a
// UTF-8 byte-order mark is dropped, a UTF-16 text (by its byte-order mark) and
// a text whose XML declaration names another encoding (EUC-KR, CP949, ...) are
// converted. Throws FeedError naming the encoding and the place when the bytes
// cannot be decoded, or when the encoding is unknown.
void DecodeFeedBody(std::string& body);

// The encoding named by an XML declaration at the start of `text`, in lower
// case; empty when there is no declaration or it names none.
std::string DeclaredEncoding(std::string_view text);

// The offset of the first byte that is not part of valid UTF-8, or npos.
std::size_t FindInvalidUtf8(std::string_view text);

// The same, one byte after another: the reference the fast check is tested on.
std::size_t FindInvalidUtf8Scalar(std::string_view text);
