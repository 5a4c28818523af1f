#pragma once

#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

class QComboBox;
class QListWidget;

// The control of this type and name inside `parent`; a missing one fails the test.
template <typename T = QWidget>
T* Find(const QObject& parent, const char* name) {
    T* control = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(control, nullptr) << name;
    return control;
}

// The lines of a drop-down or a list, in order.
QStringList Lines(const QComboBox* box);
QStringList Lines(const QListWidget* list);

// While this lives, the first modal dialog of type `Dialog` to come up is
// handed to `handle`, which answers or closes it: for a call that opens a real
// dialog and waits in its event loop.
template <typename Dialog>
class NextModal {
public:
    explicit NextModal(std::function<void(Dialog*)> handle) {
        poll_.setInterval(10);
        QObject::connect(&poll_, &QTimer::timeout, &poll_, [this, handle = std::move(handle)] {
            auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            poll_.stop();
            handle(dialog);
        });
        poll_.start();
    }

private:
    QTimer poll_;
};
