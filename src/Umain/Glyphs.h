#pragma once

#include <QIcon>
#include <QString>

class QLabel;

// The player's glyphs, drawn from SVG so that they stay sharp at any scale of
// the screen (a HiDPI desktop, QT_SCALE_FACTOR=2).

// A glyph of `logicalSize` pixels, drawn for the usual scales of screens.
QIcon GlyphIcon(const QString& svg, int logicalSize = 16);

// Loads the glyph into a hidden image: its pixmap is drawn at the scale of the
// screen the image is on, and GlyphOf gives the glyph at every scale.
void LoadGlyph(QLabel* image, const QString& svg);

// The glyph a hidden image holds (its pixmap when LoadGlyph did not load it).
QIcon GlyphOf(const QLabel* image);
