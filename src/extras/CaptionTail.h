#pragma once

#include <QString>

class QWidget;

// Replaces the part an extra keeps at the end of the window's caption: `kept`
// (what it put there last) gives way to `tail`, which goes before
// `keepLast` when the caption ends with that (another extra's part), else at
// the end. The caption is set only when it changes.
void SetCaptionTail(QWidget& window, QString& kept, const QString& tail,
                    const QString& keepLast = {});
