#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Episode.h"

namespace pugi {
class xml_node;
}

// Lines of text kept end to end in one buffer: a feed's titles, without one
// allocation per line.
class TextLines {
public:
    void Append(std::string_view line) {
        text_ += line;
        ends_.push_back(text_.size());
    }
    void Reserve(std::size_t lines, std::size_t bytes) {
        ends_.reserve(lines);
        text_.reserve(bytes);
    }
    std::size_t size() const { return ends_.size(); }
    std::string_view operator[](std::size_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(text_).substr(begin, ends_[i] - begin);
    }
    std::vector<std::string> ToVector() const {
        std::vector<std::string> lines;
        for (std::size_t i = 0; i < size(); ++i) {
            lines.emplace_back((*this)[i]);
        }
        return lines;
    }

private:
    std::string text_;
    std::vector<std::size_t> ends_;
};

// What the document reader makes of one feed: one record per item of the
// channel, and one line per title element met, in document order; and the
// show's name, the channel's own title (empty when it has none); and beside
// each record the link of its chapters file (a podcast:chapters element of
// type application/json+chapters), empty when it names none.
struct FeedDocument {
    TEpisodeList episodes;
    TextLines titles;
    std::string showTitle;
    std::vector<std::string> chapterLinks;
};

// Reads an RSS document, parsing `text` in place (it is consumed, which spares a
// copy of a large feed): the first child node of the document element is the
// channel, whose "item" children become records. Nothing when there is nothing
// to load (an empty text, or a channel without child nodes), so the catalogue
// keeps what it holds. Throws FeedError for a text that is not well-formed XML,
// a document element without child nodes, a title, desc or link element whose
// content is not a single text, and a length that is not a decimal integer.
std::optional<FeedDocument> ParseFeedDocument(std::string text);

// The show's name from the channel's title element (a null node gives "").
std::string ShowTitleOf(const pugi::xml_node& title);

// A decimal integer as the feed writes a length: optional leading blanks, an
// optional sign, digits, and nothing after them. Throws FeedError otherwise.
std::int32_t ParseFeedInteger(std::string_view text);
