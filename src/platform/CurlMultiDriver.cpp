#include "CurlMultiDriver.h"

#include <algorithm>
#include <climits>

#include <QSocketNotifier>

#include "CurlGlobal.h"

CurlMultiDriver::CurlMultiDriver() {
    EnsureCurlGlobalInit();
    multi_ = curl_multi_init();
    timer_.setSingleShot(true);
    // curl's time-outs drive connection steps and retries; a coarse timer
    // could add 5% to each.
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { Act(CURL_SOCKET_TIMEOUT, 0); });
    if (multi_ != nullptr) {
        curl_multi_setopt(multi_, CURLMOPT_SOCKETFUNCTION, &CurlMultiDriver::OnSocket);
        curl_multi_setopt(multi_, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(multi_, CURLMOPT_TIMERFUNCTION, &CurlMultiDriver::OnTimer);
        curl_multi_setopt(multi_, CURLMOPT_TIMERDATA, this);
    }
}

CurlMultiDriver::~CurlMultiDriver() {
    // curl may still report sockets it closes; the members are alive here.
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
    timer_.stop();
}

CURLMcode CurlMultiDriver::Add(CURL* easy) {
    if (multi_ == nullptr) {
        return CURLM_BAD_HANDLE;
    }
    // curl asks for its first time-out from here; the transfer starts once the
    // event loop runs.
    return curl_multi_add_handle(multi_, easy);
}

void CurlMultiDriver::Remove(CURL* easy) {
    if (multi_ != nullptr) {
        curl_multi_remove_handle(multi_, easy);
    }
}

int CurlMultiDriver::OnSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
    auto* driver = static_cast<CurlMultiDriver*>(self);
    if (what == CURL_POLL_REMOVE) {
        driver->ForgetSocket(socket);
    } else {
        driver->WatchSocket(socket, what);
    }
    return 0;
}

int CurlMultiDriver::OnTimer(CURLM*, long timeoutMs, void* self) {
    auto* driver = static_cast<CurlMultiDriver*>(self);
    if (timeoutMs < 0) {
        driver->timer_.stop();
    } else {
        // Also 0: curl must not be called back from inside its own callback.
        driver->timer_.start(static_cast<int>(std::min<long>(timeoutMs, INT_MAX)));
    }
    return 0;
}

void CurlMultiDriver::WatchSocket(curl_socket_t socket, int what) {
    Watch& watch = sockets_[socket];
    const auto make = [this, socket](QSocketNotifier::Type type, int events) {
        auto* notifier = new QSocketNotifier(socket, type, this);
        connect(notifier, &QSocketNotifier::activated, this,
                [this, socket, events] { Act(socket, events); });
        return notifier;
    };
    const bool in = (what & CURL_POLL_IN) != 0;
    const bool out = (what & CURL_POLL_OUT) != 0;
    if (in && watch.read == nullptr) {
        watch.read = make(QSocketNotifier::Read, CURL_CSELECT_IN);
    }
    if (out && watch.write == nullptr) {
        watch.write = make(QSocketNotifier::Write, CURL_CSELECT_OUT);
    }
    if (watch.read != nullptr) {
        watch.read->setEnabled(in);
    }
    if (watch.write != nullptr) {
        watch.write->setEnabled(out);
    }
}

void CurlMultiDriver::ForgetSocket(curl_socket_t socket) {
    const auto it = sockets_.find(socket);
    if (it == sockets_.end()) {
        return;
    }
    // curl closes the socket next, and this may run while one of these
    // notifiers is delivering its signal: disable them now, delete them later.
    for (QSocketNotifier* notifier : {it->second.read, it->second.write}) {
        if (notifier != nullptr) {
            notifier->setEnabled(false);
            notifier->deleteLater();
        }
    }
    sockets_.erase(it);
}

void CurlMultiDriver::Act(curl_socket_t socket, int events) {
    if (multi_ == nullptr) {
        return;
    }
    if (beforeTurn) {
        beforeTurn();
    }
    int running = 0;
    const CURLMcode code = curl_multi_socket_action(multi_, socket, events, &running);
    if (code != CURLM_OK) {
        if (onError) {
            onError(code);
        }
        return;
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &queued)) {
        if (message->msg == CURLMSG_DONE && onDone) {
            // The message is gone once its handle is removed; copy it first.
            CURL* easy = message->easy_handle;
            const CURLcode result = message->data.result;
            onDone(easy, result);
        }
    }
    if (afterTurn) {
        afterTurn();
    }
}
