#include "app/routeddialogs.h"

void RoutedDialogs::showMessage(const Notice& text, const Notice& title) {
    if (!remote_) {
        boxes_.showMessage(text, title);
        return;
    }
    // The first failure is the cause; what follows it is mostly its consequence. The caller
    // reads it in English, whatever the locale; the status line in the operator's language.
    if (failure_.isEmpty())
        failure_ = text.source();
    showQuietly_(text.shown());
}
