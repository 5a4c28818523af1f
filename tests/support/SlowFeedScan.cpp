#include "SlowFeedScan.h"

#include <cstdio>
#include <vector>

#include "feed/FeedDocument.h"
#include "feed/FeedError.h"
#include "feed/FeedText.h"

namespace {

std::vector<std::string> SlowSplit(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\r' || text[i] == '\n')) {
            ++i;
        }
        std::string piece;
        char quote = 0;
        while (i < text.size()) {
            const char c = text[i];
            if (quote == 0 && (c == separator || c == '\r' || c == '\n')) {
                break;
            }
            if (c == '"' || c == '\'') {
                if (quote == c) {
                    quote = 0;
                } else if (quote == 0) {
                    quote = c;
                }
            }
            piece += c;
            ++i;
        }
        ++i;  // the character that ended the piece
        if (!piece.empty()) {
            pieces.push_back(piece);
        }
    }
    return pieces;
}

std::string SlowTrim(std::string s) {
    for (char& c : s) {
        if (c == '"') {
            c = ' ';
        }
    }
    while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') {
        s.erase(0, 1);
    }
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') {
        s.pop_back();
    }
    return s;
}

std::string SlowCopy(const std::string& s, long index, long count) {
    if (index > static_cast<long>(s.size())) {
        return "";
    }
    if (index < 1) {
        index = 1;
    }
    return s.substr(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
}

long SlowPos(const std::string& what, const std::string& in) {
    const std::size_t at = in.find(what);
    return at == std::string::npos ? 0 : static_cast<long>(at) + 1;
}

}  // namespace

ScanResult SlowScan(std::string text) {
    TEpisodeList episodes;
    TEpisode record;
    try {
        long p = SlowPos("<enclosure", text);
        while (p > 0) {
            text.erase(0, static_cast<std::size_t>(p + 10));
            const long q = SlowPos("/>", text);
            if (q == 0) {
                break;
            }
            const std::string tag = text.substr(0, static_cast<std::size_t>(q));
            for (const std::string& attribute : SlowSplit(tag, ' ')) {
                const std::vector<std::string> parts = SlowSplit(attribute, '=');
                if (parts.empty()) {
                    continue;
                }
                if ((parts[0] == "url" || parts[0] == "length") && parts.size() < 2) {
                    throw FeedError(MissingAttributeValueMessage(parts[0]));
                }
                if (parts[0] == "url") {
                    const std::string link = SlowTrim(parts[1]);
                    const long k = SlowPos(".mp3", link);
                    const int year = ParseFeedInteger("20" + SlowCopy(link, k - 6, 2));
                    const int month = ParseFeedInteger(SlowCopy(link, k - 4, 2));
                    const int day = ParseFeedInteger(SlowCopy(link, k - 2, 2));
                    char date[64];
                    std::snprintf(date, sizeof date, "%04d/%02d/%02d", year, month, day);
                    record.date = date;
                    record.url = link;
                }
                if (parts[0] == "length") {
                    record.length = ParseFeedLength(SlowTrim(parts[1]));
                }
            }
            episodes.push_back(record);
            p = SlowPos("<enclosure", text);
        }
    } catch (const FeedError& e) {
        return std::string(e.what());
    }
    return episodes;
}

ScanResult FastScan(const std::string& text) {
    try {
        return ScanFeedEnclosures(text);
    } catch (const FeedError& e) {
        return std::string(e.what());
    }
}
