#include "Glyphs.h"

#include <QLabel>
#include <QPainter>
#include <QSvgRenderer>

namespace {

// Where a hidden image keeps the glyph it was loaded with.
constexpr char kGlyphProperty[] = "zurav3Glyph";

QPixmap Render(QSvgRenderer& renderer, int logicalSize, qreal scale) {
    const int side = qRound(logicalSize * scale);
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

}  // namespace

QIcon GlyphIcon(const QString& svg, int logicalSize) {
    QSvgRenderer renderer(svg);
    QIcon icon;
    // Qt picks the nearest of these for the screen and scales in between.
    for (const qreal scale : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0, 4.0}) {
        icon.addPixmap(Render(renderer, logicalSize, scale));
    }
    return icon;
}

void LoadGlyph(QLabel* image, const QString& svg) {
    const QIcon icon = GlyphIcon(svg, image->width());
    image->setProperty(kGlyphProperty, QVariant::fromValue(icon));
    image->setPixmap(icon.pixmap(image->size(), image->devicePixelRatioF()));
}

QIcon GlyphOf(const QLabel* image) {
    const QVariant glyph = image->property(kGlyphProperty);
    return glyph.isValid() ? glyph.value<QIcon>() : QIcon(image->pixmap());
}
