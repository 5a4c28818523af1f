#include "OutsideText.h"

#include <algorithm>

#include <QTextBoundaryFinder>
#include <QTextDocument>

QString PlainToolTip(const QString& text) {
    if (!Qt::mightBeRichText(text)) {
        return text;
    }
    return QStringLiteral("<p style=\"white-space:pre\">") + text.toHtmlEscaped() +
           QStringLiteral("</p>");
}

QString PlainWindowTitle(const QString& text) {
    // Qt shows "[*][*]" as a literal "[*]".
    QString title = text;
    return title.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

QString CappedText(QStringView text, int maxChars) {
    if (text.size() <= maxChars) {
        return text.toString();
    }
    // Whether a place is a boundary depends on what comes before it only
    // (and on the character at it), so the part up to the cap is enough to
    // look at, however long the text is.
    const qsizetype keep = std::max(maxChars - 1, 0);
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.constData(), keep + 1);
    graphemes.setPosition(keep);
    qsizetype cut = keep;
    if (!graphemes.isAtBoundary()) {
        cut = std::max<qsizetype>(graphemes.toPreviousBoundary(), 0);
    }
    return text.left(cut).toString() + QStringLiteral("…");
}

QString CappedLines(QStringView text, int maxLine, int maxTotal) {
    QString capped;
    bool first = true;
    for (const QStringView line : text.tokenize(u'\n')) {
        if (!first) {
            capped += u'\n';
        }
        first = false;
        capped += CappedText(line, maxLine);
        if (capped.size() > maxTotal) {
            break;
        }
    }
    return CappedText(capped, maxTotal);
}
