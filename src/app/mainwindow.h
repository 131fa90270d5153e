#pragma once

#include "app/mainwindowui.h"
#include "keyer/keyerstate.h"
#include "tx/ptttiming.h"

#include <QMainWindow>

#include <chrono>
#include <memory>

struct Platform;
class Console;
class Dialogs;
class FileMenu;
class MicrophoneMenu;
class MonitorMenu;
class NoteBox;
class OutputMenu;
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

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void setStayOnTop(bool on);
    void createSoundCardDialog();
    void showSoundCards(SoundCard card);
    // Transport buttons, the Delay menu and the sound cards.
    void wireKeyer();
    // Reads the settings through the station and shows them in the menus.
    void start();
    // A termination signal: the shutdown sequence once started, else the start is given up.
    void terminationSignal();

    std::unique_ptr<Dialogs> ownDialogs_;
    MainWindowUi ui_;
    Station* station_ = nullptr;
    // The state the window shows, the station's.
    KeyerState& state_;
    NoteBox* noteBox_ = nullptr;
    FileMenu* fileMenu_ = nullptr;
    OutputMenu* outputMenu_ = nullptr;
    MicrophoneMenu* microphoneMenu_ = nullptr;
    MonitorMenu* monitorMenu_ = nullptr;
    Console* console_ = nullptr;
    UnixSignalBridge* signalBridge_ = nullptr;
    SoundCardDialog* soundCard_ = nullptr;
    QString helpPath_;
    bool started_ = false;
    bool shutDown_ = false;
};
