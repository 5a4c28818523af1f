#pragma once

#include <string>

// A link from the feed as the player may open it: an http or https URL, its
// scheme put in lower case. Anything else, a local path among them, is refused
// with the media device's error (MediaDeviceError): only the open dialog and
// the download window hand local files to the player.
std::string FeedMediaLink(const std::string& link);
