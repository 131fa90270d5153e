#pragma once

#include <QProgressBar>

// The playback progress and input level bar: a frame and a plain chunk in the Highlight colour.
// The desktop style's bar animates its chunk (some sixty repaints a second while it is partly
// full) and hands each repaint to Qt's painting threads; this one is painted only when its
// position, colour or size changes, by the window's own thread.
class MeterBar final : public QProgressBar {
    Q_OBJECT

public:
    explicit MeterBar(QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};
