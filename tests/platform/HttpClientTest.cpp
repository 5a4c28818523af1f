#include "platform/CurlHttpClient.h"

#include <atomic>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "RequestToEnd.h"
#include "TestHttpServer.h"

namespace {

using Method = IHttpClient::Method;

HttpResult Get(IHttpClient& client, const std::string& url) {
    return RequestToEnd(client, Method::Get, url);
}

HttpResult Head(IHttpClient& client, const std::string& url) {
    return RequestToEnd(client, Method::Head, url);
}

CurlHttpClient::Options Quick() {
    CurlHttpClient::Options o;
    o.connectTimeoutSeconds = 5;
    o.lowSpeedSeconds = 2;
    o.totalTimeoutSeconds = 60;
    return o;
}

}  // namespace

TEST(HttpClient, SendsTheProgramsHeadersAndKeepsCookies) {
    TestHttpServer server;
    std::mutex lock;
    std::vector<httplib::Headers> seen;
    server.Server().Get("/feed", [&](const httplib::Request& req, httplib::Response& res) {
        std::lock_guard guard(lock);
        seen.push_back(req.headers);
        res.set_header("Set-Cookie", "session=abc; Path=/");
        res.set_content("<rss/>", "text/xml");
    });
    server.Start();

    CurlHttpClient client(Quick());
    const HttpResult first = Get(client, server.Url("/feed"));
    ASSERT_TRUE(first.Ok()) << first.error;
    EXPECT_EQ(first.body, "<rss/>");
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.statusLine, "HTTP/1.1 200 OK");
    ASSERT_TRUE(Get(client, server.Url("/feed")).Ok());

    std::lock_guard guard(lock);
    ASSERT_EQ(seen.size(), 2u);
    auto header = [](const httplib::Headers& h, const char* name) {
        auto it = h.find(name);
        return it == h.end() ? std::string("(none)") : it->second;
    };
    EXPECT_EQ(header(seen[0], "Accept"), "text/html, */*");
    EXPECT_EQ(header(seen[0], "User-Agent"), "Mozilla/3.0 (compatible; Indy Library)");
    EXPECT_EQ(header(seen[0], "Cookie"), "(none)");
    EXPECT_EQ(header(seen[1], "Cookie"), "session=abc");
}

// Only a 2xx answer from the URL itself succeeds; the error is the status line.
TEST(HttpClient, ErrorStatusesAndRedirectsFailWithTheirStatusLine) {
    TestHttpServer server;
    std::atomic<int> targetHits{0};
    server.Server().Get("/moved", [](const httplib::Request&, httplib::Response& res) {
        res.set_redirect("/target", 301);
    });
    server.Server().Get("/target", [&](const httplib::Request&, httplib::Response& res) {
        ++targetHits;
        res.set_content("ok", "text/plain");
    });
    server.Server().Get("/ep.mp3", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("mp3", "audio/mpeg");
    });
    server.Start();

    CurlHttpClient client(Quick());
    EXPECT_EQ(Get(client, server.Url("/missing")).error, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Head(client, server.Url("/missing")).error, "HTTP/1.1 404 Not Found");
    EXPECT_EQ(Get(client, server.Url("/moved")).error, "HTTP/1.1 301 Moved Permanently");
    EXPECT_EQ(Head(client, server.Url("/moved")).error, "HTTP/1.1 301 Moved Permanently");
    EXPECT_EQ(targetHits.load(), 0);

    const HttpResult head = Head(client, server.Url("/ep.mp3"));
    EXPECT_TRUE(head.Ok()) << head.error;
    EXPECT_EQ(head.status, 200);
    EXPECT_TRUE(head.body.empty());
}

TEST(HttpClient, ConnectionRefusedAndForeignSchemesFailWithAMessage) {
    int closedPort;
    {
        TestHttpServer server;
        server.Start();
        closedPort = server.Port();
    }
    CurlHttpClient client(Quick());
    const HttpResult refused =
        Get(client, "http://127.0.0.1:" + std::to_string(closedPort) + "/feed");
    EXPECT_FALSE(refused.Ok());
    EXPECT_NE(refused.error.find("127.0.0.1"), std::string::npos) << refused.error;

    for (const char* url : {"file:///etc/passwd", "ftp://127.0.0.1/x", "gopher://h/"}) {
        const HttpResult r = Get(client, url);
        EXPECT_FALSE(r.Ok()) << url;
        EXPECT_TRUE(r.body.empty());
    }
}

// A server that stops sending must not block the caller for ever.
TEST(HttpClient, StalledBodyEndsWithATimeoutError) {
    TestHttpServer server;
    std::atomic<bool> release{false};
    server.Server().Get("/stall", [&](const httplib::Request&, httplib::Response& res) {
        res.set_chunked_content_provider("text/xml", [&](size_t offset, httplib::DataSink& sink) {
            if (offset == 0) {
                sink.write("<rss>", 5);
                return true;
            }
            while (!release.load()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            return false;
        });
    });
    server.Start();

    CurlHttpClient client(Quick());
    const HttpResult r = Get(client, server.Url("/stall"));
    release = true;
    EXPECT_FALSE(r.Ok());
    EXPECT_NE(r.error.find("Operation too slow"), std::string::npos) << r.error;
}

TEST(HttpClient, BinaryBodiesArriveIntactAndOversizedOnesAreRefused) {
    std::string bytes(300000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7919) & 0xFF);
    }
    TestHttpServer server;
    server.ServeBytes("/blob", bytes);
    server.Start();

    CurlHttpClient client(Quick());
    EXPECT_EQ(Get(client, server.Url("/blob")).body, bytes);

    CurlHttpClient::Options small = Quick();
    small.maxBodyBytes = 1000;
    CurlHttpClient smallClient(small);
    const HttpResult r = Get(smallClient, server.Url("/blob"));
    EXPECT_FALSE(r.Ok());
    EXPECT_TRUE(r.body.empty());
}
