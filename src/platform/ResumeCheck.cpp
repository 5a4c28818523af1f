#include "ResumeCheck.h"

#include <algorithm>
#include <charconv>

namespace {

// Header values go back to the server in a request: nothing that could end
// or fold a header line, nor anything longer than a validator needs.
constexpr std::size_t kMaxValidator = 256;

bool SafeHeaderValue(std::string_view value) {
    return !value.empty() && value.size() <= kMaxValidator &&
           std::none_of(value.begin(), value.end(), [](char c) {
               const auto byte = static_cast<unsigned char>(c);
               return byte < 0x20 || byte == 0x7F;
           });
}

std::string_view Trim(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

bool SameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// Reads a decimal number from the front of `text` and drops it.
bool TakeNumber(std::string_view& text, std::uint64_t& number) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end == text.data()) {
        return false;
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return true;
}

bool TakeChar(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

}  // namespace

std::optional<std::string_view> HeaderValue(std::string_view line, std::string_view name) {
    if (line.size() <= name.size() || line[name.size()] != ':' ||
        !SameLetters(line.substr(0, name.size()), name)) {
        return std::nullopt;
    }
    return Trim(line.substr(name.size() + 1));
}

std::string IfRangeValidator(std::string_view etag, std::string_view lastModified) {
    if (!etag.empty()) {
        const bool strong = etag.size() >= 2 && etag.front() == '"' && etag.back() == '"';
        return strong && SafeHeaderValue(etag) ? std::string(etag) : std::string();
    }
    return SafeHeaderValue(lastModified) ? std::string(lastModified) : std::string();
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
    value = Trim(value);
    if (value.size() < 6 || !SameLetters(value.substr(0, 5), "bytes") || value[5] != ' ') {
        return std::nullopt;
    }
    value = Trim(value.substr(6));
    ContentRange range;
    if (!TakeNumber(value, range.first) || !TakeChar(value, '-') ||
        !TakeNumber(value, range.last) || !TakeChar(value, '/') ||
        !TakeNumber(value, range.total) || !value.empty() || range.first > range.last ||
        range.last >= range.total) {
        return std::nullopt;
    }
    return range;
}

bool IsBrokenConnection(CURLcode code) {
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_PARTIAL_FILE:
        case CURLE_OPERATION_TIMEDOUT:
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return true;
        default:
            return false;
    }
}
