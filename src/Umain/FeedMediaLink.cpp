#include "FeedMediaLink.h"

#include "platform/MediaDevice.h"
#include "platform/WebLink.h"
#include "texts/FailureText.h"

std::string FeedMediaLink(const std::string& link) {
    if (auto web = NormalizedWebLink(link)) {
        return *std::move(web);
    }
    throw MediaDeviceError(
        FailureText(kPlayFailed, link, "Only http or https links can be played"));
}
