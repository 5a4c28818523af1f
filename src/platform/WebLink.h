#pragma once

#include <optional>
#include <string>

// `link` with its scheme in lower case when it is an http or https URL, in any
// case ("HTTP://host/a.mp3" gives "http://host/a.mp3"); nothing otherwise.
// Schemes are case-insensitive, but mpv only knows the lower-case names.
std::optional<std::string> NormalizedWebLink(const std::string& link);
