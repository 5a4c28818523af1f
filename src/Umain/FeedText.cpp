#include "FeedText.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "FeedDocument.h"
#include "FeedError.h"

// The scan works on positions in the one feed text and never copies or shortens
// it, so a feed costs time in proportion to its size. Every search for the
// next "<enclosure" and for the next "/>" starts where the previous one of its
// kind left off. Tags normally end before the next "<enclosure"; when they do
// not (for instance "<enclosure ...></enclosure>" with the next "/>" many items
// further on), several tags share one end, and the attribute runs they have in
// common are read once (see NestedTags).

namespace {

constexpr std::string_view kTagStart = "<enclosure";
constexpr std::string_view kTagEnd = "/>";
// The tag text begins after "<enclosure" and the one character that follows it.
constexpr std::size_t kTagTextOffset = kTagStart.size() + 1;

bool IsSkipped(char c) {
    return c == ' ' || c == '\r' || c == '\n';
}

// Splits a text into pieces at a separator, at line breaks and at its end,
// skipping blanks and line breaks before each piece. A single or double quote
// opens a stretch, closed by the next quote of the same kind, in which nothing
// ends the piece; the quotes stay in the piece. Empty pieces are dropped.
class PieceSplitter {
public:
    PieceSplitter(std::string_view text, char separator) : text_(text), separator_(separator) {}

    // The next piece and where it begins in the text; false at the end.
    bool Next(std::string_view& piece, std::size_t& begin) {
        const std::size_t n = text_.size();
        while (pos_ < n) {
            while (pos_ < n && IsSkipped(text_[pos_])) {
                ++pos_;
            }
            if (pos_ == n) {
                break;
            }
            begin = pos_;
            const std::size_t end = PieceEnd(pos_);
            pos_ = end < n ? end + 1 : n;  // the character that ended the piece is used up
            if (end > begin) {
                piece = text_.substr(begin, end - begin);
                return true;
            }
        }
        return false;
    }

private:
    std::size_t PieceEnd(std::size_t i) const {
        const std::size_t n = text_.size();
        while (i < n) {
            const char c = text_[i];
            if (c == '"' || c == '\'') {
                const std::size_t close = text_.find(c, i + 1);
                if (close == std::string_view::npos) {
                    return n;
                }
                i = close + 1;
            } else if (c == separator_ || c == '\r' || c == '\n') {
                return i;
            } else {
                ++i;
            }
        }
        return n;
    }

    std::string_view text_;
    char separator_;
    std::size_t pos_ = 0;
};

// Blanks every double quote and removes blanks and control characters at both ends.
std::string Unquote(std::string_view value) {
    std::string text(value);
    std::replace(text.begin(), text.end(), '"', ' ');
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > ' '; };
    const auto first = std::find_if(text.begin(), text.end(), kept);
    const auto last = std::find_if(text.rbegin(), text.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

// `count` characters from the 1-based position `from`: nothing past the end,
// and a position before the start counts as the start.
std::string_view CharactersAt(std::string_view text, long from, std::size_t count) {
    if (from > static_cast<long>(text.size())) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(std::max(from, 1L) - 1), count);
}

struct Link {
    std::string url;
    std::string date;
};

// The url of a tag, and the broadcast date from the six characters before the
// first ".mp3" in it (from its start when there is none).
Link ReadLink(std::string_view value) {
    Link link;
    link.url = Unquote(value);
    const std::size_t mp3 = link.url.find(".mp3");
    const long k = mp3 == std::string::npos ? 0 : static_cast<long>(mp3) + 1;
    const int year = ParseFeedInteger("20" + std::string(CharactersAt(link.url, k - 6, 2)));
    const int month = ParseFeedInteger(CharactersAt(link.url, k - 4, 2));
    const int day = ParseFeedInteger(CharactersAt(link.url, k - 2, 2));
    char date[40];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", year, month, day);
    link.date = date;
    return link;
}

// What one attribute does to the working record.
struct Attribute {
    enum class Kind { Other, Url, Length } kind = Kind::Other;
    Link link;
    std::int32_t length = 0;
};

Attribute ReadAttribute(std::string_view piece) {
    PieceSplitter parts(piece, '=');
    std::string_view name;
    std::size_t at = 0;
    if (!parts.Next(name, at)) {
        return {};
    }
    const bool url = name == "url";
    if (!url && name != "length") {
        return {};
    }
    std::string_view value;
    if (!parts.Next(value, at)) {
        throw FeedError(MissingAttributeValueMessage(name));
    }
    Attribute attribute;
    if (url) {
        attribute.kind = Attribute::Kind::Url;
        attribute.link = ReadLink(value);
    } else {
        attribute.kind = Attribute::Kind::Length;
        attribute.length = ParseFeedLength(Unquote(value));
    }
    return attribute;
}

void Apply(Attribute&& attribute, TEpisode& record) {
    switch (attribute.kind) {
        case Attribute::Kind::Url:
            record.url = std::move(attribute.link.url);
            record.date = std::move(attribute.link.date);
            break;
        case Attribute::Kind::Length:
            record.length = attribute.length;
            break;
        case Attribute::Kind::Other:
            break;
    }
}

// A tag that ends before the next one begins: its attributes in order.
void ReadTag(std::string_view tag, TEpisode& record) {
    PieceSplitter pieces(tag, ' ');
    std::string_view piece;
    std::size_t at = 0;
    while (pieces.Next(piece, at)) {
        Apply(ReadAttribute(piece), record);
    }
}

// Tags that begin one inside the other and so share one end. Each is read from
// its own start, as the tags are independent, but once a tag's attributes
// reach a position where an earlier tag of the group began an attribute, the
// rest is the same for both: what that rest leaves in the record (the last url
// and the last length in it) is looked up instead of read again. A conversion
// error in a shared rest never reaches the lookup, as the earlier tag has
// already thrown it.
class NestedTags {
public:
    NestedTags(std::string_view text, std::size_t end) : text_(text), end_(end) {}

    void Read(std::size_t start, TEpisode& record) {
        struct Walked {
            std::size_t at;
            int url;
            int length;
        };
        std::vector<Walked> walked;
        Rest rest;
        PieceSplitter pieces(text_.substr(start, end_ - start), ' ');
        std::string_view piece;
        std::size_t at = 0;
        while (pieces.Next(piece, at)) {
            const auto known = rests_.find(start + at);
            if (known != rests_.end()) {
                rest = known->second;
                break;
            }
            Attribute attribute = ReadAttribute(piece);
            Walked step{start + at, -1, -1};
            if (attribute.kind == Attribute::Kind::Url) {
                step.url = static_cast<int>(links_.size());
                links_.push_back(attribute.link);
            } else if (attribute.kind == Attribute::Kind::Length) {
                step.length = static_cast<int>(lengths_.size());
                lengths_.push_back(attribute.length);
            }
            Apply(std::move(attribute), record);
            walked.push_back(step);
        }
        if (rest.url >= 0) {
            record.url = links_[static_cast<std::size_t>(rest.url)].url;
            record.date = links_[static_cast<std::size_t>(rest.url)].date;
        }
        if (rest.length >= 0) {
            record.length = lengths_[static_cast<std::size_t>(rest.length)];
        }
        // What the rest from each attribute read here leaves, for later tags.
        for (auto step = walked.rbegin(); step != walked.rend(); ++step) {
            if (rest.url < 0) {
                rest.url = step->url;
            }
            if (rest.length < 0) {
                rest.length = step->length;
            }
            rests_.emplace(step->at, rest);
        }
    }

private:
    // The last url and length of a run of attributes, as indexes; -1 for none.
    struct Rest {
        int url = -1;
        int length = -1;
    };

    std::string_view text_;
    std::size_t end_;
    std::unordered_map<std::size_t, Rest> rests_;
    std::vector<Link> links_;
    std::vector<std::int32_t> lengths_;
};

}  // namespace

std::string MissingAttributeValueMessage(std::string_view name) {
    return "The enclosure attribute \"" + std::string(name) + "\" has no value";
}

TEpisodeList ScanFeedEnclosures(std::string_view text) {
    constexpr std::size_t npos = std::string_view::npos;
    const std::size_t n = text.size();
    TEpisodeList episodes;
    TEpisode record;  // reused: a tag keeps what the tags before it set
    std::size_t tagEnd = npos;
    std::size_t found = text.find(kTagStart);
    while (found != npos) {
        std::size_t start = std::min(found + kTagTextOffset, n);
        if (tagEnd == npos || tagEnd < start) {
            tagEnd = text.find(kTagEnd, start);
            if (tagEnd == npos) {
                break;
            }
        }
        const std::size_t end = tagEnd + 1;  // the tag text keeps the "/" of "/>"
        found = text.find(kTagStart, start);
        if (found == npos || found + kTagTextOffset > tagEnd) {
            ReadTag(text.substr(start, end - start), record);
            episodes.push_back(record);
            continue;
        }
        NestedTags nested(text, end);
        for (;;) {
            nested.Read(start, record);
            episodes.push_back(record);
            if (found == npos || found + kTagTextOffset > tagEnd) {
                break;
            }
            start = found + kTagTextOffset;
            found = text.find(kTagStart, start);
        }
    }
    return episodes;
}

std::int32_t ParseFeedLength(std::string_view text) {
    const auto invalid = [text] {
        return FeedError("'" + std::string(text) + "' is not a valid floating point value");
    };
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    std::size_t i = 0;
    const std::size_t n = text.size();
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // The digits of the number without its point, and where the point stood.
    std::string digits;
    while (i < n && isDigit(text[i])) {
        digits += text[i++];
    }
    long long point = static_cast<long long>(digits.size());
    if (i < n && text[i] == '.') {
        ++i;
        while (i < n && isDigit(text[i])) {
            digits += text[i++];
        }
    }
    if (digits.empty()) {
        throw invalid();
    }
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        if (i == n || !isDigit(text[i])) {
            throw invalid();
        }
        long long exponent = 0;
        while (i < n && isDigit(text[i])) {
            exponent = std::min(exponent * 10 + (text[i++] - '0'), 1'000'000'000LL);
        }
        point += negativeExponent ? -exponent : exponent;
    }
    if (i != n) {
        throw invalid();
    }

    // Truncation keeps the digits before the point, exactly.
    const std::size_t first = digits.find_first_not_of('0');
    long long magnitude = 0;
    if (first != std::string::npos && point > static_cast<long long>(first)) {
        if (point - static_cast<long long>(first) > 10) {
            throw FeedError("'" + std::string(text) + "' is out of range for a length");
        }
        for (long long d = static_cast<long long>(first); d < point; ++d) {
            const char c = d < static_cast<long long>(digits.size())
                               ? digits[static_cast<std::size_t>(d)]
                               : '0';
            magnitude = magnitude * 10 + (c - '0');
        }
    }
    if (magnitude > (negative ? 2147483648LL : 2147483647LL)) {
        throw FeedError("'" + std::string(text) + "' is out of range for a length");
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}
