#include "FeedDocument.h"

#include <charconv>
#include <cstring>

#include <pugixml.hpp>

#include "FeedError.h"

namespace {

// Comments and processing instructions are nodes of their own, so a comment
// before the channel takes the channel's place; whitespace-only text is dropped.
constexpr unsigned kParseOptions =
    pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_declaration;

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
std::string_view NodeText(pugi::xml_node node) {
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

// Item children are told apart by their first letter before the full compare;
// this loop runs for every node of every item of a large feed.
bool NameIs(const char* name, const char* expected) {
    return name[0] == expected[0] && std::strcmp(name, expected) == 0;
}

void ReadEnclosure(pugi::xml_node enclosure, TEpisode& episode) {
    for (pugi::xml_attribute attribute : enclosure.attributes()) {
        const char* name = attribute.name();
        if (NameIs(name, "url")) {
            episode.url = attribute.value();
        } else if (NameIs(name, "length")) {
            episode.length = ParseFeedInteger(attribute.value());
        }
    }
}

// Only the JSON form of the file: the others are not read.
std::string ChaptersLink(pugi::xml_node chapters) {
    if (std::strcmp(chapters.attribute("type").value(), "application/json+chapters") != 0) {
        return {};
    }
    return chapters.attribute("url").value();
}

void ReadItem(pugi::xml_node item, TEpisode& episode, TextLines& titles,
              std::string& chaptersLink) {
    for (pugi::xml_node child : item.children()) {
        const char* name = child.name();
        if (NameIs(name, "title")) {
            episode.title = NodeText(child);
            titles.Append(episode.title);
        } else if (NameIs(name, "desc")) {
            episode.desc = NodeText(child);
        } else if (NameIs(name, "link")) {
            episode.link = NodeText(child);
        } else if (NameIs(name, "enclosure")) {
            ReadEnclosure(child, episode);
        } else if (NameIs(name, "podcast:chapters")) {
            chaptersLink = ChaptersLink(child);
        }
    }
}

}  // namespace

std::string ShowTitleOf(const pugi::xml_node& title) {
    // All of its text, CDATA sections and entities included, as XPath reads it.
    static const pugi::xpath_query kText("string(.)");
    return title ? kText.evaluate_string(title) : std::string();
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

std::optional<FeedDocument> ParseFeedDocument(std::string text) {
    if (text.find_first_not_of(" \t\r\n") == std::string::npos) {
        return std::nullopt;  // an empty body holds no document
    }
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer_inplace(text.data(), text.size(), kParseOptions, pugi::encoding_utf8);
    if (!parsed && parsed.status != pugi::status_no_document_element) {
        // The buffer has been changed by the parse, so the place is given as a
        // byte offset into the feed as it was received.
        throw FeedError(std::string("The feed is not well-formed XML: ") + parsed.description() +
                        " at byte " + std::to_string(parsed.offset));
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
    feed.showTitle = ShowTitleOf(channel.child("title"));
    std::size_t children = 0;
    for (pugi::xml_node node = channel.first_child(); node; node = node.next_sibling()) {
        ++children;
    }
    feed.episodes.reserve(children);
    feed.chapterLinks.reserve(children);
    feed.titles.Reserve(children, children * 64);
    for (pugi::xml_node node : channel.children()) {
        if (NameIs(node.name(), "item")) {
            ReadItem(node, feed.episodes.emplace_back(), feed.titles,
                     feed.chapterLinks.emplace_back());
        }
    }
    return feed;
}
