// Writes a generated feed of N items (about 500 bytes each) to standard
// output: the large seed input.
#include <cstdio>
#include <cstdlib>

#include "FeedBuilder.h"

int main(int argc, char** argv) {
    const int items = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::string feed =
        GenerateFeed(static_cast<std::size_t>(items > 0 ? items : 0), {.itemBytes = 500});
    std::fwrite(feed.data(), 1, feed.size(), stdout);
    return 0;
}
