#include "DeferredPlainText.h"

#include <QEvent>
#include <QPlainTextEdit>

TDeferredPlainText::TDeferredPlainText(QPlainTextEdit* box) : QObject(box), box_(box) {
    box_->installEventFilter(this);
}

void TDeferredPlainText::SetText(QString text) {
    if (box_->hasFocus()) {
        pending_.reset();
        box_->setPlainText(text);
    } else {
        pending_ = std::move(text);
    }
}

QString TDeferredPlainText::Text() const {
    return pending_ ? *pending_ : box_->toPlainText();
}

bool TDeferredPlainText::eventFilter(QObject* watched, QEvent* event) {
    if (watched == box_ && event->type() == QEvent::FocusIn && pending_) {
        box_->setPlainText(*pending_);
        pending_.reset();
    }
    return QObject::eventFilter(watched, event);
}
