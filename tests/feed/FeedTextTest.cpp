#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SlowFeedScan.h"
#include "feed/FeedDocument.h"
#include "feed/FeedError.h"
#include "feed/FeedText.h"

namespace {

TEpisode Record(const std::string& date, const std::string& url, std::int32_t length) {
    TEpisode e;
    e.date = date;
    e.url = url;
    e.length = length;
    return e;
}

std::string Enclosure(const std::string& url, const std::string& length) {
    return "<enclosure url=\"" + url + "\" length=\"" + length + "\" type=\"audio/mpeg\" />";
}

std::string ErrorOf(std::string_view text) {
    try {
        ScanFeedEnclosures(text);
    } catch (const FeedError& e) {
        return e.what();
    }
    return "(no error)";
}

// Feeds built from the pieces that matter to the scan: tags well and badly
// written, quotes of both kinds, line breaks, tags that never close or close
// much later, and dates that do and do not convert.
class FeedGenerator {
public:
    explicit FeedGenerator(unsigned seed) : random_(seed) {}

    std::string Feed() {
        // A third of the feeds carry nothing that fails, so that many scans succeed.
        trouble_ = Pick({0, 0, 1, 2, 3, 4});
        std::string feed = "<rss><channel><title>Show</title>\n";
        const int items = Between(0, 25);
        for (int i = 0; i < items; ++i) {
            feed += "<item><title>" + Pick<std::string>({"Ep", "It's on", "A \"q\"", "x y"}) +
                    "</title>" + Space();
            feed += Tag();
            feed += Space() + Noise() + "</item>" + Pick<std::string>({"\n", "", "\r\n"});
        }
        return feed + "</channel></rss>";
    }

private:
    template <typename T>
    T Pick(std::initializer_list<T> choices) {
        return *(choices.begin() + Between(0, static_cast<int>(choices.size()) - 1));
    }
    int Between(int low, int high) { return std::uniform_int_distribution(low, high)(random_); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    // A choice that may make the scan fail, never taken in a feed without trouble.
    bool Risk(int percent) { return Chance(percent * trouble_); }

    std::string Space() { return Pick<std::string>({" ", "", "\n", "\r\n  ", "  "}); }

    std::string Noise() {
        std::string noise;
        for (int i = 0; i < trouble_; ++i) {
            if (Chance(10)) {
                noise += Pick<std::string>({"'", "\"", "=", "/>", "/", " ", "\n", "url", "length",
                                            ".mp3", "<enclosure", "<enclosure ",
                                            "url=", "length=\"7\"", "x", "\t"});
            }
        }
        return noise;
    }

    std::string Link() {
        std::string digits;
        for (int i = 0; i < 6; ++i) {
            digits += static_cast<char>('0' + Between(0, 9));
        }
        std::string link = "http://h/tov" + Pick<std::string>({"_", "/a b_", "/"}) + digits;
        link += Risk(2) ? Pick<std::string>({".MP3", "", ".mp"}) : ".mp3";
        if (Chance(5)) {
            link = digits + link;  // digits first: converts even without ".mp3"
        }
        return link;
    }

    std::string Quoted(const std::string& value) {
        const std::string q = trouble_ == 0 ? "\"" : Pick<std::string>({"\"", "\"", "'", ""});
        return q + value + (Risk(1) ? "" : q);
    }

    std::string Attribute(const std::string& name, const std::string& value) {
        const std::string equals =
            trouble_ == 0 ? "=" : Pick<std::string>({"=", "=", " = ", "\n="});
        return name + equals + Quoted(value);
    }

    std::string Tag() {
        std::vector<std::string> attributes;
        if (Chance(90)) {
            attributes.push_back(Attribute("url", Link()));
        }
        if (Chance(80)) {
            attributes.push_back(Attribute(
                "length", Pick<std::string>({"1000", "4567.9", "12e2", "-3.5", "0", "12"})));
        }
        if (Chance(50)) {
            attributes.push_back(Attribute("type", "audio/mpeg"));
        }
        if (Risk(1)) {
            attributes.push_back(Pick<std::string>({"url", "length", "url=", "length ="}));
        }
        std::shuffle(attributes.begin(), attributes.end(), random_);
        std::string tag = Pick<std::string>(
            {"<enclosure ", "<enclosure ", "<enclosure\n", "<enclosure\r\n", "<enclosurex"});
        for (const std::string& attribute : attributes) {
            tag += attribute + Pick<std::string>({" ", " ", "\n", "\r\n", "  "});
        }
        // Some tags close at once, some are closed as elements and end only at
        // the next "/>" further on, which may be in a later item.
        tag += Pick<std::string>({"/>", "/>", "/>", "></enclosure>", "/ >"});
        if (trouble_ == 0 && !tag.ends_with("/>")) {
            tag.insert(tag.rfind('>'), " ");  // keeps the last attribute's value clean
        }
        return tag;
    }

    std::mt19937 random_;
    int trouble_ = 0;
};

}  // namespace

TEST(FeedText, TwoEnclosuresGiveTwoDatedRecordsWithEmptyTitles) {
    const std::string feed =
        "<rss><channel><item><title>A</title>" + Enclosure("http://h/tov_080315.mp3", "1000") +
        "</item><item>" + Enclosure("http://h/tov_080316.mp3", "2000") + "</item></channel></rss>";
    const TEpisodeList expected{Record("2008/03/15", "http://h/tov_080315.mp3", 1000),
                                Record("2008/03/16", "http://h/tov_080316.mp3", 2000)};
    EXPECT_EQ(ScanFeedEnclosures(feed), expected);
}

TEST(FeedText, TagsOverSeveralLinesAndQuotedBlanksReadLikeOneLine) {
    const std::string oneLine = Enclosure("http://h/a b/tov_101231.mp3", "5");
    const std::string lines =
        "<enclosure\r\n  url=\"http://h/a b/tov_101231.mp3\"\r\n  length=\"5\"\n  type=\"x\"\n/>";
    const TEpisodeList expected{Record("2010/12/31", "http://h/a b/tov_101231.mp3", 5)};
    EXPECT_EQ(ScanFeedEnclosures(oneLine), expected);
    EXPECT_EQ(ScanFeedEnclosures(lines), expected);
    // A quote inside the link becomes a blank; only the ends are trimmed.
    EXPECT_EQ(ScanFeedEnclosures("<enclosure url=\" a\"b_080315.mp3 \" length=1/>")[0].url,
              "a b_080315.mp3");
}

TEST(FeedText, LengthsAreTruncatedAndRepeatedWhenMissing) {
    const std::string feed = Enclosure("http://h/x_080301.mp3", "4567.9") +
                             "<enclosure url=\"http://h/x_080302.mp3\" />" +
                             Enclosure("http://h/x_080303.mp3", "-2.5") +
                             "<enclosure length=\"1e3\" />";
    const TEpisodeList expected{Record("2008/03/01", "http://h/x_080301.mp3", 4567),
                                Record("2008/03/02", "http://h/x_080302.mp3", 4567),
                                Record("2008/03/03", "http://h/x_080303.mp3", -2),
                                Record("2008/03/03", "http://h/x_080303.mp3", 1000)};
    EXPECT_EQ(ScanFeedEnclosures(feed), expected);
}

TEST(FeedText, AnAttributeRightBeforeTheEndKeepsTheSlash) {
    EXPECT_EQ(ScanFeedEnclosures("<enclosure length=\"9\" url=\"http://h/x_080315.mp3\"/>"),
              TEpisodeList{Record("2008/03/15", "http://h/x_080315.mp3 /", 9)});
    EXPECT_EQ(ErrorOf("<enclosure url=\"http://h/x_080315.mp3\" length=\"9\"/>"),
              "'9 /' is not a valid floating point value");
}

TEST(FeedText, LinksWithoutLowerCaseMp3TakeTheirFirstCharacters) {
    EXPECT_EQ(ErrorOf(Enclosure("http://h/x_080315.MP3", "1")),
              "'20ht' is not a valid integer value");
    EXPECT_EQ(ErrorOf(Enclosure("http://h/x_080315.ogg", "1")),
              "'20ht' is not a valid integer value");
    // Only a link that begins with digits gets through, with a made-up date.
    EXPECT_EQ(ScanFeedEnclosures(Enclosure("120304.MP3", "1")),
              TEpisodeList{Record("2012/12/12", "120304.MP3", 1)});
    EXPECT_EQ(ErrorOf(Enclosure("http://h/x_08a315.mp3", "1")),
              "'a3' is not a valid integer value");
}

TEST(FeedText, AnUnclosedTagEndsTheScanAndKeepsEarlierRecords) {
    const std::string feed = Enclosure("http://h/x_080315.mp3", "1") +
                             "<enclosure url=\"http://h/x_080316.mp3\" length=\"2\">";
    EXPECT_EQ(ScanFeedEnclosures(feed),
              TEpisodeList{Record("2008/03/15", "http://h/x_080315.mp3", 1)});
    EXPECT_TRUE(ScanFeedEnclosures("<rss>no enclosures here</rss>").empty());
    EXPECT_TRUE(ScanFeedEnclosures("").empty());
    EXPECT_TRUE(ScanFeedEnclosures("<enclosure").empty());
}

TEST(FeedText, AttributesWithoutValuesAndBadLengthsFailTheWholeScan) {
    const std::string good = Enclosure("http://h/x_080315.mp3", "1");
    EXPECT_EQ(ErrorOf(good + "<enclosure url length=\"3\" />"),
              "The enclosure attribute \"url\" has no value");
    EXPECT_EQ(ErrorOf(good + "<enclosure url=\"http://h/y_080316.mp3\" length= />"),
              "The enclosure attribute \"length\" has no value");
    EXPECT_EQ(ErrorOf(good + Enclosure("http://h/y_080316.mp3", "12 KB")),
              "'12 KB' is not a valid floating point value");
    // Only double quotes are taken off a value.
    EXPECT_EQ(ErrorOf("<enclosure length='12' />"), "''12'' is not a valid floating point value");
    // A tab is no blank: it does not end an attribute.
    EXPECT_EQ(ErrorOf("<enclosure length=\"1\"\tlength=\"2\" />"),
              "'1 \tlength' is not a valid floating point value");
    // An equals sign before the name makes an empty name piece, which is dropped.
    EXPECT_EQ(ScanFeedEnclosures("<enclosure =url=\"http://h/z_090102.mp3\" />")[0].url,
              "http://h/z_090102.mp3");
    // Other attributes, with or without a value, are not read at all.
    EXPECT_EQ(ScanFeedEnclosures("<enclosure type url=\"http://h/z_090102.mp3\" x=1=2 />"),
              TEpisodeList{Record("2009/01/02", "http://h/z_090102.mp3", 0)});
}

// Tags written as elements end at a "/>" further on; each must still be read
// from its own start, with the attributes up to that end.
TEST(FeedText, TagsThatShareOneEndAreEachReadFromTheirOwnStart) {
    const std::string feed =
        "<item><enclosure url=\"http://h/a_080301.mp3\" length=\"1\" ></enclosure></item>"
        "<item><enclosure url=\"http://h/a_080302.mp3\" ></enclosure></item>"
        "<item><enclosure length=\"3\" ></enclosure><link/></item>" +
        Enclosure("http://h/a_080304.mp3", "4");
    // The first three tags all end at "<link/", so each sees the attributes of
    // the tags after it, and the last url and length before that end win.
    const TEpisode shared = Record("2008/03/02", "http://h/a_080302.mp3", 3);
    EXPECT_EQ(
        ScanFeedEnclosures(feed),
        (TEpisodeList{shared, shared, shared, Record("2008/03/04", "http://h/a_080304.mp3", 4)}));
    // Written without the blank, the length takes in the rest of the tag.
    EXPECT_EQ(ErrorOf("<enclosure length=\"1\"></enclosure><x/>"),
              "'1 ></enclosure><x/' is not a valid floating point value");
}

TEST(FeedText, LengthConversion) {
    EXPECT_EQ(ParseFeedLength("4567.9"), 4567);
    EXPECT_EQ(ParseFeedLength("-4567.9"), -4567);
    EXPECT_EQ(ParseFeedLength("+.5"), 0);
    EXPECT_EQ(ParseFeedLength("1."), 1);
    EXPECT_EQ(ParseFeedLength("2.5E+3"), 2500);
    EXPECT_EQ(ParseFeedLength("123456e-3"), 123);
    EXPECT_EQ(ParseFeedLength("1e-999999999999"), 0);
    EXPECT_EQ(ParseFeedLength("2147483647.99"), 2147483647);
    EXPECT_EQ(ParseFeedLength("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(ParseFeedLength("0000000000000000042"), 42);
    for (const char* bad : {"", ".", "+", "1e", "1e+", "1,5", "0x10", "1 2", "inf", "--1"}) {
        EXPECT_THROW(ParseFeedLength(bad), FeedError) << bad;
    }
    // A size past the 32-bit range must not wrap into a wrong number.
    EXPECT_THROW(ParseFeedLength("2147483648"), FeedError);
    EXPECT_THROW(ParseFeedLength("3e9"), FeedError);
    EXPECT_THROW(ParseFeedLength("1e999999999999"), FeedError);
}

TEST(FeedText, MatchesTheSlowScanOnGeneratedFeeds) {
    int succeeded = 0;
    int failed = 0;
    int nonEmpty = 0;
    for (unsigned seed = 1; seed <= 600; ++seed) {
        const std::string feed = FeedGenerator(seed).Feed();
        const ScanResult slow = SlowScan(feed);
        ASSERT_EQ(FastScan(feed), slow) << "seed " << seed << "\n" << feed;
        if (const auto* records = std::get_if<TEpisodeList>(&slow)) {
            ++succeeded;
            nonEmpty += records->empty() ? 0 : 1;
        } else {
            ++failed;
        }
    }
    // The generator must exercise both outcomes for the comparison to mean much.
    EXPECT_GT(nonEmpty, 100);
    EXPECT_GT(failed, 100);
    EXPECT_GT(succeeded, 100);
}
