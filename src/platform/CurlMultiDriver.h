#pragma once

#include <functional>
#include <unordered_map>

#include <QObject>
#include <QTimer>

#include <curl/curl.h>

class QSocketNotifier;

// One libcurl multi handle driven by the Qt event loop of the thread that made
// it: curl's sockets are watched by QSocketNotifiers and its time-outs by a
// QTimer, and each of them calls curl_multi_socket_action. Every event loop of
// the thread, a modal dialog's included, thus moves the transfers on.
//
// The handlers below run from that loop after curl has returned, never inside
// a call into curl, so they may remove a transfer or run an event loop of
// their own.
class CurlMultiDriver final : public QObject {
public:
    CurlMultiDriver();
    ~CurlMultiDriver() override;
    Q_DISABLE_COPY_MOVE(CurlMultiDriver)

    // False when curl could not make the multi handle.
    bool Valid() const { return multi_ != nullptr; }

    CURLMcode Add(CURL* easy);
    // Stops a transfer at once; a connection in the middle of a body is closed.
    void Remove(CURL* easy);

    // A transfer has ended, with curl's result for it.
    std::function<void(CURL* easy, CURLcode result)> onDone;
    // curl itself failed; its transfers go no further.
    std::function<void(CURLMcode code)> onError;
    // Before every turn of curl (a call of curl_multi_socket_action).
    std::function<void()> beforeTurn;
    // After every turn of curl, once the ended transfers have been reported.
    std::function<void()> afterTurn;

private:
    struct Watch {
        QSocketNotifier* read = nullptr;
        QSocketNotifier* write = nullptr;
    };

    static int OnSocket(CURL* easy, curl_socket_t socket, int what, void* self, void* data);
    static int OnTimer(CURLM* multi, long timeoutMs, void* self);

    void WatchSocket(curl_socket_t socket, int what);
    void ForgetSocket(curl_socket_t socket);
    void Act(curl_socket_t socket, int events);

    CURLM* multi_ = nullptr;
    QTimer timer_;
    std::unordered_map<curl_socket_t, Watch> sockets_;
};
