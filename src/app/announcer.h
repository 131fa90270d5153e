#pragma once

#include <QWidget>

// Says a line through the screen reader whatever control has the focus, without moving it. Orca
// drops name changes and alerts of controls that do not have the focus, but speaks a
// notification each time one is shown; this is one, shown anew for every line. It paints
// nothing and takes neither the focus nor the mouse.
class Announcer final : public QWidget {
    // Found among a parent's children by its class.
    Q_OBJECT

public:
    explicit Announcer(QWidget* parent);

    void say(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
};
