#pragma once

#include "keyer/level.h"
#include "keyer/monitor.h"
#include "keyer/trim.h"
#include "support/regularfile.h"
#include "tx/keyingline.h"
#include "tx/ptttiming.h"
#include "tx/rigsettings.h"

#include <QList>
#include <QString>

#include <array>

class QSettings;

// The keying settings the fixed configuration record has no room for.
struct KeyingIni {
    QString serialDevice; // a serial port chosen by its device path; empty when none is
    PttTiming ptt;
    OperatorPtt operatorPtt = OperatorPtt::Off; // where the operator's own PTT is read

    // A missing or malformed value gives its default; one out of range is brought into it.
    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const;
};

// How the window speaks to the operator.
struct ConsoleIni {
    bool speakAloud = false; // the transmit state said aloud through the speech server

    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const { return !speakAloud; }
};

// What becomes of a recording or an import once it is in its memory.
struct RecordingIni {
    TrimMargin trimMargin = kDefaultTrimMargin;
    LevelTarget level;

    // A margin or a target out of range is brought into it; an unknown mode is Off.
    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const { return trimMargin == kDefaultTrimMargin && level == LevelTarget{}; }
};

// The operator's headphones. The device is kept by its name too: sound cards are numbered anew
// when a USB one comes or goes.
struct MonitorIni {
    bool on = false;
    int device = 0;
    QString deviceName;
    MonitorVolume volume;

    // A volume out of range is brought into it.
    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const {
        return !on && device == 0 && deviceName.isEmpty() && volume == MonitorVolume{};
    }
};

// The banks of memories after the first. The first ("Run") is the memories the configuration
// record holds, which other copies of the program read: its notes are never kept here.
struct BanksIni {
    struct Bank {
        QString name;
        // A folder name under the banks folder, safe for any name the operator gives the bank.
        QString folder;
        // Per memory 1 to 12, as the window shows them (LF line breaks).
        std::array<QString, 12> notes;
    };

    // The first bank's name; it is never renamed.
    static QString firstName() { return QStringLiteral("Run"); }
    // A folder name for the bank name: letters, digits, '-' and '_' kept, anything else '_', cut
    // to a length every file system takes.
    static QString folderFor(const QString& name);
    // The name made fit for a bank: its spaces at the ends trimmed; empty when none is left.
    static QString cleanName(const QString& name);

    QList<Bank> banks{{QStringLiteral("S&P"), folderFor(QStringLiteral("S&P")), {}}};
    QString chosen = firstName();

    // A bank without a name, with a name already taken or with an unsafe folder is left out.
    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const;
};

// Settings kept beside the configuration record in an INI file, one group per feature; each
// group loads and saves itself through QSettings, so a feature adds its own the same way.
struct IniSettings {
    KeyingIni keying;
    RigSettings rig;
    ConsoleIni console;
    RecordingIni recording;
    MonitorIni monitor;
    BanksIni banks;

    void load(QSettings& ini);
    void save(QSettings& ini) const;
    bool isDefault() const;
};

// The settings in the INI file at path, read as readRegularFile reads, never waiting on it: the
// defaults when it is missing, unreadable or no regular file. found tells which.
IniSettings readIniSettings(const QString& path, FileRead& found);

// Replaces the INI file at path atomically with the settings, keeping every key it held that this
// program does not know (another version's, another feature's). A missing file is created only
// for settings other than the defaults, which its absence means as well. False when it failed, or
// when the file could not be read or is no regular file.
bool writeIniSettings(const QString& path, const IniSettings& settings);
