#include "LinkCheck.h"

#include <utility>

TLinkCheck::TLinkCheck(IHttpClient& http, std::string link, Done done)
    : http_(http), link_(std::move(link)), done_(std::move(done)) {
    request_ = http_.Start(IHttpClient::Method::Head, link_,
                           [this](const HttpResult& head) { HeadAnswered(head); });
}

void TLinkCheck::HeadAnswered(const HttpResult& head) {
    if (head.Ok()) {
        Finish(std::nullopt);
        return;
    }
    // A server that does not do HEAD (405, 501) is still reachable; ask it for
    // the first byte instead, once.
    if (head.status == 405 || head.status == 501) {
        request_ =
            http_.Start(IHttpClient::Method::FirstByte, link_, [this](const HttpResult& probe) {
                Finish(probe.Ok() ? std::nullopt : std::optional<std::string>(probe.error));
            });
        return;
    }
    Finish(head.error);
}

void TLinkCheck::Finish(std::optional<std::string> error) {
    const Done done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(std::move(error));
    }
}

std::string UnreachableLinkMessage(const std::string& link, const std::string& error) {
    return "인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" + link + "\r\r" +
           error;
}
