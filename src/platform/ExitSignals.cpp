#include "ExitSignals.h"

#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QSocketNotifier>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The end of the socket pair the handler writes to; -1 while none is set up.
volatile sig_atomic_t gWriteFd = -1;

extern "C" void OnExitSignal(int) {
    // Only async-signal-safe work: one write (errno kept for the code it
    // interrupted). A full buffer already holds a wake-up, so a failed write
    // loses nothing.
    const int savedErrno = errno;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(gWriteFd, &byte, 1);
    errno = savedErrno;
}

}  // namespace

ExitSignals::ExitSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds_) != 0) {
        fds_[0] = fds_[1] = -1;
        return;
    }
    gWriteFd = fds_[1];
    notifier_ = new QSocketNotifier(fds_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &ExitSignals::OnSignalByte);

    struct sigaction action {};
    action.sa_handler = OnExitSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume, so no other code sees EINTR for this.
    action.sa_flags = SA_RESTART;
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
}

ExitSignals::~ExitSignals() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int signal : kSignals) {
        ::sigaction(signal, &action, nullptr);
    }
    gWriteFd = -1;
    delete notifier_;
    for (const int fd : fds_) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void ExitSignals::CloseOnSignal(QWidget* window) {
    window_ = window;
    if (pending_ && window_ != nullptr) {
        pending_ = false;
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (window_ != nullptr) {
                    window_->close();
                }
            },
            Qt::QueuedConnection);
    }
}

void ExitSignals::CloseBoxesOnSignal() {
    window_ = nullptr;
    closeBoxes_ = true;
    if (pending_) {
        pending_ = false;
        ending_ = true;
    }
    QCoreApplication::instance()->installEventFilter(this);
}

void ExitSignals::CloseBoxes() {
    ending_ = true;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QDialog*>(widget); box != nullptr && box->isVisible()) {
            box->reject();
        }
    }
}

bool ExitSignals::eventFilter(QObject* watched, QEvent* event) {
    if (ending_ && event->type() == QEvent::Show) {
        if (auto* box = qobject_cast<QDialog*>(watched); box != nullptr && box->isWindow()) {
            // Once its own event loop runs, so that its exec() returns.
            QMetaObject::invokeMethod(box, &QDialog::reject, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

void ExitSignals::OnSignalByte() {
    char bytes[64];
    while (::read(fds_[0], bytes, sizeof bytes) > 0) {
    }
    if (closeBoxes_) {
        CloseBoxes();
    } else if (window_ != nullptr) {
        window_->close();
    } else {
        pending_ = true;
    }
}
