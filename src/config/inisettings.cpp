#include "config/inisettings.h"

#include "support/atomicfile.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>

namespace {

const QString kKeyingGroup = QStringLiteral("Keying");
const QString kSerialDeviceKey = QStringLiteral("SerialDevice");
const QString kPttLeadKey = QStringLiteral("PttLeadMs");
const QString kPttTailKey = QStringLiteral("PttTailMs");
const QString kOperatorPttKey = QStringLiteral("OperatorPtt");
// How the file names each source of the operator's PTT.
const std::pair<OperatorPtt, QLatin1String> kOperatorPttNames[] = {
    {OperatorPtt::Off, QLatin1String("off")},
    {OperatorPtt::Cts, QLatin1String("cts")},
    {OperatorPtt::Dsr, QLatin1String("dsr")},
    {OperatorPtt::Rig, QLatin1String("rig")},
};
const QString kConsoleGroup = QStringLiteral("Console");
const QString kSpeakAloudKey = QStringLiteral("SpeakAloud");
const QString kRecordingGroup = QStringLiteral("Recording");
const QString kTrimKey = QStringLiteral("TrimSilence");
const QString kTrimMarginKey = QStringLiteral("TrimMarginMs");
const QString kLevelKey = QStringLiteral("Level");
const QString kPeakKey = QStringLiteral("PeakDbfs");
const QString kLoudnessKey = QStringLiteral("LoudnessLufs");
const QString kMonitorGroup = QStringLiteral("Monitor");
const QString kMonitorOnKey = QStringLiteral("On");
const QString kMonitorDeviceKey = QStringLiteral("Device");
const QString kMonitorDeviceNameKey = QStringLiteral("DeviceName");
const QString kMonitorVolumeKey = QStringLiteral("VolumeDb");
const QString kBanksGroup = QStringLiteral("Banks");
const QString kChosenBankKey = QStringLiteral("Chosen");
const QString kBankListKey = QStringLiteral("Bank");
const QString kBankNameKey = QStringLiteral("Name");
const QString kBankFolderKey = QStringLiteral("Folder");
const QString kBankNoteKey = QStringLiteral("Note%1");
// Far inside what any file system takes for a name, whatever letters the bank's name holds.
constexpr qsizetype kLongestBankFolder = 64;
// The words Level takes, in LevelMode's order.
const std::array<QString, 3> kLevelModes{QStringLiteral("off"), QStringLiteral("peak"),
                                         QStringLiteral("loudness")};

// The number under key brought into [lowest, highest]; fallback when there is none.
double readClamped(const QSettings& ini, const QString& key, double fallback, double lowest,
                   double highest) {
    bool number = false;
    const double value = ini.value(key).toDouble(&number);
    return number && std::isfinite(value) ? std::clamp(value, lowest, highest) : fallback;
}

std::chrono::milliseconds readDelay(const QSettings& ini, const QString& key) {
    bool number = false;
    const int value = ini.value(key).toInt(&number);
    return number ? clampPttDelay(std::chrono::milliseconds{value}) : std::chrono::milliseconds{0};
}

// Larger than any settings file this program writes; read only in part, it would lose its end
// when written back.
constexpr qint64 kIniLimitBytes = 1 << 20;

FileRead readIniFile(const QString& path) {
    FileRead read = readRegularFile(path, kIniLimitBytes + 1);
    if (read.bytes.size() > kIniLimitBytes) {
        read.status = FileRead::Status::Failed;
        read.failure = FileStatus::failed(EFBIG);
        read.bytes.clear();
    }
    return read;
}

// QSettings reads and writes files by name only. It is given a private copy of what was read,
// never the operator's path, where a named pipe would hold it (and the window) for good.
bool copyToScratch(const QByteArray& bytes, QTemporaryFile& scratch) {
    const bool copied = scratch.open() && scratch.write(bytes) == bytes.size();
    scratch.close();
    return copied;
}

} // namespace

void KeyingIni::load(QSettings& ini) {
    ini.beginGroup(kKeyingGroup);
    serialDevice = ini.value(kSerialDeviceKey).toString();
    // Only a device path is opened: a relative name would be looked up from wherever the
    // program happened to start.
    if (!serialDevice.startsWith(QLatin1Char('/')))
        serialDevice.clear();
    ptt.lead = readDelay(ini, kPttLeadKey);
    ptt.tail = readDelay(ini, kPttTailKey);
    const QString source = ini.value(kOperatorPttKey).toString().toLower();
    operatorPtt = OperatorPtt::Off;
    for (const auto& [known, name] : kOperatorPttNames)
        if (source == name)
            operatorPtt = known;
    ini.endGroup();
}

void KeyingIni::save(QSettings& ini) const {
    ini.beginGroup(kKeyingGroup);
    ini.setValue(kSerialDeviceKey, serialDevice);
    ini.setValue(kPttLeadKey, static_cast<int>(ptt.lead.count()));
    ini.setValue(kPttTailKey, static_cast<int>(ptt.tail.count()));
    for (const auto& [known, name] : kOperatorPttNames)
        if (operatorPtt == known)
            ini.setValue(kOperatorPttKey, name);
    ini.endGroup();
}

bool KeyingIni::isDefault() const {
    return serialDevice.isEmpty() && ptt.lead == PttTiming{}.lead && ptt.tail == PttTiming{}.tail &&
           operatorPtt == OperatorPtt::Off;
}

void ConsoleIni::load(QSettings& ini) {
    ini.beginGroup(kConsoleGroup);
    speakAloud = ini.value(kSpeakAloudKey, false).toBool();
    ini.endGroup();
}

void ConsoleIni::save(QSettings& ini) const {
    ini.beginGroup(kConsoleGroup);
    ini.setValue(kSpeakAloudKey, speakAloud);
    ini.endGroup();
}

void RecordingIni::load(QSettings& ini) {
    ini.beginGroup(kRecordingGroup);
    bool number = false;
    const int margin = ini.value(kTrimMarginKey).toInt(&number);
    trimMargin = !ini.value(kTrimKey, true).toBool() ? TrimMargin()
                 : number                            ? std::clamp(std::chrono::milliseconds{margin},
                                                                  std::chrono::milliseconds{0}, kLongestTrimMargin)
                                                     : kDefaultTrimMargin;
    const auto mode = std::find(kLevelModes.begin(), kLevelModes.end(),
                                ini.value(kLevelKey).toString().toLower());
    level.mode = mode == kLevelModes.end() ? LevelMode::Off
                                           : static_cast<LevelMode>(mode - kLevelModes.begin());
    level.peakDbfs =
        readClamped(ini, kPeakKey, kDefaultPeakDbfs, kLowestPeakDbfs, kHighestPeakDbfs);
    level.loudnessLufs = readClamped(ini, kLoudnessKey, kDefaultLoudnessLufs, kLowestLoudnessLufs,
                                     kHighestLoudnessLufs);
    ini.endGroup();
}

void RecordingIni::save(QSettings& ini) const {
    ini.beginGroup(kRecordingGroup);
    ini.setValue(kTrimKey, trimMargin.has_value());
    ini.setValue(kTrimMarginKey, static_cast<int>(trimMargin.value_or(kDefaultTrimMargin).count()));
    ini.setValue(kLevelKey, kLevelModes.at(static_cast<std::size_t>(level.mode)));
    ini.setValue(kPeakKey, level.peakDbfs);
    ini.setValue(kLoudnessKey, level.loudnessLufs);
    ini.endGroup();
}

void MonitorIni::load(QSettings& ini) {
    ini.beginGroup(kMonitorGroup);
    on = ini.value(kMonitorOnKey, false).toBool();
    device = std::max(0, ini.value(kMonitorDeviceKey, 0).toInt());
    deviceName = ini.value(kMonitorDeviceNameKey).toString();
    volume.db = static_cast<int>(
        std::lround(readClamped(ini, kMonitorVolumeKey, 0, MonitorVolume::kLowestDb, 0)));
    ini.endGroup();
}

void MonitorIni::save(QSettings& ini) const {
    ini.beginGroup(kMonitorGroup);
    ini.setValue(kMonitorOnKey, on);
    ini.setValue(kMonitorDeviceKey, device);
    ini.setValue(kMonitorDeviceNameKey, deviceName);
    ini.setValue(kMonitorVolumeKey, volume.db);
    ini.endGroup();
}

QString BanksIni::folderFor(const QString& name) {
    QString folder;
    for (const QChar c : name)
        folder += c.isLetterOrNumber() || c == QLatin1Char('-') ? c : QLatin1Char('_');
    return folder.left(kLongestBankFolder);
}

QString BanksIni::cleanName(const QString& name) {
    return name.trimmed();
}

void BanksIni::load(QSettings& ini) {
    ini.beginGroup(kBanksGroup);
    chosen = ini.value(kChosenBankKey, firstName()).toString();
    // A file without banks is one from before them: the defaults stand.
    if (ini.childGroups().contains(kBankListKey)) {
        banks.clear();
        const int count = ini.beginReadArray(kBankListKey);
        for (int i = 0; i < count; ++i) {
            ini.setArrayIndex(i);
            Bank bank{cleanName(ini.value(kBankNameKey).toString()),
                      ini.value(kBankFolderKey).toString(),
                      {}};
            // Only a folder this program would have made: never one outside the banks folder.
            const bool safeFolder = !bank.folder.isEmpty() && folderFor(bank.folder) == bank.folder;
            const bool taken =
                bank.name.compare(firstName(), Qt::CaseInsensitive) == 0 ||
                std::any_of(banks.begin(), banks.end(), [&](const Bank& other) {
                    return other.name.compare(bank.name, Qt::CaseInsensitive) == 0 ||
                           other.folder.compare(bank.folder, Qt::CaseInsensitive) == 0;
                });
            if (bank.name.isEmpty() || !safeFolder || taken)
                continue;
            for (std::size_t n = 0; n < bank.notes.size(); ++n)
                bank.notes[n] = ini.value(kBankNoteKey.arg(n + 1)).toString();
            banks << bank;
        }
        ini.endArray();
    }
    ini.endGroup();
}

void BanksIni::save(QSettings& ini) const {
    ini.beginGroup(kBanksGroup);
    ini.setValue(kChosenBankKey, chosen);
    ini.beginWriteArray(kBankListKey, static_cast<int>(banks.size()));
    for (int i = 0; i < banks.size(); ++i) {
        ini.setArrayIndex(i);
        ini.setValue(kBankNameKey, banks[i].name);
        ini.setValue(kBankFolderKey, banks[i].folder);
        for (std::size_t n = 0; n < banks[i].notes.size(); ++n)
            ini.setValue(kBankNoteKey.arg(n + 1), banks[i].notes[n]);
    }
    ini.endArray();
    ini.endGroup();
}

bool BanksIni::isDefault() const {
    const BanksIni defaults;
    return chosen == defaults.chosen && banks.size() == defaults.banks.size() &&
           std::equal(banks.begin(), banks.end(), defaults.banks.begin(),
                      [](const Bank& a, const Bank& b) {
                          return a.name == b.name && a.folder == b.folder && a.notes == b.notes;
                      });
}

void IniSettings::load(QSettings& ini) {
    keying.load(ini);
    rig.load(ini);
    console.load(ini);
    recording.load(ini);
    monitor.load(ini);
    banks.load(ini);
}

void IniSettings::save(QSettings& ini) const {
    keying.save(ini);
    rig.save(ini);
    console.save(ini);
    recording.save(ini);
    monitor.save(ini);
    banks.save(ini);
}

bool IniSettings::isDefault() const {
    return keying.isDefault() && rig.isDefault() && console.isDefault() && recording.isDefault() &&
           monitor.isDefault() && banks.isDefault();
}

IniSettings readIniSettings(const QString& path, FileRead& found) {
    IniSettings settings;
    found = readIniFile(path);
    QTemporaryFile scratch;
    if (found.status != FileRead::Status::Read || !copyToScratch(found.bytes, scratch))
        return settings;
    QSettings ini(scratch.fileName(), QSettings::IniFormat);
    if (ini.status() == QSettings::NoError)
        settings.load(ini);
    return settings;
}

bool writeIniSettings(const QString& path, const IniSettings& settings) {
    const FileRead old = readIniFile(path);
    if (settings.isDefault() && old.status == FileRead::Status::Missing)
        return true;
    // Every key the old file held that this program does not know goes into the new one, so a
    // file that could not be read is left alone. QSettings writes only files of its own choosing:
    // the new contents are composed in a scratch file and then put in place the way the
    // configuration record is.
    QTemporaryFile oldCopy, scratch;
    if (old.status == FileRead::Status::NotRegular || old.status == FileRead::Status::Failed ||
        !copyToScratch(old.bytes, oldCopy) || !copyToScratch({}, scratch))
        return false;
    {
        QSettings ini(scratch.fileName(), QSettings::IniFormat);
        const QSettings kept(oldCopy.fileName(), QSettings::IniFormat);
        for (const QString& key : kept.allKeys())
            ini.setValue(key, kept.value(key));
        settings.save(ini);
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    QFile composed(scratch.fileName());
    return composed.open(QIODevice::ReadOnly) && writeFileAtomically(path, composed.readAll());
}
