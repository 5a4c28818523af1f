#include "FeedDocument.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include <pugixml.hpp>

#include "FeedError.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Comments and processing instructions are nodes of their own, so a comment
// before the channel takes the channel's place; whitespace-only text is dropped.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration;

bool IsValidUtf8(std::string_view s) {
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    while (p < end) {
        // Runs of ASCII are the common case in a feed; skip them eight at a time.
        while (end - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, sizeof word);
            if ((word & 0x8080808080808080ULL) != 0) {
                break;
            }
            p += 8;
        }
        if (p == end) {
            break;
        }
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        std::uint32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) {
            return false;
        }
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are not UTF-8.
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF)) {
            return false;
        }
        p += extra + 1;
    }
    return true;
}

std::string LineAndColumn(std::string_view text, std::ptrdiff_t offset) {
    offset = std::clamp<std::ptrdiff_t>(offset, 0, static_cast<std::ptrdiff_t>(text.size()));
    const std::string_view before = text.substr(0, static_cast<std::size_t>(offset));
    const auto line = std::count(before.begin(), before.end(), '\n') + 1;
    const auto lastBreak = before.rfind('\n');
    const auto column = static_cast<std::ptrdiff_t>(
        lastBreak == std::string_view::npos ? before.size() + 1 : before.size() - lastBreak);
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// MSXML-like strictness on top of pugixml: exactly one top-level element and no
// text beside it.
void CheckTopLevel(const pugi::xml_document& doc) {
    int elements = 0;
    for (pugi::xml_node node : doc.children()) {
        switch (node.type()) {
            case pugi::node_element:
                ++elements;
                break;
            case pugi::node_pcdata:
            case pugi::node_cdata:
                throw FeedError(
                    "The feed is not well-formed XML: text outside the document element");
            default:
                break;
        }
    }
    if (elements == 0) {
        throw FeedError("The feed is not well-formed XML: it has no document element");
    }
    if (elements > 1) {
        throw FeedError("The feed is not well-formed XML: more than one document element");
    }
}

// The text of a node: for an element, the value of its only child, which must be
// text; an element without children has the empty text.
std::string NodeText(pugi::xml_node node) {
    if (node.type() != pugi::node_element) {
        return node.value();
    }
    const pugi::xml_node first = node.first_child();
    if (!first) {
        return {};
    }
    const bool text = first.type() == pugi::node_pcdata || first.type() == pugi::node_cdata;
    if (!text || first.next_sibling()) {
        throw FeedError(std::string("Element \"") + node.name() +
                        "\" does not contain a single text node");
    }
    return first.value();
}

TEpisode ReadItem(pugi::xml_node item, std::vector<std::string>& titles) {
    TEpisode episode;
    for (pugi::xml_node child : item.children()) {
        const char* name = child.name();
        if (std::strcmp(name, "title") == 0) {
            episode.title = NodeText(child);
            titles.push_back(episode.title);
        } else if (std::strcmp(name, "desc") == 0) {
            episode.desc = NodeText(child);
        } else if (std::strcmp(name, "link") == 0) {
            episode.link = NodeText(child);
        } else if (std::strcmp(name, "enclosure") == 0) {
            for (pugi::xml_attribute attribute : child.attributes()) {
                if (std::strcmp(attribute.name(), "url") == 0) {
                    episode.url = attribute.value();
                } else if (std::strcmp(attribute.name(), "length") == 0) {
                    episode.length = ParseFeedInteger(attribute.value());
                }
            }
        }
    }
    return episode;
}

}  // namespace

std::optional<std::string> DecodeFeedBody(std::string_view body) {
    if (body.starts_with(kUtf8Bom)) {
        body.remove_prefix(kUtf8Bom.size());
    }
    if (!IsValidUtf8(body)) {
        return std::nullopt;
    }
    return std::string(body);
}

std::int32_t ParseFeedInteger(std::string_view text) {
    std::string_view digits = text;
    while (digits.starts_with(' ')) {
        digits.remove_prefix(1);
    }
    bool negative = false;
    if (digits.starts_with('+') || digits.starts_with('-')) {
        negative = digits.front() == '-';
        digits.remove_prefix(1);
    }
    std::uint32_t magnitude = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::uint32_t limit = negative ? 0x80000000u : 0x7FFFFFFFu;
    if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
        magnitude > limit) {
        throw FeedError("'" + std::string(text) + "' is not a valid integer value");
    }
    return negative ? static_cast<std::int32_t>(0u - magnitude)
                    : static_cast<std::int32_t>(magnitude);
}

std::optional<FeedDocument> ParseFeedDocument(std::string_view text) {
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return std::nullopt;  // an empty body holds no document
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed && parsed.status != pugi::status_no_document_element) {
        throw FeedError(std::string("The feed is not well-formed XML: ") + parsed.description() +
                        " (" + LineAndColumn(text, parsed.offset) + ")");
    }
    CheckTopLevel(doc);

    const pugi::xml_node root = doc.document_element();
    const pugi::xml_node channel = root.first_child();
    if (!channel) {
        throw FeedError(std::string("The document element \"") + root.name() +
                        "\" has no child nodes");
    }
    if (!channel.first_child()) {
        return std::nullopt;  // an empty channel changes nothing
    }

    FeedDocument feed;
    for (pugi::xml_node node : channel.children()) {
        if (std::strcmp(node.name(), "item") == 0) {
            feed.episodes.push_back(ReadItem(node, feed.titles));
        }
    }
    return feed;
}
