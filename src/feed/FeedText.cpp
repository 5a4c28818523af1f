#include "FeedText.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include <pugixml.hpp>

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

// A value with every double quote blanked and blanks and control characters
// removed at both ends. A view into `value`, or into `scratch` when a quote
// sits inside the value.
std::string_view Unquote(std::string_view value, std::string& scratch) {
    const auto dropped = [](char c) { return static_cast<unsigned char>(c) <= ' ' || c == '"'; };
    std::size_t first = 0;
    std::size_t last = value.size();
    while (first < last && dropped(value[first])) {
        ++first;
    }
    while (last > first && dropped(value[last - 1])) {
        --last;
    }
    const std::string_view kept = value.substr(first, last - first);
    if (kept.find('"') == std::string_view::npos) {
        return kept;
    }
    scratch.assign(kept);
    std::replace(scratch.begin(), scratch.end(), '"', ' ');
    return scratch;
}

// `count` characters from the 1-based position `from`: nothing past the end,
// and a position before the start counts as the start.
std::string_view CharactersAt(std::string_view text, long from, std::size_t count) {
    if (from > static_cast<long>(text.size())) {
        return {};
    }
    return text.substr(static_cast<std::size_t>(std::max(from, 1L) - 1), count);
}

// `value` as printf's "%0<width>d" writes it.
void AppendPadded(std::string& out, int value, int width) {
    char digits[16];
    const auto magnitude = static_cast<unsigned>(value < 0 ? 0u - static_cast<unsigned>(value)
                                                           : static_cast<unsigned>(value));
    const auto end = std::to_chars(digits, digits + sizeof digits, magnitude).ptr;
    int length = static_cast<int>(end - digits);
    if (value < 0) {
        out += '-';
        ++length;
    }
    out.append(static_cast<std::size_t>(std::max(width - length, 0)), '0');
    out.append(digits, end);
}

// The broadcast date of a link, "yyyy/mm/dd" from the six characters before its
// first ".mp3" (from its start when it has none).
void ReadDate(std::string_view link, std::string& date) {
    const std::size_t mp3 = link.find(".mp3");
    const long k = mp3 == std::string_view::npos ? 0 : static_cast<long>(mp3) + 1;
    std::string yearText = "20";
    yearText += CharactersAt(link, k - 6, 2);
    const int year = ParseFeedInteger(yearText);
    const int month = ParseFeedInteger(CharactersAt(link, k - 4, 2));
    const int day = ParseFeedInteger(CharactersAt(link, k - 2, 2));
    date.clear();
    AppendPadded(date, year, 4);
    date += '/';
    AppendPadded(date, month, 2);
    date += '/';
    AppendPadded(date, day, 2);
}

enum class AttributeKind { Other, Url, Length };

// The kind of an attribute piece and, for url and length, its unquoted value
// (which may lie in `scratch`).
AttributeKind ReadAttribute(std::string_view piece, std::string_view& value, std::string& scratch) {
    // A piece begins with its name, or with "=" before it; most pieces of a long
    // tag are words of other elements and end here.
    if (piece[0] != 'u' && piece[0] != 'l' && piece[0] != '=') {
        return AttributeKind::Other;
    }
    PieceSplitter parts(piece, '=');
    std::string_view name;
    std::size_t at = 0;
    if (!parts.Next(name, at)) {
        return AttributeKind::Other;
    }
    const AttributeKind kind = name == "url"      ? AttributeKind::Url
                               : name == "length" ? AttributeKind::Length
                                                  : AttributeKind::Other;
    if (kind == AttributeKind::Other) {
        return kind;
    }
    if (!parts.Next(value, at)) {
        throw FeedError(MissingAttributeValueMessage(name));
    }
    value = Unquote(value, scratch);
    return kind;
}

// A tag that ends before the next one begins: its attributes in order.
void ReadTag(std::string_view tag, TEpisode& record, std::string& scratch) {
    PieceSplitter pieces(tag, ' ');
    std::string_view piece;
    std::string_view value;
    std::size_t at = 0;
    while (pieces.Next(piece, at)) {
        switch (ReadAttribute(piece, value, scratch)) {
            case AttributeKind::Url:
                ReadDate(value, record.date);
                record.url.assign(value);
                break;
            case AttributeKind::Length:
                record.length = ParseFeedLength(value);
                break;
            case AttributeKind::Other:
                break;
        }
    }
}

// Tags that begin one inside the other and so share one end. Each is read from
// its own start, as the tags are independent. A tag's first attribute usually
// begins where an earlier tag of the group also began an attribute; from there
// on both read the same attributes, so what that rest leaves in the record (its
// last url and its last length) is kept at each tag's first attribute and taken
// over instead of read again. A conversion error in a shared rest never needs
// keeping: the earlier tag has already thrown it.
class NestedTags {
public:
    NestedTags(std::string_view text, std::size_t end, std::vector<std::size_t> starts)
        : text_(text.substr(0, end)), starts_(std::move(starts)), rests_(starts_.size()) {
        firstPieces_.reserve(starts_.size());
        for (std::size_t at : starts_) {
            while (at < text_.size() && IsSkipped(text_[at])) {
                ++at;
            }
            firstPieces_.push_back(at);
        }
    }

    std::size_t Count() const { return starts_.size(); }

    // Reads the tag at index `tag` into `record`.
    void Read(std::size_t tag, TEpisode& record) {
        events_.clear();
        Rest rest;
        const std::size_t start = starts_[tag];
        PieceSplitter pieces(text_.substr(start), ' ');
        std::string_view piece;
        std::string_view value;
        std::size_t at = 0;
        std::size_t next = tag;  // the next tag whose first attribute may lie ahead
        while (pieces.Next(piece, at)) {
            const std::size_t position = start + at;
            while (next < firstPieces_.size() && firstPieces_[next] < position) {
                ++next;
            }
            if (next < firstPieces_.size() && firstPieces_[next] == position) {
                if (rests_[next].known) {
                    rest = rests_[next];
                    break;
                }
                events_.push_back({Event::Kind::Rest, next});
            }
            switch (ReadAttribute(piece, value, scratch_)) {
                case AttributeKind::Url:
                    ReadDate(value, record.date);
                    record.url.assign(value);
                    events_.push_back({Event::Kind::Url, links_.size()});
                    links_.push_back({record.url, record.date});
                    break;
                case AttributeKind::Length:
                    record.length = ParseFeedLength(value);
                    events_.push_back({Event::Kind::Length, lengths_.size()});
                    lengths_.push_back(record.length);
                    break;
                case AttributeKind::Other:
                    break;
            }
        }
        if (rest.url >= 0) {
            record.url = links_[static_cast<std::size_t>(rest.url)].url;
            record.date = links_[static_cast<std::size_t>(rest.url)].date;
        }
        if (rest.length >= 0) {
            record.length = lengths_[static_cast<std::size_t>(rest.length)];
        }
        // Back from the end, what the rest from each first attribute passed leaves.
        for (auto event = events_.rbegin(); event != events_.rend(); ++event) {
            const auto index = static_cast<long>(event->index);
            switch (event->kind) {
                case Event::Kind::Url:
                    rest.url = rest.url < 0 ? index : rest.url;
                    break;
                case Event::Kind::Length:
                    rest.length = rest.length < 0 ? index : rest.length;
                    break;
                case Event::Kind::Rest:
                    rests_[event->index] = rest;
                    rests_[event->index].known = true;
                    break;
            }
        }
    }

private:
    // The last url and length of a run of attributes, as indexes; -1 for none.
    struct Rest {
        long url = -1;
        long length = -1;
        bool known = false;
    };
    // A url or length read, or the first attribute of a later tag passed.
    struct Event {
        enum class Kind { Url, Length, Rest } kind;
        std::size_t index;
    };
    struct Link {
        std::string url;
        std::string date;
    };

    std::string_view text_;
    std::vector<std::size_t> starts_;
    std::vector<std::size_t> firstPieces_;
    std::vector<Rest> rests_;
    std::vector<Event> events_;
    std::vector<Link> links_;
    std::vector<std::int32_t> lengths_;
    std::string scratch_;
};

// The first `needle` in `text` at or after `from`. glibc's memmem is several
// times faster here than std::string_view::find, which stops at every "<".
std::size_t Find(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size()) {
        return std::string_view::npos;
    }
    const void* at = memmem(text.data() + from, text.size() - from, needle.data(), needle.size());
    return at == nullptr ? std::string_view::npos
                         : static_cast<std::size_t>(static_cast<const char*>(at) - text.data());
}

}  // namespace

std::string MissingAttributeValueMessage(std::string_view name) {
    return "The enclosure attribute \"" + std::string(name) + "\" has no value";
}

TEpisodeList ScanFeedEnclosures(std::string_view text) {
    constexpr std::size_t npos = std::string_view::npos;
    TEpisodeList episodes;
    TEpisode record;  // reused: a tag keeps what the tags before it set
    std::string scratch;
    std::size_t found = Find(text, kTagStart, 0);
    while (found != npos) {
        const std::size_t start = std::min(found + kTagTextOffset, text.size());
        const std::size_t close = Find(text, kTagEnd, start);
        if (close == npos) {
            break;
        }
        const std::size_t end = close + 1;  // the tag text keeps the "/" of "/>"
        found = Find(text, kTagStart, start);
        if (found == npos || found + kTagTextOffset > close) {
            ReadTag(text.substr(start, end - start), record, scratch);
            episodes.push_back(record);
            continue;
        }
        std::vector<std::size_t> starts{start};
        while (found != npos && found + kTagTextOffset <= close) {
            starts.push_back(found + kTagTextOffset);
            found = Find(text, kTagStart, found + kTagTextOffset);
        }
        NestedTags nested(text, end, std::move(starts));
        for (std::size_t tag = 0; tag < nested.Count(); ++tag) {
            nested.Read(tag, record);
            episodes.push_back(record);
        }
    }
    return episodes;
}

std::int32_t ParseFeedLength(std::string_view text) {
    const auto invalid = [text] {
        return FeedError("'" + std::string(text) + "' is not a valid floating point value");
    };
    const auto outOfRange = [text] {
        return FeedError("'" + std::string(text) + "' is out of range for a length");
    };
    const auto digitsAt = [text](std::size_t i) {
        std::size_t end = i;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') {
            ++end;
        }
        return text.substr(i, end - i);
    };
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::string_view whole = digitsAt(i);
    i += whole.size();
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        fraction = digitsAt(i + 1);
        i += 1 + fraction.size();
    }
    if (whole.empty() && fraction.empty()) {
        throw invalid();
    }
    // Where the point stands among the digits of whole and fraction together.
    auto point = static_cast<long long>(whole.size());
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
            negativeExponent = text[i] == '-';
            ++i;
        }
        const std::string_view exponentDigits = digitsAt(i);
        if (exponentDigits.empty()) {
            throw invalid();
        }
        i += exponentDigits.size();
        long long exponent = 0;
        for (const char c : exponentDigits) {
            exponent = std::min(exponent * 10 + (c - '0'), 1'000'000'000LL);
        }
        point += negativeExponent ? -exponent : exponent;
    }
    if (i != text.size()) {
        throw invalid();
    }

    // Truncation keeps the digits before the point, exactly.
    const auto digit = [&](long long d) -> int {
        const auto at = static_cast<std::size_t>(d);
        if (at < whole.size()) {
            return whole[at] - '0';
        }
        return at - whole.size() < fraction.size() ? fraction[at - whole.size()] - '0' : 0;
    };
    const auto count =
        static_cast<long long>(whole.size()) + static_cast<long long>(fraction.size());
    long long first = 0;
    while (first < count && digit(first) == 0) {
        ++first;
    }
    long long magnitude = 0;
    if (first < count && point > first) {
        if (point - first > 10) {
            throw outOfRange();
        }
        for (long long d = first; d < point; ++d) {
            magnitude = magnitude * 10 + digit(d);
        }
    }
    if (magnitude > (negative ? 2147483648LL : 2147483647LL)) {
        throw outOfRange();
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

std::string ScanShowTitle(std::string_view text) {
    const std::string_view head = text.substr(0, text.find("<item"));
    const std::size_t open = head.find("<title");
    const std::size_t close = head.find("</title>", open);
    if (open == std::string_view::npos || close == std::string_view::npos) {
        return {};
    }
    // Only the element itself goes to the parser: the rest of a feed read this
    // way need not be well-formed.
    const std::string_view element = head.substr(open, close + 8 - open);
    pugi::xml_document doc;
    if (!doc.load_buffer(element.data(), element.size(), pugi::parse_default,
                         pugi::encoding_utf8)) {
        return {};
    }
    return ShowTitleOf(doc.child("title"));
}
