// Writes a generated feed of N items to standard output: the large seed input.
#include <cstdio>
#include <cstdlib>

#include "FeedGenerator.h"

int main(int argc, char** argv) {
    const int items = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::string feed = GenerateFeed(items);
    std::fwrite(feed.data(), 1, feed.size(), stdout);
    return 0;
}
