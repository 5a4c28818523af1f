#pragma once

#include <optional>

#include <QObject>
#include <QString>

class QPlainTextEdit;

// Text for a text box that is put in only when the user can look at it, that is
// when the box takes the focus: Qt needs seconds to lay out a large feed
// written on one line, and the box lies out of view.
class TDeferredPlainText final : public QObject {
    Q_OBJECT
public:
    explicit TDeferredPlainText(QPlainTextEdit* box);

    // Shows `text` at once when the box has the focus, otherwise at its next focus.
    void SetText(QString text);
    // What the box holds, or will hold when it takes the focus.
    QString Text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPlainTextEdit* box_;
    std::optional<QString> pending_;
};
