#include "ListeningMedia.h"

#include <cstdlib>

#include "TestFiles.h"

namespace {

std::string Ffmpeg(const std::filesystem::path& out, const std::string& arguments) {
    const std::string command =
        "ffmpeg -nostdin -v error -y " + arguments + " '" + out.string() + "'";
    return std::system(command.c_str()) == 0 ? out.string() : std::string();
}

}  // namespace

std::string MakeSilentEpisode(const std::filesystem::path& folder, int tailSeconds) {
    const std::string tail = std::to_string(tailSeconds);
    return Ffmpeg(folder / ("silent-" + tail + ".mp3"),
                  "-f lavfi -i sine=f=440:d=2 -f lavfi -i anullsrc=r=44100:cl=mono:d=20 "
                  "-f lavfi -i sine=f=440:d=" +
                      tail +
                      " -filter_complex "
                      "'[0][1][2]concat=n=3:v=0:a=1,volume=0.5' -ar 44100 -ac 1 -b:a 64k");
}

std::string MakeQuietThenLoud(const std::filesystem::path& folder) {
    return Ffmpeg(folder / "quiet-loud.mp3",
                  "-f lavfi -i sine=f=440:d=8,volume=0.05 -f lavfi -i sine=f=440:d=8,volume=0.5 "
                  "-filter_complex '[0][1]concat=n=2:v=0:a=1' -ar 44100 -ac 1 -b:a 64k");
}

std::string MakeChapteredMp3(const std::filesystem::path& folder) {
    WriteFileBytes(folder / "chapters.txt",
                   ";FFMETADATA1\ntitle=Chaptered\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=4000\ntitle=Opening\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=4000\nEND=8000\ntitle=Talk & news\n"
                   "[CHAPTER]\nTIMEBASE=1/1000\nSTART=8000\nEND=12000\ntitle=Closing\n");
    return Ffmpeg(folder / "chaptered.mp3",
                  "-f lavfi -i sine=f=440:d=12 -i '" + (folder / "chapters.txt").string() +
                      "' -map 0 -map_metadata 1 -map_chapters 1 -id3v2_version 3 -ar 44100 "
                      "-ac 1 -b:a 64k");
}

std::string ChaptersJson() {
    return R"({"version":"1.2.0","chapters":[{"startTime":0,"title":"Opening"},)"
           R"({"startTime":4,"title":"Talk & news"},{"startTime":8,"title":"Closing"}]})";
}
