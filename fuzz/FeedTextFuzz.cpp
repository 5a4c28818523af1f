// Any bytes as a feed text: the scan may only end in records or a FeedError,
// and must agree with the slow scan written the plain way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "SlowFeedScan.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (FastScan(text) != SlowScan(text)) {
        std::abort();
    }
    return 0;
}
