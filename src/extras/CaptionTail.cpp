#include "CaptionTail.h"

#include <QWidget>

void SetCaptionTail(QWidget& window, QString& kept, const QString& tail, const QString& keepLast) {
    QString title = window.windowTitle();
    if (!kept.isEmpty()) {
        const qsizetype at = title.lastIndexOf(kept);
        if (at >= 0) {
            title.remove(at, kept.size());
        }
    }
    kept = tail;
    const qsizetype at = !keepLast.isEmpty() && title.endsWith(keepLast)
                             ? title.size() - keepLast.size()
                             : title.size();
    title.insert(at, tail);
    if (title != window.windowTitle()) {
        window.setWindowTitle(title);
    }
}
