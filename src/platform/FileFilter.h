#pragma once

#include <QString>
#include <QStringList>

// Turns a filter written as "Description|pattern;pattern|Description|pattern|..."
// into Qt's name filters "Description (pattern pattern)". "*.*" becomes "*" (every
// file, with or without a dot), and each extension is offered in both cases since
// file names on this platform are case-sensitive. A trailing bar is allowed, and a
// description without a pattern is dropped.
QStringList ToQtNameFilters(const QString& filter);
