// Any bytes as a fetched feed: decoding and reading may only end in a FeedError.
#include <cstddef>
#include <cstdint>
#include <string>

#include "feed/FeedDocument.h"
#include "feed/FeedEncoding.h"
#include "feed/FeedError.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    try {
        DecodeFeedBody(body);
        const std::optional<FeedDocument> feed = ParseFeedDocument(std::move(body));
        if (feed) {
            // Every title line is a slice of the buffer the lines were kept in.
            for (std::size_t i = 0; i < feed->titles.size(); ++i) {
                volatile std::size_t length = feed->titles[i].size();
                (void)length;
            }
        }
    } catch (const FeedError&) {
    }
    return 0;
}
