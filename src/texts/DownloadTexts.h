#pragma once

#include <cstdint>
#include <string>

// The texts and numbers the download window shows.

// The share of `progressMax` that `progress` is, in whole percent truncated
// toward zero, held within 0..100. `progressMax` must not be 0.
int DownloadPercent(std::uint64_t progress, std::uint64_t progressMax);

// "Downloading... ( done/total MB )" with both counts in megabytes of 1,048,576
// bytes, each printed with "%3.3f".
std::string DownloadProgressText(std::uint64_t progress, std::uint64_t progressMax);

// A readable description of a transfer status code and its text; empty for 0
// and the codes above 33.
std::string BindStatusDescription(unsigned statusCode, const std::string& statusText);
