#pragma once

#include <QWidget>

// The player's progress bar, which doubles as the seek control. Unlike
// QProgressBar it draws an empty bar (not a busy animation) for the range 0..0,
// which is what it shows before any medium is loaded. Reports presses, moves
// (also with no button held) and the pointer leaving, with x in its own pixels.
class TPlayBar final : public QWidget {
    Q_OBJECT
public:
    explicit TPlayBar(QWidget* parent = nullptr);

    int Min() const { return min_; }
    int Max() const { return max_; }
    int Position() const { return position_; }
    void SetMin(int value);
    void SetMax(int value);
    void SetPosition(int value);

    QSize sizeHint() const override;

signals:
    void mouseDown(int x);
    void mouseMove(int x);
    void mouseLeave();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int min_ = 0;
    int max_ = 100;
    int position_ = 0;
};
