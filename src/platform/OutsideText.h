#pragma once

#include <QString>

// Text from outside (a feed's titles and links, a server's reasons, file
// names) shown by Qt exactly as it is written: Qt reads markup into some
// texts on its own guess, and a title holding "<img src=...>" would load and
// draw a local file, "<a href=...>" would make a link that opens one.

// A tooltip that shows `text` literally. Qt draws a tip as rich text when it
// merely looks like markup (a known tag or "&lt;" in its first line); such a
// text is escaped and then marked as rich text, so the markup shows as
// written, with its line breaks and spaces. Any other text is plain already
// and stays as it is.
QString PlainToolTip(const QString& text);

// A window title that shows `text` literally: Qt takes "[*]" in a title for
// the place of the "modified" mark and drops it.
QString PlainWindowTitle(const QString& text);

// `text` cut to at most `maxChars` characters (UTF-16 units, never inside a
// character or between a letter and its marks), the cut marked with "…".
QString CappedText(QStringView text, int maxChars);

// `text` with each line capped to `maxLine` and the whole to `maxTotal`
// characters, as CappedText does.
QString CappedLines(QStringView text, int maxLine, int maxTotal);
