#pragma once

#include <string>

// The part of a link after its last "/" (the whole link when it has none): the
// file name proposed when an episode is saved.
std::string LinkFileName(const std::string& link);

// The file-name part of a local path: what follows its last separator.
std::string PathFileName(const std::string& path);

// The folder part of a local path, up to and including its last separator.
std::string PathFolder(const std::string& path);

// The name proposed by the date panel: "TOV" + date with "/" as "-" + ".mp3".
std::string PanelFileName(const std::string& date);
