#include "FileFilter.h"

QStringList ToQtNameFilters(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList result;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        QStringList patterns;
        for (QString pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            if (pattern == QStringLiteral("*.*")) {
                pattern = QStringLiteral("*");
            }
            if (pattern.isEmpty() || patterns.contains(pattern)) {
                continue;
            }
            patterns << pattern;
            for (const QString& variant : {pattern.toLower(), pattern.toUpper()}) {
                if (!patterns.contains(variant)) {
                    patterns << variant;
                }
            }
        }
        if (!patterns.isEmpty()) {
            result << description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
                          QLatin1Char(')');
        }
    }
    return result;
}
