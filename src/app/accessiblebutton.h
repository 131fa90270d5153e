#pragma once

class QAbstractButton;

// The window's buttons tell their state by caption colour; a screen reader needs it as an
// accessible state too, without the buttons becoming checkable ones, whose look and click
// behaviour would change. A switch (LOOP, TUNE, Tx Enable, Microphone) is presented as a check
// box, checked while on: Orca speaks a check box's new state when it is toggled under the focus,
// and says nothing for a push button's. An action (PLAY, REC) is a push button, checked while it
// runs; a choice (a memory) a push button, selected while chosen.
namespace accessiblebutton {
enum class Kind { Switch, Action, Choice };
// Must run before anything asks for the button's accessible interface, which is then kept.
void mark(QAbstractButton* button, Kind kind);
// Sets the state and tells assistive technology when it changed.
void setOn(QAbstractButton* button, bool on);
bool isOn(const QAbstractButton* button);
} // namespace accessiblebutton
