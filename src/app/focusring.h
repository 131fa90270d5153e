#pragma once

#include <QPointer>
#include <QWidget>

// A frame drawn around the control that has the keyboard focus in one window, clearer than the
// style's own faint focus mark and with the same look on every control.
class FocusRing final : public QWidget {
public:
    explicit FocusRing(QWidget* window);

    // The control the ring surrounds; null while the focus is outside the window.
    QWidget* target() const { return target_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void follow(QWidget* focused);

    QWidget* window_;
    QPointer<QWidget> target_;
};
