#include "FeedEncoding.h"

#include <iconv.h>

#if defined(__x86_64__) || defined(__i386__)
#include <tmmintrin.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "FeedError.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return lower;
}

// Korean sites label their pages EUC-KR but write the wider Windows code page
// 949; read every such label as the wider one, as web browsers do.
std::string IconvName(const std::string& label) {
    for (const char* korean : {"euc-kr", "euckr", "cp949", "windows-949", "ks_c_5601-1987", "uhc",
                               "x-windows-949", "ks_c_5601"}) {
        if (label == korean) {
            return "CP949";
        }
    }
    return label;
}

std::string ByteText(unsigned char byte) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

// Converts `body` from `from` to UTF-8 with iconv; throws FeedError on a byte
// sequence the encoding does not have.
void Convert(std::string& body, std::size_t skip, const std::string& from,
             const std::string& label) {
    iconv_t cd = iconv_open("UTF-8", from.c_str());
    // iconv_open reports failure as (iconv_t)-1.
    if (cd == reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr)
        throw FeedError("The feed's encoding \"" + label + "\" is not supported");
    }
    std::string out(body.size() * 2 + 16, '\0');
    char* in = body.data() + skip;
    std::size_t inLeft = body.size() - skip;
    std::size_t done = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + done;
        std::size_t outLeft = out.size() - done;
        const std::size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        done = out.size() - outLeft;
        if (result != static_cast<std::size_t>(-1)) {
            break;
        }
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        const auto offset = static_cast<std::size_t>(in - body.data());
        iconv_close(cd);
        throw FeedError("The feed is not valid " + label + " text: byte " +
                        ByteText(static_cast<unsigned char>(body[offset])) + " at offset " +
                        std::to_string(offset));
    }
    iconv_close(cd);
    out.resize(done);
    body = std::move(out);
}

void RequireUtf8(const std::string& body, std::size_t from) {
    const std::size_t bad = FindInvalidUtf8(std::string_view(body).substr(from));
    if (bad != std::string_view::npos) {
        const std::size_t offset = from + bad;
        throw FeedError("The feed is not valid UTF-8 text: byte " +
                        ByteText(static_cast<unsigned char>(body[offset])) + " at offset " +
                        std::to_string(offset));
    }
}

}  // namespace

std::size_t FindInvalidUtf8Scalar(std::string_view text) {
    const auto* begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* p = begin;
    const auto* end = p + text.size();
    while (p < end) {
        // Runs of ASCII are the common case in a feed; skip them 16 bytes at a time.
        while (end - p >= 16) {
            std::uint64_t a;
            std::uint64_t b;
            std::memcpy(&a, p, sizeof a);
            std::memcpy(&b, p + 8, sizeof b);
            if (((a | b) & 0x8080808080808080ULL) != 0) {
                break;
            }
            p += 16;
        }
        if (p == end) {
            break;
        }
        const unsigned char c = *p;
        const std::ptrdiff_t left = end - p;
        bool valid;
        int length = 1;
        if (c < 0x80) {
            valid = true;
        } else if (c < 0xC2) {
            valid = false;  // a stray continuation byte, or an overlong two-byte form
        } else if (c < 0xE0) {
            length = 2;
            valid = left >= 2 && IsContinuation(p[1]);
        } else if (c < 0xF0) {
            length = 3;
            // Overlong forms below U+0800 and the UTF-16 surrogates are not UTF-8.
            valid = left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2]) &&
                    !(c == 0xE0 && p[1] < 0xA0) && !(c == 0xED && p[1] >= 0xA0);
        } else if (c < 0xF5) {
            length = 4;
            // Overlong forms below U+10000 and code points past U+10FFFF.
            valid = left >= 4 && IsContinuation(p[1]) && IsContinuation(p[2]) &&
                    IsContinuation(p[3]) && !(c == 0xF0 && p[1] < 0x90) &&
                    !(c == 0xF4 && p[1] >= 0x90);
        } else {
            valid = false;
        }
        if (!valid) {
            return static_cast<std::size_t>(p - begin);
        }
        p += length;
    }
    return std::string_view::npos;
}

#if defined(__x86_64__) || defined(__i386__)

// Checks 16 bytes at a time with SSSE3 table lookups: every pair of adjacent
// bytes is classified by three small tables (the high and low half of the
// first byte, the high half of the second), whose bitwise AND is non-zero
// exactly for the pairs that cannot occur in UTF-8; two further checks catch
// missing or extra continuation bytes of three- and four-byte forms. Validating
// a large feed this way costs a fraction of parsing it.
namespace simd {

constexpr char kTooShort = 1 << 0;
constexpr char kTooLong = 1 << 1;
constexpr char kOverlong3 = 1 << 2;
constexpr char kTooLarge = 1 << 3;
constexpr char kSurrogate = 1 << 4;
constexpr char kOverlong2 = 1 << 5;
constexpr char kTooLarge1000 = 1 << 6;
constexpr char kOverlong4 = 1 << 6;
constexpr char kTwoConts = static_cast<char>(1 << 7);
constexpr char kCarry = kTooShort | kTooLong | kTwoConts;

__attribute__((target("ssse3"))) inline __m128i HighNibbles(__m128i v) {
    return _mm_and_si128(_mm_srli_epi16(v, 4), _mm_set1_epi8(0x0F));
}

__attribute__((target("ssse3"))) inline __m128i SpecialCases(__m128i input, __m128i prev1) {
    const __m128i byte1High = _mm_shuffle_epi8(
        _mm_setr_epi8(kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong, kTooLong,
                      kTooLong, kTwoConts, kTwoConts, kTwoConts, kTwoConts, kTooShort | kOverlong2,
                      kTooShort, kTooShort | kOverlong3 | kSurrogate,
                      kTooShort | kTooLarge | kTooLarge1000 | kOverlong4),
        HighNibbles(prev1));
    const __m128i byte1Low = _mm_shuffle_epi8(
        _mm_setr_epi8(kCarry | kOverlong3 | kOverlong2 | kOverlong4, kCarry | kOverlong2, kCarry,
                      kCarry, kCarry | kTooLarge, kCarry | kTooLarge | kTooLarge1000,
                      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000,
                      kCarry | kTooLarge | kTooLarge1000,
                      kCarry | kTooLarge | kTooLarge1000 | kSurrogate,
                      kCarry | kTooLarge | kTooLarge1000, kCarry | kTooLarge | kTooLarge1000),
        _mm_and_si128(prev1, _mm_set1_epi8(0x0F)));
    const __m128i byte2High = _mm_shuffle_epi8(
        _mm_setr_epi8(kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort, kTooShort,
                      kTooShort,
                      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge1000 | kOverlong4,
                      kTooLong | kOverlong2 | kTwoConts | kOverlong3 | kTooLarge,
                      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge,
                      kTooLong | kOverlong2 | kTwoConts | kSurrogate | kTooLarge, kTooShort,
                      kTooShort, kTooShort, kTooShort),
        HighNibbles(input));
    return _mm_and_si128(_mm_and_si128(byte1High, byte1Low), byte2High);
}

__attribute__((target("ssse3"))) inline __m128i BlockErrors(__m128i input, __m128i previous) {
    const __m128i prev1 = _mm_alignr_epi8(input, previous, 15);
    const __m128i special = SpecialCases(input, prev1);
    const __m128i prev2 = _mm_alignr_epi8(input, previous, 14);
    const __m128i prev3 = _mm_alignr_epi8(input, previous, 13);
    // Bytes that must be the third or fourth byte of a sequence.
    const __m128i third = _mm_subs_epu8(prev2, _mm_set1_epi8(static_cast<char>(0xE0 - 1)));
    const __m128i fourth = _mm_subs_epu8(prev3, _mm_set1_epi8(static_cast<char>(0xF0 - 1)));
    const __m128i mustContinue = _mm_cmpgt_epi8(_mm_or_si128(third, fourth), _mm_setzero_si128());
    return _mm_xor_si128(_mm_and_si128(mustContinue, _mm_set1_epi8(kTwoConts)), special);
}

// Non-zero where the block ends inside a sequence.
__attribute__((target("ssse3"))) inline __m128i Incomplete(__m128i input) {
    const __m128i limits = _mm_setr_epi8(-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                         static_cast<char>(0xF0 - 1), static_cast<char>(0xE0 - 1),
                                         static_cast<char>(0xC0 - 1));
    return _mm_subs_epu8(input, limits);
}

__attribute__((target("ssse3"))) bool IsValid(const unsigned char* p, std::size_t size) {
    __m128i error = _mm_setzero_si128();
    __m128i previous = _mm_setzero_si128();
    __m128i incomplete = _mm_setzero_si128();
    std::size_t i = 0;
    unsigned char tail[16];
    while (i < size) {
        __m128i input;
        if (size - i >= 16) {
            input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        } else {
            // The last bytes, padded with zeros, which are ASCII.
            std::memset(tail, 0, sizeof tail);
            std::memcpy(tail, p + i, size - i);
            input = _mm_loadu_si128(reinterpret_cast<const __m128i*>(tail));
        }
        if (_mm_movemask_epi8(input) == 0) {
            error = _mm_or_si128(error, incomplete);
            incomplete = _mm_setzero_si128();
        } else {
            error = _mm_or_si128(error, BlockErrors(input, previous));
            incomplete = Incomplete(input);
        }
        previous = input;
        i += 16;
    }
    error = _mm_or_si128(error, incomplete);
    return _mm_movemask_epi8(_mm_cmpeq_epi8(error, _mm_setzero_si128())) == 0xFFFF;
}

bool Available() {
    static const bool available = __builtin_cpu_supports("ssse3");
    return available;
}

}  // namespace simd

#endif

std::size_t FindInvalidUtf8(std::string_view text) {
#if defined(__x86_64__) || defined(__i386__)
    // Nearly every feed is valid: check it fast, and look for the place of the
    // error only when there is one.
    if (simd::Available() &&
        simd::IsValid(reinterpret_cast<const unsigned char*>(text.data()), text.size())) {
        return std::string_view::npos;
    }
#endif
    return FindInvalidUtf8Scalar(text);
}

std::string DeclaredEncoding(std::string_view text) {
    if (!text.starts_with("<?xml")) {
        return {};
    }
    const std::size_t close = text.find("?>");
    const std::string_view declaration = text.substr(0, close);
    const std::size_t name = declaration.find("encoding");
    if (name == std::string_view::npos) {
        return {};
    }
    std::size_t i = name + 8;
    while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' ||
                                      declaration[i] == '\r' || declaration[i] == '\n')) {
        ++i;
    }
    if (i >= declaration.size() || declaration[i] != '=') {
        return {};
    }
    ++i;
    while (i < declaration.size() && (declaration[i] == ' ' || declaration[i] == '\t' ||
                                      declaration[i] == '\r' || declaration[i] == '\n')) {
        ++i;
    }
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
        return {};
    }
    const char quote = declaration[i];
    const std::size_t end = declaration.find(quote, i + 1);
    if (end == std::string_view::npos) {
        return {};
    }
    return Lower(declaration.substr(i + 1, end - i - 1));
}

void DecodeFeedBody(std::string& body) {
    if (std::string_view(body).starts_with(kUtf8Bom)) {
        RequireUtf8(body, kUtf8Bom.size());
        body.erase(0, kUtf8Bom.size());
        return;
    }
    if (body.size() >= 2 &&
        ((body[0] == '\xFF' && body[1] == '\xFE') || (body[0] == '\xFE' && body[1] == '\xFF'))) {
        Convert(body, 0, "UTF-16", "UTF-16");
        if (std::string_view(body).starts_with(kUtf8Bom)) {
            body.erase(0, kUtf8Bom.size());
        }
        return;
    }
    const std::string label = DeclaredEncoding(body);
    if (label.empty() || label == "utf-8" || label == "utf8" || label == "us-ascii" ||
        label == "ascii") {
        RequireUtf8(body, 0);
        return;
    }
    Convert(body, 0, IconvName(label), label);
}
