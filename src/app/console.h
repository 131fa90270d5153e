#pragma once

#include "keyer/keyerstate.h"

#include <QColor>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

struct MainWindowUi;
class FocusRing;
class MonitorMenu;
class QLabel;
class QMainWindow;
class QTimer;
class QWidget;
class Station;

// The window for the operator at the keyboard and for a screen reader: the shortcuts, the
// tooltips and the Keyboard help, the accessible names, states and announcements, the memory
// buttons, the status line and the level meter, all following the station.
class Console final : public QObject {
    Q_OBJECT

public:
    // monitor previews a memory for Ctrl+F1 … Ctrl+F12.
    Console(Station& station, const MainWindowUi& ui, MonitorMenu& monitor, QMainWindow& window);

    // Names, states and the status line as the station is now.
    void showConsole();
    // Names, states and the status line follow the keyer once its handler step is done, so a
    // state passed through within one step is neither shown nor announced.
    void scheduleConsole();
    void showMemoryButtons();
    // Help > Keyboard: the keys of the window.
    void showKeyboard();
    // The idle status line's text, shown and said now.
    void showIdleStatus(const QString& text);
    // A line shown and said without becoming the idle text: why something stays as it is.
    void showNotice(const QString& text);
    // A failure of a remote command: said in the status line instead of a box.
    void showQuietFailure(const QString& text);
    // The monitor went off: said now, or once the message that runs has ended.
    void showMonitorFailure(const QString& why);
    // The operator's own PTT went down: what keys the transmitter gives way.
    void yieldToOperator();

private:
    // "memory 3", "phrase A" while one is recorded, or the file's name for a message opened
    // from elsewhere.
    QString messageName() const;
    void showStatus(KeyerPhase now);
    // The bar and the status line follow every block, but are redrawn at most every
    // kStatusInterval, by statusTimer_.
    void scheduleStatus();
    void showLevel(KeyerPhase now);
    void nothingToPlay(const QString& path);
    // A start refused before anything keyed: said in the status line, not as a playback.
    void showRefusal(const QString& said);
    // Says spoken (else text) through the screen reader, and leaves text as where's accessible
    // name for the operator who looks again. Each label says its lines through an announcer of
    // its own, so that the indicator and the status line changed in one step are both heard.
    void announce(QLabel* where, const QString& text, const QString& spoken = {});
    // Says a line through the screen reader; where only keeps lines of one kind apart.
    void say(QWidget* where, const QString& text);
    // What a memory button is called: its number, whether chosen, its length and note.
    QStringList memoryParts(int slot) const;
    void chooseMemory(int slot);

    Station* station_;
    const KeyerState& state_;
    const MainWindowUi& ui_;
    MonitorMenu* monitorMenu_;
    QMainWindow& window_;
    QTimer* consoleTimer_ = nullptr;
    QTimer* statusTimer_ = nullptr;
    // Since the bar and the status line last followed a block; invalid after the console showed.
    QElapsedTimer statusShown_;
    FocusRing* focusRing_ = nullptr;
    KeyerPhase shownPhase_ = KeyerPhase::Idle;
    QString shownMessage_;
    // The status line's text while nothing runs: what last ended, or why nothing started.
    QString idleStatus_;
    // A remote command's failure, said in place of "Playback ended" when its message stops.
    QString quietFailure_;
    // Why the monitor went off while a message ran, told when it ends.
    QString monitorFailure_;
    QColor barColour_;
};
