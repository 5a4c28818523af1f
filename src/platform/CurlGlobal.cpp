#include "CurlGlobal.h"

#include <mutex>

#include <curl/curl.h>

void EnsureCurlGlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}
