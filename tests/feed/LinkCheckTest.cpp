#include "feed/LinkCheck.h"

#include <atomic>

#include <gtest/gtest.h>

#include "RequestToEnd.h"
#include "TestHttpServer.h"
#include "platform/CurlHttpClient.h"

namespace {

// Episodes on servers that treat HEAD in different ways; GETs are counted.
class LinkCheck : public ::testing::Test {
protected:
    void SetUp() override {
        auto& s = server_.Server();
        s.Get("/ok.mp3", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(1000, 'x'), "audio/mpeg");
        });
        s.Get("/no-head.mp3", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.method == "HEAD") {
                res.status = 405;
                return;
            }
            ++gets_;
            range_ = req.get_header_value("Range");
            res.set_content(std::string(1000, 'x'), "audio/mpeg");
        });
        s.Get("/no-head-gone.mp3", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.method != "HEAD") {
                ++gets_;
            }
            res.status = req.method == "HEAD" ? 501 : 404;
        });
        s.Get("/forbidden.mp3", [this](const httplib::Request& req, httplib::Response& res) {
            if (req.method != "HEAD") {
                ++gets_;
            }
            res.status = 403;
        });
        // Ignores the range and would send 20 MB.
        s.Get("/big-no-head.mp3", [](const httplib::Request& req, httplib::Response& res) {
            if (req.method == "HEAD") {
                res.status = 405;
                return;
            }
            res.set_content(std::string(20 * 1024 * 1024, 'x'), "audio/mpeg");
            res.status = 200;
        });
        server_.Start();
    }

    std::optional<std::string> Check(const std::string& path) {
        return LinkCheckToEnd(http_, server_.Url(path));
    }

    TestHttpServer server_;
    CurlHttpClient http_;
    std::atomic<int> gets_{0};
    std::string range_;
};

}  // namespace

TEST_F(LinkCheck, AnsweringLinkPassesWithHeadAlone) {
    EXPECT_EQ(Check("/ok.mp3"), std::nullopt);
    EXPECT_EQ(gets_.load(), 0);
}

// A server that refuses HEAD but serves the file is reachable.
TEST_F(LinkCheck, HeadRefusedWith405Or501IsRetriedOnceWithAOneByteGet) {
    EXPECT_EQ(Check("/no-head.mp3"), std::nullopt);
    EXPECT_EQ(gets_.load(), 1);
    EXPECT_EQ(range_, "bytes=0-0");
    EXPECT_EQ(Check("/big-no-head.mp3"), std::nullopt);

    EXPECT_EQ(Check("/no-head-gone.mp3"), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(gets_.load(), 2);
}

TEST_F(LinkCheck, OtherFailuresKeepTheirStatusLineWithoutARetry) {
    EXPECT_EQ(Check("/forbidden.mp3"), "HTTP/1.1 403 Forbidden");
    EXPECT_EQ(Check("/missing.mp3"), "HTTP/1.1 404 Not Found");
    EXPECT_EQ(gets_.load(), 0);
    EXPECT_EQ(UnreachableLinkMessage("http://h/a.mp3", "HTTP/1.1 404 Not Found"),
              "인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\nhttp://h/a.mp3\r\r"
              "HTTP/1.1 404 Not Found");
}
