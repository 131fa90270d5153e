#pragma once

#include <QWidget>

class QToolButton;

// An up-down control without an edit box: two arrow buttons that step an integer position
// within a range and report each step.
class UpDown : public QWidget {
    Q_OBJECT

public:
    UpDown(int minimum, int maximum, QWidget* parent = nullptr);

    int position() const { return position_; }
    // Clamped to the range; no click is reported.
    void setPosition(int position);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }

    void stepUp() { step(+1); }
    void stepDown() { step(-1); }

signals:
    // After a step has moved the position (or tried to, at the end of the range).
    void clicked();

private:
    void step(int delta);

    int minimum_;
    int maximum_;
    int position_;
};
