#include "feed/FeedDocument.h"

#include <gtest/gtest.h>

#include "feed/FeedError.h"

namespace {

std::string Feed(const std::string& items, const std::string& beforeChannel = "") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<rss version=\"2.0\">" + beforeChannel +
           "\n<channel>\n<title>Show</title>\n<link>http://show/</link>\n" + items +
           "</channel>\n</rss>\n";
}

std::string Item(const std::string& title, const std::string& url, const std::string& length) {
    return "<item><title>" + title + "</title><enclosure url=\"" + url + "\" length=\"" + length +
           "\" type=\"audio/mpeg\"/></item>\n";
}

FeedDocument ParseOk(const std::string& text) {
    std::optional<FeedDocument> feed = ParseFeedDocument(text);
    EXPECT_TRUE(feed.has_value());
    return feed.value_or(FeedDocument{});
}

std::string ErrorOf(const std::string& text) {
    try {
        ParseFeedDocument(text);
    } catch (const FeedError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(FeedDocument, ItemsBecomeRecordsInFeedOrderWithTheirTitles) {
    const FeedDocument feed = ParseOk(Feed(Item("첫째 방송", "http://h/a_080315.mp3", "100") +
                                           Item("Two &amp; more", "http://h/b.mp3", "200") +
                                           Item("Three", "http://h/c.mp3", "-3")));
    ASSERT_EQ(feed.episodes.size(), 3u);
    EXPECT_EQ(feed.titles.ToVector(),
              (std::vector<std::string>{"첫째 방송", "Two & more", "Three"}));
    EXPECT_EQ(feed.episodes[0].url, "http://h/a_080315.mp3");
    EXPECT_EQ(feed.episodes[0].length, 100);
    EXPECT_EQ(feed.episodes[1].title, "Two & more");
    EXPECT_EQ(feed.episodes[2].length, -3);
    for (const TEpisode& e : feed.episodes) {
        EXPECT_TRUE(e.date.empty());  // only the text scan fills the date
    }
}

// The channel's own title and link, and nodes that are not items, never become
// records or lines.
TEST(FeedDocument, OnlyItemChildrenOfTheChannelCount) {
    const FeedDocument feed = ParseOk(
        Feed("<description>d</description><!-- c --><?pi x?>" + Item("A", "http://h/a.mp3", "1")));
    ASSERT_EQ(feed.episodes.size(), 1u);
    EXPECT_EQ(feed.titles.ToVector(), std::vector<std::string>{"A"});
}

TEST(FeedDocument, MissingPartsGiveEmptyFieldsAndRepeatedNamesOverwrite) {
    const FeedDocument feed =
        ParseOk(Feed("<item><title>no length</title><enclosure url=\"http://h/x.mp3\"/></item>"
                     "<item><title>no enclosure</title><desc>d</desc><link>l</link></item>"
                     "<item><title>first</title><title>second</title></item>"
                     "<item></item>"));
    ASSERT_EQ(feed.episodes.size(), 4u);
    EXPECT_EQ(feed.episodes[0].length, 0);
    EXPECT_EQ(feed.episodes[0].url, "http://h/x.mp3");
    EXPECT_EQ(feed.episodes[1].url, "");
    EXPECT_EQ(feed.episodes[1].desc, "d");
    EXPECT_EQ(feed.episodes[1].link, "l");
    EXPECT_EQ(feed.episodes[2].title, "second");
    // Every title element adds a line, so lines and records drift apart.
    EXPECT_EQ(feed.titles.ToVector(),
              (std::vector<std::string>{"no length", "no enclosure", "first", "second"}));
    EXPECT_EQ(feed.episodes[3], TEpisode{});
}

TEST(FeedDocument, CdataAndLongTextsAreKeptWhole) {
    const std::string longTitle(5000, 'x');
    const FeedDocument feed = ParseOk(
        Feed("<item><title><![CDATA[a <b> c]]></title></item>" + Item(longTitle, "u", "1")));
    EXPECT_EQ(feed.episodes[0].title, "a <b> c");
    EXPECT_EQ(feed.episodes[1].title, longTitle);
}

// Nothing to load is not an error: the catalogue keeps what it holds.
TEST(FeedDocument, EmptyBodyAndEmptyChannelChangeNothing) {
    EXPECT_FALSE(ParseFeedDocument("").has_value());
    EXPECT_FALSE(ParseFeedDocument(" \r\n\t").has_value());
    EXPECT_FALSE(ParseFeedDocument("<rss><channel></channel></rss>").has_value());
    EXPECT_FALSE(ParseFeedDocument("<rss><channel>   </channel></rss>").has_value());
    // A comment placed before the channel takes its place, and has no children.
    EXPECT_FALSE(ParseFeedDocument(Feed(Item("A", "u", "1"), "<!-- first -->")).has_value());
}

TEST(FeedDocument, MalformedDocumentsRaiseWithTheirPlace) {
    EXPECT_EQ(ErrorOf("<rss><channel><item></channel></rss>"),
              "The feed is not well-formed XML: Start-end tags mismatch at byte 22");
    EXPECT_NE(ErrorOf("<rss>\n<channel>\n<item><title>x</item>").find("at byte 32"),
              std::string::npos);
    EXPECT_NE(ErrorOf("plain text").find("not well-formed"), std::string::npos);
    EXPECT_NE(ErrorOf("<a/><b/>").find("more than one"), std::string::npos);
    EXPECT_NE(ErrorOf("<!-- only a comment -->").find("no document element"), std::string::npos);
    EXPECT_NE(ErrorOf("<rss/>").find("no child nodes"), std::string::npos);
}

TEST(FeedDocument, ElementWhoseContentIsNotOneTextRaises) {
    EXPECT_EQ(ErrorOf(Feed("<item><title>a<b/>c</title></item>")),
              "Element \"title\" does not contain a single text node");
    EXPECT_EQ(ErrorOf(Feed("<item><link><!--x-->y</link></item>")),
              "Element \"link\" does not contain a single text node");
}

TEST(FeedDocument, LengthMustBeADecimalInteger) {
    EXPECT_EQ(ErrorOf(Feed(Item("A", "u", "12.5"))), "'12.5' is not a valid integer value");
    EXPECT_EQ(ErrorOf(Feed(Item("A", "u", ""))), "'' is not a valid integer value");
    EXPECT_EQ(ParseFeedInteger(" 42"), 42);
    EXPECT_EQ(ParseFeedInteger("+7"), 7);
    EXPECT_EQ(ParseFeedInteger("2147483647"), 2147483647);
    EXPECT_EQ(ParseFeedInteger("-2147483648"), -2147483647 - 1);
    for (const char* bad : {"2147483648", "12 ", "0x10", "-", "1e3", "٣"}) {
        EXPECT_THROW(ParseFeedInteger(bad), FeedError) << bad;
    }
}

// Each record has its chapters link beside it, so a link of one item never
// goes to another; only the JSON form is taken.
TEST(FeedDocument, ChaptersLinksStayBesideTheirItems) {
    const std::string chapters =
        "<item><title>A</title><podcast:chapters url=\"http://h/a.json\" "
        "type=\"application/json+chapters\"/><enclosure url=\"http://h/a.mp3\"/></item>\n"
        "<item><title>B</title><enclosure url=\"http://h/b.mp3\"/></item>\n"
        "<item><title>C</title><podcast:chapters url=\"http://h/c.html\" "
        "type=\"text/html\"/></item>\n";
    const FeedDocument feed = ParseOk(Feed(chapters));
    ASSERT_EQ(feed.episodes.size(), 3u);
    EXPECT_EQ(feed.chapterLinks, (std::vector<std::string>{"http://h/a.json", "", ""}));
}
