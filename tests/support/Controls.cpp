#include "Controls.h"

#include <QComboBox>
#include <QListWidget>

QStringList Lines(const QComboBox* box) {
    QStringList lines;
    for (int i = 0; i < box->count(); ++i) {
        lines << box->itemText(i);
    }
    return lines;
}

QStringList Lines(const QListWidget* list) {
    QStringList lines;
    for (int i = 0; i < list->count(); ++i) {
        lines << list->item(i)->text();
    }
    return lines;
}
