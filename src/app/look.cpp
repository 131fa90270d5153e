#include "app/look.h"

#include <QAbstractButton>
#include <QWidget>

namespace look {

static QPalette::ColorRole textRole(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) ? QPalette::ButtonText
                                                        : QPalette::WindowText;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(textRole(widget), colour);
    widget->setPalette(palette);
}

QColor textColour(const QWidget* widget) {
    return widget->palette().color(textRole(widget));
}

void setFillColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

QColor fillColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Window);
}

} // namespace look
