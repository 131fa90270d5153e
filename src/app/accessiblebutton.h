#pragma once

class QAbstractButton;

// The window's buttons tell their state by caption colour; a screen reader needs it as an
// accessible state too. A button marked here reports checked (a switch: LOOP, TUNE, Tx Enable)
// or selected (a memory) as the window sets it, without becoming a checkable button, whose
// look and click behaviour would change.
namespace accessiblebutton {
enum class Kind { Switch, Choice };
// Must run before anything asks for the button's accessible interface, which is then kept.
void mark(QAbstractButton* button, Kind kind);
// Sets the state and tells assistive technology when it changed.
void setOn(QAbstractButton* button, bool on);
bool isOn(const QAbstractButton* button);
} // namespace accessiblebutton
