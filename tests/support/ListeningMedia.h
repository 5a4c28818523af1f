#pragma once

#include <filesystem>
#include <string>

// Media for the listening tests, made with ffmpeg in `folder`; each returns
// the file's path, empty when ffmpeg failed.

// 2 s of tone, 20 s of digital silence, `tailSeconds` of tone: 24 s by
// default.
std::string MakeSilentEpisode(const std::filesystem::path& folder, int tailSeconds = 2);
// 8 s of a tone at -26 dBFS, then 8 s of it at -6 dBFS: 16 s.
std::string MakeQuietThenLoud(const std::filesystem::path& folder);
// 12 s of tone with three ID3 chapters: "Opening" at 0, "Talk & news" at 4 s
// and "Closing" at 8 s.
std::string MakeChapteredMp3(const std::filesystem::path& folder);
// The same three chapters as a chapters file of the feed.
std::string ChaptersJson();
