// What reaches the media device, and what it fetches: scheme case, refused
// links and redirects of the stream.
#include <atomic>

#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestHttpServer.h"
#include "WaitUntil.h"
#include "platform/MpvMediaDevice.h"
#include "platform/WebLink.h"

namespace {

std::string UpperScheme(const std::string& link) {
    std::string upper = link;
    for (std::size_t i = 0; i < upper.find("://"); ++i) {
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    }
    return upper;
}

}  // namespace

TEST(WebLink, SchemeIsMatchedInAnyCaseAndPutInLowerCase) {
    EXPECT_EQ(NormalizedWebLink("HTTP://Host/A.mp3"), "http://Host/A.mp3");
    EXPECT_EQ(NormalizedWebLink("hTtPs://h/x?y=HTTP://z"), "https://h/x?y=HTTP://z");
    for (const char* refused : {"file:///tmp/x.mp3", "/tmp/x.mp3", "../../x.mp3", "ftp://h/x",
                                "httpx://h/x", "", "://h"}) {
        EXPECT_EQ(NormalizedWebLink(refused), std::nullopt) << refused;
    }
}

// An upper-case scheme plays; a link the device refuses leaves what plays
// playing instead of closing it first.
TEST(MediaLinks, UpperCaseSchemePlaysAndARefusedLinkKeepsWhatPlays) {
    TestHttpServer server;
    server.ServeBytes("/tone.mp3", ReadFileBytes(TestDataFile("tone-3s.mp3")), "audio/mpeg");
    server.Start();
    MpvMediaDevice device("null");

    device.Open(UpperScheme(server.Url("/tone.mp3")), false);
    EXPECT_NEAR(device.Length(), 3000, 100);
    device.Play(false);
    ASSERT_EQ(device.Mode(), MediaMode::Playing);

    for (const std::string& refused :
         {std::string("FILE://") + TestDataFile("tone-3s.mp3"), std::string("av://lavfi:sine")}) {
        EXPECT_THROW(device.Open(refused, true), MediaDeviceError) << refused;
        EXPECT_TRUE(device.IsOpen()) << refused;
        EXPECT_TRUE(device.Mode() == MediaMode::Playing || device.Position() == device.Length());
    }
}

// The link check refuses a link that answers with a redirect; the stream must
// not follow one either, or a server could answer the check itself and send
// the stream to another host.
TEST(MediaLinks, StreamRequestDoesNotFollowARedirect) {
    const std::string bytes = ReadFileBytes(TestDataFile("tone-3s.mp3"));
    std::atomic<int> elsewhere{0};
    TestHttpServer server;
    server.Server().Get("/elsewhere.mp3", [&](const httplib::Request&, httplib::Response& res) {
        ++elsewhere;
        res.set_content(bytes, "audio/mpeg");
    });
    server.Server().Get("/episode.mp3", [](const httplib::Request& req, httplib::Response& res) {
        if (req.method == "HEAD") {
            res.set_header("Content-Length", "1000");
            res.status = 200;
            return;
        }
        res.set_redirect("/elsewhere.mp3", 302);
    });
    server.Start();
    MpvMediaDevice device("null");
    const std::string link = server.Url("/episode.mp3");
    try {
        device.Open(link, false);
        ADD_FAILURE() << "the redirected stream was opened";
    } catch (const MediaDeviceError& e) {
        EXPECT_NE(std::string(e.what()).find(link), std::string::npos) << e.what();
    }
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(elsewhere, 0);

    // The same server without the redirect plays: the option refuses only that.
    device.Open(server.Url("/elsewhere.mp3"), false);
    EXPECT_NEAR(device.Length(), 3000, 100);
}
