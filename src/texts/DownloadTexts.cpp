#include "DownloadTexts.h"

#include <array>
#include <cstdio>

namespace {

std::string Megabytes(std::uint64_t bytes) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.3f",
                  static_cast<double>(bytes) * (1.0 / 1024) * (1.0 / 1024));
    return text;
}

struct StatusName {
    const char* description;
    bool withText;  // the status text follows the description
};

// Indexed by status code minus one.
constexpr std::array<StatusName, 33> kStatusNames{{
    {"Finding resource ", true},
    {"Connecting to ", true},
    {"Redirecting...", false},
    {"Start to download ", true},
    {"Downloading...", false},
    {"Complete downloading ", true},
    {"Start to download components", false},
    {"Installing components...", false},
    {"Complete downloading components", false},
    {"Copying form buffer...", false},
    {"Sending request...", false},
    {"Class ID is available", false},
    {"MIME type is available", false},
    {"Cache file name is available", false},
    {"Start sync operation", false},
    {"Complete sync operation", false},
    {"Start to upload data", false},
    {"Uploading data", false},
    {"Complete Uploading data", false},
    {"Protocol class ID is available", false},
    {"Encoding...", false},
    {"Verified MIME is available", false},
    {"Class install location", false},
    {"Decoding...", false},
    {"Loading MIME handler", false},
    {"Content disposition attach", false},
    {"Filter report MIME type", false},
    {"Clsid can instantiate", false},
    {"Unknown available", false},
    {"Direct bind", false},
    {"MIME type of the resource, before any code sniffing is done", false},
    {"Detecting proxy...", false},
    {"Valid types of range requests for a resource", false},
}};

}  // namespace

int DownloadPercent(std::uint64_t progress, std::uint64_t progressMax) {
    const long double share =
        static_cast<long double>(progress) / static_cast<long double>(progressMax) * 100;
    if (share >= 100) {
        return 100;
    }
    return static_cast<int>(share);
}

std::string DownloadProgressText(std::uint64_t progress, std::uint64_t progressMax) {
    return "Downloading... ( " + Megabytes(progress) + "/" + Megabytes(progressMax) + " MB )";
}

std::string BindStatusDescription(unsigned statusCode, const std::string& statusText) {
    if (statusCode == 0 || statusCode > kStatusNames.size()) {
        return {};
    }
    const StatusName& name = kStatusNames[statusCode - 1];
    return name.withText ? name.description + statusText : std::string(name.description);
}
