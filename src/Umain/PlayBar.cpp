#include "PlayBar.h"

#include <algorithm>

#include <QAccessible>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

#include "Umain/PlayBarAccessible.h"

namespace {

// Tells a screen reader listening that the value changed.
void AnnounceValue(TPlayBar* bar) {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(bar, bar->Position());
        QAccessible::updateAccessibility(&event);
    }
}

}  // namespace

TPlayBar::TPlayBar(QWidget* parent) : QWidget(parent) {
    static const bool accessible = [] {
        QAccessible::installFactory(&PlayBarAccessibleFactory);
        return true;
    }();
    Q_UNUSED(accessible);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

void TPlayBar::SetMin(int value) {
    min_ = value;
    update();
}

void TPlayBar::SetMax(int value) {
    const bool changed = max_ != value;
    max_ = value;
    update();
    if (changed) {
        AnnounceValue(this);
    }
}

void TPlayBar::SetPosition(int value) {
    const bool changed = position_ != value;
    position_ = value;
    update();
    if (changed) {
        AnnounceValue(this);
    }
}

QSize TPlayBar::sizeHint() const {
    return {258, 22};
}

void TPlayBar::paintEvent(QPaintEvent*) {
    QStyleOptionProgressBar option;
    option.initFrom(this);
    option.textVisible = false;
    option.state |= QStyle::State_Horizontal;
    // An empty range would make the style draw a busy indicator; draw it empty.
    const bool empty = max_ <= min_;
    option.minimum = 0;
    option.maximum = empty ? 1 : 1000;
    const double fraction =
        empty ? 0.0 : (static_cast<double>(position_) - min_) / (static_cast<double>(max_) - min_);
    option.progress = static_cast<int>(1000.0 * std::clamp(fraction, 0.0, 1.0));
    QPainter painter(this);
    style()->drawControl(QStyle::CE_ProgressBar, &option, &painter, this);
}

void TPlayBar::mousePressEvent(QMouseEvent* event) {
    emit mouseDown(static_cast<int>(event->position().x()));
}

void TPlayBar::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMove(static_cast<int>(event->position().x()));
}

void TPlayBar::leaveEvent(QEvent*) {
    emit mouseLeave();
}
