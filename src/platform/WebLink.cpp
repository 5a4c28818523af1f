#include "WebLink.h"

std::optional<std::string> NormalizedWebLink(const std::string& link) {
    const std::size_t end = link.find("://");
    if (end == std::string::npos) {
        return std::nullopt;
    }
    // ASCII only: a scheme is ASCII, and the locale's case rules must not apply.
    std::string scheme = link.substr(0, end);
    for (char& c : scheme) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    if (scheme != "http" && scheme != "https") {
        return std::nullopt;
    }
    return scheme + link.substr(end);
}
