#pragma once

#include <string>

// A feed of `items` episodes shaped like the show's own: a Korean title, a
// description, a link and an enclosure per item (about 500 bytes each).
std::string GenerateFeed(int items);
