#pragma once

#include "app/installpaths.h"
#include "app/platform.h"
#include "app/routeddialogs.h"
#include "audio/audiodevices.h"
#include "config/inisettings.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "tx/rigsettings.h"

#include <QObject>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>

struct ConfigRecord;
struct SettingsTargets;
class FatalSignalUnkey;
class IdAlarm;
class Keyer;
class KeyingLine;
class MessageImport;
class QFileSystemWatcher;
class TransmitControls;
class WaveInEngine;
class WaveOutEngine;

// The station without its window: the keyer, the keying line, the ID alarm, the memories and
// their banks, and the settings that bring them back next time. The window shows it and turns
// clicks into its calls; the remote control and the tests call it the same way. It asks and
// tells through the dialogs it is given, and says everything else by its signals.
class Station final : public QObject {
    Q_OBJECT

public:
    // The configuration is not read yet: start does that, once the window listens.
    Station(const Platform& platform, Dialogs& boxes, QObject* parent = nullptr);
    ~Station() override;

    const Platform& platform() const { return platform_; }
    const InstallPaths& paths() const { return paths_; }
    RoutedDialogs& dialogs() { return dialogs_; }
    const KeyerState& keyerState() const { return state_; }
    KeyerState& keyerState() { return state_; }
    MemorySlots& memories() { return memories_; }
    const MemorySlots& memories() const { return memories_; }
    Keyer& keyer() { return *keyer_; }
    const Keyer& keyer() const { return *keyer_; }
    KeyingLine& keyingLine() { return *keying_; }
    const KeyingLine& keyingLine() const { return *keying_; }
    TransmitControls& transmitControls() { return *transmit_; }
    IdAlarm& idAlarm() { return *idAlarm_; }
    AudioDevices& audioDevices() { return audioDevices_; }
    WaveOutEngine& output() { return *waveOut_; }
    WaveInEngine& input() { return *waveIn_; }
    WaveOutEngine& monitorOutput() { return *monitorOut_; }

    // Reads and applies the configuration file; without one, writes it with the settings in
    // effect. Says once when the settings of this session will not be saved, and why.
    void start();
    // Stops what runs, unkeys (TUNE too), refuses any start from now on, keeps the note and
    // writes the settings. An import under way is abandoned: the old message stays.
    void shutDown();
    // A termination signal came while start was still running (inside one of its message
    // boxes): the settings are half applied, so nothing more is read and nothing is saved.
    void abandonStart();
    bool startAbandoned() const { return startAbandoned_; }

    // Kept in the configuration record; the window follows stayOnTopChanged.
    bool stayOnTop() const { return stayOnTop_; }
    void setStayOnTop(bool on);
    // Kept in the settings file; the window's console reads it.
    bool speakAloud() const { return speakAloud_; }
    void setSpeakAloud(bool on) { speakAloud_ = on; }

    // The rig settings last accepted; keying moves to the rig of kind they describe.
    const RigSettings& rigSettings() const { return rigSettings_; }
    void keyThroughRig(const RigSettings& settings, RigSettings::Keying keying);
    // Keys through the USB serial adapter at path, and keeps it as the choice in the settings
    // even when it fails to open (unplugged for now): VOX stands in for this run only.
    void chooseSerialDevice(const QString& path);
    // Another port, VOX or none was chosen in the Output menu.
    void forgetSerialDevice() { chosenSerialDevice_.clear(); }

    // The banks of memories, the first one first, and the chosen one's name.
    QStringList bankNames() const;
    int chosenBankIndex() const { return chosenBank_; }
    QString chosenBank() const { return bankNames().at(chosenBank_); }
    // Chooses the bank of that name (in any case): its memories are the ones recorded, played
    // and shown. Refused, saying why by bankRefused, while a message plays, is paused or
    // records, or while an import runs. False when refused or when no bank has that name.
    bool chooseBank(const QString& name);
    // Adds a bank of that name, in a folder of its own, and chooses it; else why not.
    QString addBank(const QString& name);

    // The slot's message length as last read from its file; zero for an empty memory.
    std::chrono::milliseconds slotLength(int slot) const { return slotLengths_.at(slot - 1); }
    void readSlotLengths();

    // Converts source into the selected memory's message on a thread of its own; null while a
    // message runs or another import does. importFinished follows its end, whatever it was.
    MessageImport* importMessage(const QString& source);
    bool importing() const { return import_ != nullptr; }
    int importSlot() const { return importSlot_; }

signals:
    void stayOnTopChanged(bool on);
    // The memories' lengths have been read again from their files.
    void slotLengthsRead();
    // A bank was added, or another chosen (also by the settings read at start).
    void banksChanged();
    // The operator or a remote command chose the bank of that name.
    void bankChosen(const QString& name);
    void bankRefused(const QString& why);
    // A remote command's failure, to be said in the status line instead of a box.
    void quietFailure(const QString& text);
    void importFinished();

private:
    void createTransmitter();
    void createKeyer();
    void readRecord();
    void tellSettingsNotSaved(const QString& why);
    SettingsTargets settingsTargets();
    void applyConfiguration(const ConfigRecord& record);
    ConfigRecord currentConfiguration();
    void applyIniSettings(const IniSettings& ini);
    IniSettings currentIniSettings() const;
    void writeConfiguration();
    // The folder, with the trailing separator, that holds bank's messages.
    QString bankFolder(int bank) const;
    // Puts the bank's memories in place of the chosen one's; the caller makes sure none runs.
    void switchBank(int bank);
    // Puts an import's message in place once it is converted and no message runs: its question
    // waits for the end of a message started meanwhile, rather than come up while the
    // transmitter is keyed.
    void finishImport();

    Platform platform_;
    RoutedDialogs dialogs_;
    InstallPaths paths_;
    KeyerState state_;
    // The chosen bank's memories; the keyer and the note box work on these.
    MemorySlots memories_;
    // The first bank's memories, which the configuration record holds, while another is chosen.
    MemorySlots firstBank_;
    // The banks after the first, with their notes as of the last switch away from them.
    BanksIni banks_;
    int chosenBank_ = 0;
    KeyingLine* keying_ = nullptr;
    TransmitControls* transmit_ = nullptr;
    IdAlarm* idAlarm_ = nullptr;
    std::unique_ptr<FatalSignalUnkey> fatalSignals_;
    AudioDevices audioDevices_;
    std::unique_ptr<WaveOutEngine> waveOut_;
    std::unique_ptr<WaveInEngine> waveIn_;
    std::unique_ptr<WaveOutEngine> monitorOut_;
    Keyer* keyer_ = nullptr;
    // The adapter last chosen by its path, until another port is chosen in the Output menu.
    QString chosenSerialDevice_;
    QString configPath_;
    RigSettings rigSettings_;
    bool stayOnTop_ = false;
    bool speakAloud_ = false;
    // Kept only to be written back as they were read.
    std::uint32_t reservedA_ = 0;
    std::uint32_t reservedB_ = 25000;
    bool startAbandoned_ = false;
    bool shutDown_ = false;
    std::array<std::chrono::milliseconds, MemorySlots::kSlots> slotLengths_{};
    QFileSystemWatcher* slotWatcher_ = nullptr;
    std::unique_ptr<MessageImport> import_;
    int importSlot_ = 0;
};
