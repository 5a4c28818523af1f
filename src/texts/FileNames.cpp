#include "FileNames.h"

#include <algorithm>

#include "feed/FeedEncoding.h"

namespace {

constexpr char kSeparator = '/';
constexpr const char* kFallbackSaveName = "episode.mp3";

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Percent-decoded `text`; escapes of a separator or a control character are
// kept as they are, since neither belongs in a file name.
std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
            HexValue(text[i + 2]) >= 0) {
            const auto byte =
                static_cast<unsigned char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            if (byte != kSeparator && byte >= 0x20 && byte != 0x7F) {
                decoded += static_cast<char>(byte);
                i += 2;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

}  // namespace

std::string SaveFileName(const std::string& link) {
    // The path ends where the query or the fragment begins; it starts after
    // the scheme and the host, when the link names them.
    const std::size_t end = std::min(link.find_first_of("?#"), link.size());
    std::size_t start = 0;
    const std::size_t scheme = link.find("://");
    if (scheme != std::string::npos && scheme < end) {
        start = std::min(link.find('/', scheme + 3), end);
    }
    const std::string path = link.substr(start, end - start);
    const std::size_t slash = path.rfind(kSeparator);
    std::string segment = slash == std::string::npos ? path : path.substr(slash + 1);
    segment.erase(std::remove(segment.begin(), segment.end(), '\0'), segment.end());

    std::string name = PercentDecoded(segment);
    if (FindInvalidUtf8(name) != std::string::npos) {
        name = segment;
    }
    if (name.empty() || name == "." || name == "..") {
        return kFallbackSaveName;
    }
    return name;
}

std::string LinkFileName(const std::string& link) {
    const auto slash = link.rfind('/');
    return slash == std::string::npos ? link : link.substr(slash + 1);
}

std::string PathFileName(const std::string& path) {
    const auto slash = path.rfind(kSeparator);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string PathFolder(const std::string& path) {
    const auto slash = path.rfind(kSeparator);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string PanelFileName(const std::string& date) {
    std::string base = date;
    std::replace(base.begin(), base.end(), '/', '-');
    return "TOV" + base + ".mp3";
}
