#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a logout, a kill, Ctrl+C in a terminal, the
// terminal closing) close the program's window the way its close box does, so
// that the program ends in order: a running transfer is cancelled and its
// temporary file removed, the settings are written, the exit status is 0.
//
// The signal handler only writes a byte into a socket pair; the UI thread
// reads it through a QSocketNotifier and closes the window there. One
// instance at a time; it restores the default handlers when it goes.
class ExitSignals final : public QObject {
    Q_OBJECT
public:
    ExitSignals();
    ~ExitSignals() override;
    ExitSignals(const ExitSignals&) = delete;
    ExitSignals& operator=(const ExitSignals&) = delete;

    // The window a signal closes. A signal that came before it was set closes
    // it as soon as the event loop runs.
    void CloseOnSignal(QWidget* window);

    // From now on a signal closes the boxes on screen instead of a window: the
    // windows are gone, and the box that says why (main's box about a fatal
    // error) is all that keeps the program from ending. A signal that came
    // before closes the box as soon as it is shown.
    void CloseBoxesOnSignal();

    // False when the handlers could not be installed.
    bool Installed() const { return notifier_ != nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSignalByte();
    void CloseBoxes();

    int fds_[2] = {-1, -1};
    QSocketNotifier* notifier_ = nullptr;
    QPointer<QWidget> window_;
    bool pending_ = false;
    bool closeBoxes_ = false;
    // A signal came while boxes were to be closed: every box shown from now
    // on is closed too.
    bool ending_ = false;
};
