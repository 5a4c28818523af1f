#include "PlayBarAccessible.h"

#include "Umain/PlayBar.h"
#include "texts/PlayTime.h"

TPlayBarAccessible::TPlayBarAccessible(TPlayBar* bar)
    : QAccessibleWidget(bar, QAccessible::Slider) {}

const TPlayBar* TPlayBarAccessible::Bar() const {
    return static_cast<const TPlayBar*>(widget());
}

void* TPlayBarAccessible::interface_cast(QAccessible::InterfaceType type) {
    if (type == QAccessible::ValueInterface) {
        return static_cast<QAccessibleValueInterface*>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QString TPlayBarAccessible::text(QAccessible::Text t) const {
    if (t == QAccessible::Value) {
        if (Bar()->Max() <= 0) {
            return {};
        }
        return QString::fromStdString(FormatPlayTime(Bar()->Position()) + " / " +
                                      FormatPlayTime(Bar()->Max()));
    }
    return QAccessibleWidget::text(t);
}

QVariant TPlayBarAccessible::currentValue() const {
    return Bar()->Position();
}

void TPlayBarAccessible::setCurrentValue(const QVariant&) {}

QVariant TPlayBarAccessible::maximumValue() const {
    return Bar()->Max();
}

QVariant TPlayBarAccessible::minimumValue() const {
    return Bar()->Min();
}

QVariant TPlayBarAccessible::minimumStepSize() const {
    return 0;
}

QAccessibleInterface* PlayBarAccessibleFactory(const QString&, QObject* object) {
    if (auto* bar = qobject_cast<TPlayBar*>(object)) {
        return new TPlayBarAccessible(bar);
    }
    return nullptr;
}
