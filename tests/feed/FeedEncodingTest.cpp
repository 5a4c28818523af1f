#include "feed/FeedEncoding.h"

#include <cstdint>

#include <gtest/gtest.h>

#include "feed/FeedDocument.h"
#include "feed/FeedError.h"

namespace {

std::string Decoded(std::string body) {
    DecodeFeedBody(body);
    return body;
}

std::string ErrorOf(std::string body) {
    try {
        DecodeFeedBody(body);
    } catch (const FeedError& e) {
        return e.what();
    }
    return "(no error)";
}

const std::string kUtf8Feed =
    "<?xml version=\"1.0\"?><rss><channel><item><title>방송</title></item></channel></rss>";

}  // namespace

TEST(FeedEncoding, Utf8IsKeptAndItsByteOrderMarkDropped) {
    EXPECT_EQ(Decoded(kUtf8Feed), kUtf8Feed);
    EXPECT_EQ(Decoded("\xEF\xBB\xBF" + kUtf8Feed), kUtf8Feed);
    EXPECT_EQ(Decoded("\xF0\x9F\x8E\xB5 ok"), "\xF0\x9F\x8E\xB5 ok");
    EXPECT_EQ(ParseFeedDocument(Decoded("\xEF\xBB\xBF" + kUtf8Feed))->titles[0], "방송");
}

// Bytes that are not UTF-8 are reported with the place of the first bad byte.
TEST(FeedEncoding, InvalidUtf8IsAnErrorNamingTheByte) {
    EXPECT_EQ(ErrorOf("<rss>\xB9\xE6</rss>"),
              "The feed is not valid UTF-8 text: byte 0xB9 at offset 5");
    EXPECT_EQ(FindInvalidUtf8("\xC0\xAF"), 0u);                      // overlong
    EXPECT_EQ(FindInvalidUtf8("ab\xED\xA0\x80"), 2u);                // surrogate
    EXPECT_EQ(FindInvalidUtf8("abc\xE2\x82"), 3u);                   // cut short
    EXPECT_EQ(FindInvalidUtf8("\xF4\x90\x80\x80"), 0u);              // past U+10FFFF
    EXPECT_EQ(FindInvalidUtf8(std::string(40, 'a') + "\x80"), 40u);  // after the fast path
    EXPECT_EQ(FindInvalidUtf8("\xE2\x82\xAC \xF0\x9F\x8E\xB5"), std::string_view::npos);
    EXPECT_NE(ErrorOf("\xEF\xBB\xBF\xFF").find("offset 3"), std::string::npos);
}

TEST(FeedEncoding, DeclaredKoreanEncodingsAreConverted) {
    // "방송" in EUC-KR, and "똠", which only the wider code page 949 has.
    const std::string euckr =
        "<?xml version=\"1.0\" encoding=\"EUC-KR\"?><rss><channel><item><title>\xB9\xE6\xBC\xDB "
        "\x8C\x63</title></item></channel></rss>";
    const std::string text = Decoded(euckr);
    EXPECT_EQ(ParseFeedDocument(text)->titles[0], "방송 똠");
    EXPECT_EQ(
        ParseFeedDocument(Decoded("<?xml version='1.0' encoding = 'cp949' ?><a><c><item/></c></a>"))
            ->episodes.size(),
        1u);
}

TEST(FeedEncoding, Utf16WithByteOrderMarkIsConverted) {
    const std::string utf16 =
        std::string("\xFF\xFE", 2) + std::string("<\0a\0>\0\x5C\xD5\x00\xAE<\0/\0a\0>\0", 18);
    EXPECT_EQ(Decoded(utf16), "<a>한글</a>");
}

TEST(FeedEncoding, UndecodableOrUnknownEncodingsAreErrors) {
    EXPECT_EQ(ErrorOf("<?xml version=\"1.0\" encoding=\"euc-kr\"?><a>\xFF\xFF</a>"),
              "The feed is not valid euc-kr text: byte 0xFF at offset 42");
    EXPECT_EQ(ErrorOf("<?xml version=\"1.0\" encoding=\"x-no-such\"?><a/>"),
              "The feed's encoding \"x-no-such\" is not supported");
}

TEST(FeedEncoding, DeclarationIsReadInItsUsualForms) {
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\" encoding=\"EUC-KR\"?>"), "euc-kr");
    EXPECT_EQ(DeclaredEncoding("<?xml version='1.0' encoding = 'Windows-949' ?>"), "windows-949");
    EXPECT_EQ(DeclaredEncoding("<?xml version=\"1.0\"?><a encoding=\"x\"/>"), "");
    EXPECT_EQ(DeclaredEncoding("<rss/>"), "");
    EXPECT_EQ(DeclaredEncoding("<?xml encoding=\"unterminated"), "");
}

// The fast check must agree with the byte-by-byte one on every input, at every
// position relative to its 16-byte blocks.
TEST(FeedEncoding, FastUtf8CheckAgreesWithTheByteByByteOne) {
    const std::vector<std::string> pieces = {
        "a", "\x7F", "\xC2\x80", "\xDF\xBF", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEA\xB0\x80",
        "\xEF\xBF\xBF", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF",
        // invalid forms
        "\x80", "\xBF", "\xC0\x80", "\xC1\xBF", "\xC2", "\xE0\x80\x80", "\xE0\x9F\xBF",
        "\xED\xA0\x80", "\xEA\xB0", "\xF0\x80\x80\x80", "\xF0\x8F\xBF\xBF", "\xF4\x90\x80\x80",
        "\xF5\x80\x80\x80", "\xFF", "\xF0\x90\x80", "\xC2\x80\x80"};
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        const int count = static_cast<int>(next() % 24);
        for (int i = 0; i < count; ++i) {
            // Mostly valid pieces, so that errors fall at every offset.
            const std::size_t pick = next() % 40 < 37 ? next() % 10 : next() % pieces.size();
            text += pieces[pick];
            if (next() % 3 == 0) {
                text += std::string(next() % 20, 'x');
            }
        }
        if (round % 7 == 0) {
            for (int i = 0; i < 8; ++i) {
                text += static_cast<char>(next() & 0xFF);
            }
        }
        ASSERT_EQ(FindInvalidUtf8(text), FindInvalidUtf8Scalar(text)) << "round " << round;
    }
}
