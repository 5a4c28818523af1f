#include "CurlUrlDownloader.h"

// Placeholder until the libcurl transfer lands.
DownloadResult CurlUrlDownloader::DownloadToFile(const std::string&, const std::filesystem::path&,
                                                 IDownloadProgress&) {
    return {DownloadOutcome::Failed, "not available yet"};
}
