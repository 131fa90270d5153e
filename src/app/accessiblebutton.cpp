#include "app/accessiblebutton.h"

#include <QAbstractButton>
#include <QAccessibleWidget>

namespace {

constexpr char kKindProperty[] = "accessibleKind";
constexpr char kOnProperty[] = "accessibleOn";

using accessiblebutton::Kind;

Kind kindOf(const QAbstractButton* button) {
    return static_cast<Kind>(button->property(kKindProperty).toInt());
}

class StateButton final : public QAccessibleWidget {
public:
    explicit StateButton(QAbstractButton* button)
        : QAccessibleWidget(button, kindOf(button) == Kind::Switch ? QAccessible::CheckBox
                                                                   : QAccessible::Button),
          button_(button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        const bool on = button_->property(kOnProperty).toBool();
        if (kindOf(button_) == Kind::Choice) {
            state.selectable = true;
            state.selected = on;
        } else {
            state.checkable = true;
            state.checked = on;
        }
        state.pressed = button_->isDown();
        return state;
    }
    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& action) override {
        if (action == pressAction())
            button_->click();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QAbstractButton* button_;
};

QAccessibleInterface* stateButtonFactory(const QString& className, QObject* object) {
    auto* button = qobject_cast<QAbstractButton*>(object);
    if (className != QLatin1String("QPushButton") || !button ||
        !button->property(kKindProperty).isValid())
        return nullptr;
    return new StateButton(button);
}

} // namespace

namespace accessiblebutton {

void mark(QAbstractButton* button, Kind kind) {
    static const bool installed = [] {
        QAccessible::installFactory(stateButtonFactory);
        return true;
    }();
    Q_UNUSED(installed);
    button->setProperty(kKindProperty, static_cast<int>(kind));
    button->setProperty(kOnProperty, false);
    // The toolkit's own interface may already be kept from the caption set at construction; it
    // goes, so the next request is answered by the factory.
    QAccessibleInterface* kept = QAccessible::queryAccessibleInterface(button);
    if (kept && !dynamic_cast<StateButton*>(kept))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(kept));
}

void setOn(QAbstractButton* button, bool on) {
    if (isOn(button) == on)
        return;
    button->setProperty(kOnProperty, on);
    QAccessible::State changed;
    if (kindOf(button) == Kind::Choice)
        changed.selected = true;
    else
        changed.checked = true;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

bool isOn(const QAbstractButton* button) {
    return button->property(kOnProperty).toBool();
}

} // namespace accessiblebutton
