#include "app/meterbar.h"

#include <QPainter>

MeterBar::MeterBar(QWidget* parent) : QProgressBar(parent) {
    // Every pixel is painted here: the window under the bar need not be painted first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void MeterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect();
    painter.fillRect(frame, palette().color(QPalette::Base));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    const qint64 span = qint64(maximum()) - minimum();
    const qint64 filled = qBound<qint64>(0, qint64(value()) - minimum(), span);
    if (span <= 0 || filled == 0)
        return;
    const QRect inside = frame.adjusted(1, 1, -1, -1);
    const auto width = static_cast<int>(inside.width() * filled / span);
    painter.fillRect(QRect(inside.topLeft(), QSize(width, inside.height())),
                     palette().color(QPalette::Highlight));
}
