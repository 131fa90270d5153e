#pragma once

#include <QWidget>

class QToolButton;

// A pair of arrow buttons that step a position through a range, one step per click, with no edit
// box of its own.
class UpDownControl : public QWidget {
    Q_OBJECT

public:
    explicit UpDownControl(QWidget* parent = nullptr);

    void setRange(int minimum, int maximum);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    int position() const { return position_; }
    // Clamped to the range.
    void setPosition(int position);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    // After a click on either arrow, once the position has moved (within the range).
    void clicked();

private:
    void step(int delta);

    QToolButton* up_;
    QToolButton* down_;
    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
};
