#include "app/focusring.h"

#include "app/look.h"

#include <QApplication>
#include <QPainter>

namespace {
constexpr int kRingWidth = 2;
} // namespace

FocusRing::FocusRing(QWidget* window) : QWidget(window), window_(window) {
    setObjectName(QStringLiteral("FocusRing"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    connect(qApp, &QApplication::focusChanged, this,
            [this](QWidget*, QWidget* now) { follow(now); });
}

void FocusRing::follow(QWidget* focused) {
    if (!focused || focused->window() != window_ || !focused->parentWidget()) {
        target_ = nullptr;
        hide();
        return;
    }
    target_ = focused;
    // In the gap around the control, on its own panel, so nothing of the control is covered.
    setParent(focused->parentWidget());
    setGeometry(focused->geometry().adjusted(-kRingWidth, -kRingWidth, kRingWidth, kRingWidth));
    raise();
    show();
}

void FocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QPen pen(look::kYellow, kRingWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.drawRect(QRectF(rect()).adjusted(kRingWidth / 2.0, kRingWidth / 2.0, -kRingWidth / 2.0,
                                             -kRingWidth / 2.0));
}
