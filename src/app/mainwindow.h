#pragma once

#include "app/installpaths.h"
#include "app/mainwindowui.h"
#include "app/platform.h"
#include "app/routeddialogs.h"
#include "audio/audiodevices.h"
#include "config/inisettings.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "tx/ptttiming.h"
#include "tx/rigsettings.h"

#include <QElapsedTimer>
#include <QMainWindow>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

struct ConfigRecord;
struct IniSettings;
struct SettingsTargets;
class Dialogs;
class IdAlarm;
class Keyer;
class KeyingLine;
class MessageImport;
class PhrasesDialog;
class QProgressDialog;
class TransmitControls;
class SoundCardDialog;
class FatalSignalUnkey;
class FocusRing;
class QActionGroup;
class QFileSystemWatcher;
class QLabel;
class QTimer;
enum class SoundCard;
class UnixSignalBridge;
class WaveInEngine;
class WaveOutEngine;

// The main window: owns the controls, the keyer state and the subsystems, and wires them.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(const Platform& platform, QWidget* parent = nullptr);
    ~MainWindow() override;

    const MainWindowUi& ui() const { return ui_; }
    const KeyerState& keyerState() const { return state_; }
    MemorySlots& memories() { return memories_; }
    Keyer& keyer() { return *keyer_; }
    RoutedDialogs& dialogs() { return dialogs_; }
    KeyingLine& keyingLine() { return *keying_; }
    TransmitControls& transmitControls() { return *transmit_; }
    IdAlarm& idAlarm() { return *idAlarm_; }
    AudioDevices& audioDevices() { return audioDevices_; }
    SoundCardDialog& soundCardSelect() { return *soundCard_; }
    // A termination signal came while start-up was still running (inside one of its message
    // boxes): the program ends without showing the window or saving anything.
    bool startAbandoned() const { return startAbandoned_; }
    const InstallPaths& paths() const { return paths_; }
    QString helpPath() const { return helpPath_; }

    void start();
    // The way out shared by the close box, File > Exit and the termination signals.
    void shutdown();
    void quit();
    void showAbout();
    void openMixer();
    void showHelp();
    void chooseInputCard();
    void chooseOutputCard();
    void openMessage();
    void saveMessageAs();
    // The Hamlib keying dialogs: OK keys through the rig shown from then on.
    void chooseCatKeying();
    void chooseCm108Keying();
    // File > Import Message…: any sound file becomes the selected memory's message.
    void importMessage();
    // File > Template…: the selected memory spoken from the phrases and fields instead of its
    // recording; empty text plays the recording again.
    void editTemplate();
    // File > Phrases…: the pieces spoken exchanges are made of.
    void showPhrases();
    // Key release anywhere in the window: Escape stops everything and unkeys.
    void keyReleased(int key);
    // Help > Keyboard: the keys of the window.
    void showKeyboard();
    // The banks of memories, the first one first, and the chosen one's name.
    QStringList bankNames() const;
    QString chosenBank() const { return bankNames().at(chosenBank_); }
    // Chooses the bank of that name: its memories are the ones recorded, played and shown.
    // Refused while a message plays, is paused or records, or while an import runs: the status
    // line says why. False when refused or when no bank has that name (in any case).
    bool chooseBank(const QString& name);
    // Bank > New Bank…: asks for a name and chooses the new bank.
    void askNewBank();
    // The slot's message length as last read from its file; zero for an empty memory.
    std::chrono::milliseconds slotLength(int slot) const { return slotLengths_.at(slot - 1); }

signals:
    // The memories' lengths have been read again from their files.
    void slotLengthsRead();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void wire();
    void wireIndicators();
    void createTransmitter();
    // The Output and ID menus, TUNE, Tx Enable, Tx Mic and their indicators, and the ways out
    // that must leave the transmitter unkeyed.
    void wireTransmitter();
    void setStayOnTop(bool on);
    // The keyboard, the screen reader and the state in words: shortcuts, tooltips, accessible
    // names and states, announcements, the slot lengths, the status line and the level meter.
    void wireConsole();
    void readSlotLengths();
    void showMemoryButtons();
    // The bank menu and button, and the keys that step through the banks.
    void wireBanks();
    void showBanks();
    // The folder, with the trailing separator, that holds bank's messages.
    QString bankFolder(int bank) const;
    // Puts the bank's memories in place of the chosen one's; the caller makes sure none runs.
    void switchBank(int bank);
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
    void createKeyer();
    void showSoundCards(SoundCard card);
    // Plays the slot's message on the monitor alone; the status line says where.
    void previewMemory(int slot);
    // Options > Monitor shows whether the monitor is on, and its volume.
    void showMonitor();
    // Transport buttons, memory buttons and the Delay and Microphone menus.
    void wireKeyer();
    // Reads and applies the configuration file; without one, writes it with the settings in
    // effect. Says once when the settings of this session will not be saved, and why.
    void readConfiguration();
    void readRecord();
    void tellSettingsNotSaved(const QString& why);
    SettingsTargets settingsTargets();
    void applyConfiguration(const ConfigRecord& record);
    ConfigRecord currentConfiguration();
    void applyIniSettings(const IniSettings& ini);
    IniSettings currentIniSettings() const;
    void writeConfiguration();
    // Lists the USB serial ports present in the Output menu, the one in use ticked.
    void listSerialPortItems();
    // Keys through the USB serial adapter at path, and keeps it as the choice in the settings
    // even when it fails to open (unplugged for now): VOX stands in for this run only.
    void chooseSerialDevice(const QString& path);
    // Asks for the PTT lead or tail.
    void setPttDelay(std::chrono::milliseconds PttTiming::*delay, const QString& caption);
    // A termination signal: the shutdown sequence once started, else the start is given up.
    void terminationSignal();
    // An import has converted its file, or was refused or cancelled: what it found is told, and
    // the new message put in place, once no message runs.
    void finishImport();
    // Microphone > Gain ticks the gain recordings are made with.
    void showGain();
    // Microphone > Trim Silence shows the keyer's margin, and Level its target.
    void showTrimMargin();
    void showLevelTarget();
    // While nothing runs: Level This Memory Now offered when the selected memory holds a
    // message, Undo Trim and Level while its message as recorded is kept.
    void offerMessageEdits();
    void levelNow();
    void undoTrim();
    // A failure of a remote command: said in the status line instead of a box.
    void showQuietFailure(const QString& text);
    // The idle status line's text, shown and said now.
    void showIdleStatus(const QString& text);
    void showOperatorPtt();
    // The Output menu ticks the port, rig or VOX keying, and the polarity.
    void showKeyingChoice();
    // The operator's own PTT went down: what keys the transmitter gives way.
    void yieldToOperator();

    Platform platform_;
    std::unique_ptr<Dialogs> ownDialogs_;
    RoutedDialogs dialogs_;
    InstallPaths paths_;
    MainWindowUi ui_;
    KeyerState state_;
    // The chosen bank's memories; the keyer and the note box work on these.
    MemorySlots memories_;
    // The first bank's memories, which the configuration record holds, while another is chosen.
    MemorySlots firstBank_;
    // The banks after the first, with their notes as of the last switch away from them.
    BanksIni banks_;
    int chosenBank_ = 0;
    QActionGroup* bankItems_ = nullptr;
    Keyer* keyer_ = nullptr;
    KeyingLine* keying_ = nullptr;
    TransmitControls* transmit_ = nullptr;
    IdAlarm* idAlarm_ = nullptr;
    UnixSignalBridge* signalBridge_ = nullptr;
    std::unique_ptr<FatalSignalUnkey> fatalSignals_;
    AudioDevices audioDevices_;
    std::unique_ptr<WaveOutEngine> waveOut_;
    std::unique_ptr<WaveInEngine> waveIn_;
    std::unique_ptr<WaveOutEngine> monitorOut_;
    // Why the monitor went off while a message ran, told when it ends.
    QString monitorFailure_;
    SoundCardDialog* soundCard_ = nullptr;
    QList<QAction*> serialPortItems_;
    // The adapter last chosen by its path, until another port is chosen in the Output menu.
    QString chosenSerialDevice_;
    QString configPath_;
    QString helpPath_;
    RigSettings rigSettings_;
    bool stayOnTop_ = false;
    // Kept only to be written back as they were read.
    std::uint32_t reservedA_ = 0;
    std::uint32_t reservedB_ = 25000;
    bool started_ = false;
    bool startAbandoned_ = false;
    bool shutDown_ = false;
    std::array<std::chrono::milliseconds, 12> slotLengths_{};
    QFileSystemWatcher* slotWatcher_ = nullptr;
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
    std::unique_ptr<MessageImport> import_;
    std::unique_ptr<QProgressDialog> importProgress_;
    int importSlot_ = 0;
    PhrasesDialog* phrases_ = nullptr;
};
