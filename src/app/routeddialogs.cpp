#include "app/routeddialogs.h"

void RoutedDialogs::showMessage(const QString& text, const QString& title) {
    if (!remote_) {
        boxes_.showMessage(text, title);
        return;
    }
    // The first failure is the cause; what follows it is mostly its consequence.
    if (failure_.isEmpty())
        failure_ = text;
    showQuietly_(text);
}
