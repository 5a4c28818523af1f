#pragma once

#include <string>
#include <variant>

#include "feed/Episode.h"

// A slow scan of a feed text written the plain way: it cuts the front off the
// text for every tag and splits the tag into lists of strings. The fast scan
// must give the same records, or the same error, for any text; the tests and
// the fuzzer compare the two.
using ScanResult = std::variant<TEpisodeList, std::string>;

ScanResult SlowScan(std::string text);

// The fast scan, with its error as text.
ScanResult FastScan(const std::string& text);
