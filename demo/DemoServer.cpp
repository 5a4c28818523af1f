// Serves the demo: a feed with three episodes, their MP3 files (with HEAD and
// Range requests, so playing, seeking and saving work) and a page for the show,
// on 127.0.0.1. Prints the address, then one line per request.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include <httplib.h>

namespace {

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " <demo folder> [port]\n";
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const int wanted = argc > 2 ? std::atoi(argv[2]) : 0;

    httplib::Server server;
    const int port = wanted > 0 && server.bind_to_port("127.0.0.1", wanted)
                         ? wanted
                         : server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        std::cerr << "cannot listen on 127.0.0.1\n";
        return 1;
    }
    const std::string base = "http://127.0.0.1:" + std::to_string(port);

    std::string feed = ReadFile(folder / "feed.xml.in");
    ReplaceAll(feed, "@BASE@", base);
    for (int i = 1; i <= 3; ++i) {
        const auto audio = folder / "audio" / ("tov_08120" + std::to_string(i) + ".mp3");
        std::error_code ec;
        const auto size = std::filesystem::file_size(audio, ec);
        ReplaceAll(feed, "@LENGTH_" + std::to_string(i) + "@", std::to_string(ec ? 0 : size));
    }
    const std::string page = ReadFile(folder / "index.html");

    server.Get("/tov/index.php/rss", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(feed, "text/xml; charset=utf-8");
    });
    server.Get(R"(/tov/.*)", [&](const httplib::Request&, httplib::Response& res) {
        res.set_content(page, "text/html; charset=utf-8");
    });
    server.set_mount_point("/audio", (folder / "audio").string());
    server.set_file_extension_and_mimetype_mapping("mp3", "audio/mpeg");
    server.set_logger([](const httplib::Request& req, const httplib::Response& res) {
        std::printf("%s %s %d %s\n", req.method.c_str(), req.path.c_str(), res.status,
                    req.get_header_value("User-Agent").c_str());
        std::fflush(stdout);
    });

    std::printf("listening on %s\n", base.c_str());
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
