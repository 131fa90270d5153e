#include "app/look.h"

#include <QAbstractButton>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QWidget>

#include <deque>

namespace {

// Fusion keeps every button face it draws in the pixmap cache, under a key made with the
// palette's serial number, and each caption colour set on a button gives it a palette with a new
// number. So every play, stop and selection left faces behind that no later paint could find
// (about eight a play: 20 MB over 9,000 remote plays, not held by the cache's limit). A face does
// not show its caption's colour: this style draws it with one lasting palette for each set of
// face colours, so a button turned red and back finds its faces in the cache again.
class LastingFaces final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
        if (element != PE_PanelButtonCommand || !button) {
            QProxyStyle::drawPrimitive(element, option, painter, widget);
            return;
        }
        QStyleOptionButton face = *button;
        face.palette = lasting(face.palette);
        QProxyStyle::drawPrimitive(element, &face, painter, widget);
    }

private:
    // More than the window has panels behind its buttons.
    static constexpr std::size_t kMostFaces = 16;

    QPalette lasting(QPalette palette) const {
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::ButtonText, Qt::black);
        for (const QPalette& kept : faces_)
            if (kept == palette)
                return kept;
        if (faces_.size() == kMostFaces)
            faces_.pop_front();
        faces_.push_back(palette);
        return palette;
    }

    mutable std::deque<QPalette> faces_;
};

} // namespace

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

QStyle* createStyle(const QString& name) {
    return new LastingFaces(
        QStyleFactory::create(name.isEmpty() ? QStringLiteral("Fusion") : name));
}

} // namespace look
