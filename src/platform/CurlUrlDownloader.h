#pragma once

#include "UrlDownloader.h"

// IUrlDownloader over libcurl, run on the calling thread.
class CurlUrlDownloader final : public IUrlDownloader {
public:
    DownloadResult DownloadToFile(const std::string& url, const std::filesystem::path& target,
                                  IDownloadProgress& progress) override;
};
