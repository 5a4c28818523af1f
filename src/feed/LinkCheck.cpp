#include "LinkCheck.h"

#include "platform/HttpClient.h"

std::optional<std::string> CheckEpisodeLink(IHttpClient& http, const std::string& link) {
    const HttpResult head = http.Head(link);
    if (head.Ok()) {
        return std::nullopt;
    }
    // A server that does not do HEAD (405, 501) is still reachable; ask it for
    // the first byte instead, once.
    if (head.status == 405 || head.status == 501) {
        const HttpResult probe = http.GetFirstByte(link);
        return probe.Ok() ? std::nullopt : std::optional<std::string>(probe.error);
    }
    return head.error;
}

std::string UnreachableLinkMessage(const std::string& link, const std::string& error) {
    return "인터넷이 연결되지 않았거나 미디어 파일이 존재하지 않습니다.\n\n" + link + "\r\r" +
           error;
}
