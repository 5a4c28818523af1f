// A feed server that has stopped answering: it accepts connections and holds
// them, answering nothing, until the release file appears or the hold time
// passes; then every held request and every later one gets the feed file as a
// 200 text/xml answer. It prints its address, then one line each time a count
// changes: "accepted N", "gave-up N" (the client closed before any answer),
// "released", "answered N".
//   zurav3_held_feed_server <feed file> <release file> <hold seconds>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "HoldingServer.h"

namespace {

std::string HttpAnswer(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: text/xml; charset=utf-8\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
}

void Report(const char* what, int now, int& last) {
    if (now != last) {
        std::printf("%s %d\n", what, now);
        std::fflush(stdout);
        last = now;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s <feed file> <release file> <hold seconds>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path feed = argv[1];
    const std::filesystem::path release = argv[2];
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(std::atoi(argv[3]));

    HoldingServer server;
    std::printf("listening on %s\n", server.Url("").c_str());
    std::fflush(stdout);
    bool released = false;
    int accepted = 0;
    int gaveUp = 0;
    int answered = 0;
    for (;;) {
        Report("accepted", server.Accepted(), accepted);
        Report("gave-up", server.GaveUp(), gaveUp);
        Report("answered", server.Answered(), answered);
        if (!released &&
            (std::filesystem::exists(release) || std::chrono::steady_clock::now() > until)) {
            std::ifstream in(feed, std::ios::binary);
            std::stringstream body;
            body << in.rdbuf();
            server.Release(HttpAnswer(body.str()));
            released = true;
            std::printf("released\n");
            std::fflush(stdout);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}
