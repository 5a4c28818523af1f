#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

class TPlayBar;

// The seek bar as screen readers see it: a slider whose value is the position
// and whose range is 0 to the length, in milliseconds, and whose text value
// reads the two times as the labels show them ("00:01:23 / 00:45:00"). It
// cannot be set from outside: the bar seeks on a press, the keyboard by its
// shortcuts.
class TPlayBarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit TPlayBarAccessible(TPlayBar* bar);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    const TPlayBar* Bar() const;
};

// Qt's accessibility factory for TPlayBar; null for any other object.
QAccessibleInterface* PlayBarAccessibleFactory(const QString& className, QObject* object);
