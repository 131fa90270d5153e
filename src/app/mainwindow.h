#pragma once

#include "app/mainwindowui.h"
#include "keyer/keyerstate.h"
#include "tx/ptttiming.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <chrono>
#include <memory>

struct Platform;
class BankMenu;
class Dialogs;
class FileMenu;
class FocusRing;
class MicrophoneMenu;
class MonitorMenu;
class NoteBox;
class OutputMenu;
class QLabel;
class QTimer;
class SoundCardDialog;
enum class SoundCard;
class Station;
class UnixSignalBridge;

// The main window: shows the station, and turns the operator's clicks and keys into its calls.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(const Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    const MainWindowUi& ui() const { return ui_; }
    // What the window shows: the remote control and the tests work on the same station.
    Station& station() { return *station_; }
    // The selected memory's note as the operator edits it.
    const NoteBox& noteBox() const { return *noteBox_; }
    SoundCardDialog& soundCardSelect() { return *soundCard_; }
    // A termination signal came while start-up was still running (inside one of its message
    // boxes): the program ends without showing the window or saving anything.
    bool startAbandoned() const;
    QString helpPath() const { return helpPath_; }

    // The way out shared by the close box, File > Exit and the termination signals.
    void shutdown();
    void quit();
    void showAbout();
    void openMixer();
    void showHelp();
    void chooseInputCard();
    void chooseOutputCard();
    // Key release anywhere in the window: Escape stops everything and unkeys.
    void keyReleased(int key);
    // Help > Keyboard: the keys of the window.
    void showKeyboard();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void wireIndicators();
    void setStayOnTop(bool on);
    // The keyboard, the screen reader and the state in words: shortcuts, tooltips, accessible
    // names and states, announcements, the slot lengths, the status line and the level meter.
    void wireConsole();
    void showMemoryButtons();
    // Names, states and the status line follow the keyer once its handler step is done, so a
    // state passed through within one step is neither shown nor announced.
    void scheduleConsole();
    void showConsole();
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
    void createSoundCardDialog();
    void showSoundCards(SoundCard card);
    // Transport buttons, memory buttons, the Delay menu, the sound cards, and the Microphone and
    // Monitor menus.
    void wireKeyer();
    // Reads the settings through the station and shows them in the menus.
    void start();
    // A termination signal: the shutdown sequence once started, else the start is given up.
    void terminationSignal();
    // A failure of a remote command: said in the status line instead of a box.
    void showQuietFailure(const QString& text);
    // The idle status line's text, shown and said now.
    void showIdleStatus(const QString& text);
    // The operator's own PTT went down: what keys the transmitter gives way.
    void yieldToOperator();

    std::unique_ptr<Dialogs> ownDialogs_;
    MainWindowUi ui_;
    Station* station_ = nullptr;
    // The state the window shows, the station's.
    KeyerState& state_;
    NoteBox* noteBox_ = nullptr;
    BankMenu* bankMenu_ = nullptr;
    FileMenu* fileMenu_ = nullptr;
    OutputMenu* outputMenu_ = nullptr;
    MicrophoneMenu* microphoneMenu_ = nullptr;
    MonitorMenu* monitorMenu_ = nullptr;
    UnixSignalBridge* signalBridge_ = nullptr;
    // Why the monitor went off while a message ran, told when it ends.
    QString monitorFailure_;
    SoundCardDialog* soundCard_ = nullptr;
    QString helpPath_;
    bool started_ = false;
    bool shutDown_ = false;
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
    QColor barColour_;
};
