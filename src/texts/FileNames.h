#pragma once

#include <string>

// The part of a link after its last "/" (the whole link when it has none): the
// name the media controls show for a link opened from the date list.
std::string LinkFileName(const std::string& link);

// The name proposed when an episode is saved: the last segment of the link's
// path, never of its query or fragment, percent-decoded when that gives valid
// UTF-8. Decoding never yields "/", NUL or another control character (those
// stay encoded); a segment that is "", "." or ".." gives "episode.mp3".
std::string SaveFileName(const std::string& link);

// The file-name part of a local path: what follows its last separator.
std::string PathFileName(const std::string& path);

// The folder part of a local path, up to and including its last separator.
std::string PathFolder(const std::string& path);

// The name proposed by the date panel: "TOV" + date with "/" as "-" + ".mp3".
std::string PanelFileName(const std::string& date);
