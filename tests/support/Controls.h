#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>
#include <QStringList>

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
