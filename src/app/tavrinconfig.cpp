// The main window's persistence: the configuration file read at start-up and applied through
// the same handlers as the menus, written at shutdown, and the File menu's wave commands.
#include "app/tavrin.h"

#include "config/atomicfile.h"
#include "config/configrecord.h"
#include "config/openwave.h"
#include "keyer/keyer.h"
#include "support/dialogs.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"

#include <QDir>
#include <QFileInfo>
#include <QTextEdit>

#include <cerrno>
#include <cstring>

namespace {
constexpr std::int32_t kNormalPolarity = 1;
constexpr std::uint8_t kOn = 1;

const QString kConfigErrorTitle = QStringLiteral("Configuration File Error Message");
const QString kCouldNotRead = QStringLiteral("Could not read the configuration file %1: %2");
const QString kCouldNotWrite = QStringLiteral("Could not write the configuration file %1: %2");
const QString kReadOnly = QStringLiteral("The configuration file %1 is read-only");
const QString kNotRegular = QStringLiteral("not a regular file");
const QString kNotSaved = QStringLiteral("\nThe settings will not be saved");

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}
} // namespace

void TTavrin::readConfiguration() {
    const QString path = paths_.configFile();
    const FileRead read = readConfigFile(path);
    switch (read.status) {
    case FileRead::Status::Read:
        applyConfiguration(ConfigRecord::parse(read.bytes, currentConfiguration()));
        if (read.readOnly)
            tellSettingsNotSaved(kReadOnly.arg(path));
        else
            configPath_ = path;
        return;
    case FileRead::Status::Missing:
        // A first start, or messages copied in before the first start: the settings get their
        // file at once, so that a failure to write it shows now and not after the session.
        if (QDir().mkpath(paths_.dir()) &&
            writeFileAtomically(path, currentConfiguration().serialize())) {
            configPath_ = path;
            return;
        }
        tellSettingsNotSaved(kCouldNotWrite.arg(path, reason(errno)));
        return;
    case FileRead::Status::NotRegular:
        tellSettingsNotSaved(kCouldNotRead.arg(path, kNotRegular));
        return;
    case FileRead::Status::Failed:
        tellSettingsNotSaved(kCouldNotRead.arg(path, reason(read.error)));
        return;
    }
}

void TTavrin::tellSettingsNotSaved(const QString& why) {
    dialogs_.showMessage(why + kNotSaved, kConfigErrorTitle);
}

void TTavrin::applyConfiguration(const ConfigRecord& record) {
    for (int entry = 0; entry < ConfigRecord::kEntries; ++entry) {
        memories_.setNoteBytes(entry, record.messageTexts[entry]);
        memories_.setPath(entry, record.slotPaths[entry]);
    }
    // The memory button saves the window's text under the slot selected so far before it
    // selects the stored one, so the window must hold that slot's own note here.
    keyer_->showNote(state_.selectedMemory());
    keyer_->MemBtnClick(record.selectedSlot());
    reservedA_ = record.reservedA;
    reservedB_ = record.reservedB;
    keyer_->applyLoopDelay(record.loopDelay);
    keying_->applyStoredPort(record.keyingPortKind, QString::fromLatin1(record.keyingPortName));
    keyer_->applyGainCode(record.micGainCode);
    if (record.keyingPolarity == kNormalPolarity)
        keying_->NormalClick();
    else
        keying_->Invert1Click();
    if (record.idAlarmOn == kOn)
        idAlarm_->ON1Click();
    else
        idAlarm_->OFF1Click();
    idAlarm_->applyStoredPeriod(record.idAlarmSeconds);
    if (record.stayOnTop == kOn)
        On2Click();
    else
        Off2Click();
    audioDevices_.InputDevice = record.inputDevice;
    audioDevices_.OutputDevice = record.outputDevice;
}

ConfigRecord TTavrin::currentConfiguration() const {
    ConfigRecord record;
    for (int entry = 0; entry < ConfigRecord::kEntries; ++entry) {
        record.messageTexts[entry] = memories_.noteBytes(entry);
        record.slotPaths[entry] = memories_.path(entry);
    }
    record.selectedMemory = static_cast<std::uint32_t>(state_.selectedMemory());
    record.reservedA = reservedA_;
    record.reservedB = reservedB_;
    record.loopDelay = state_.loopDelay();
    record.keyingPortKind = keying_->KeyingPortKind();
    record.keyingPortName = keying_->KeyingPortName().toLatin1();
    record.micGainCode = state_.micGainCode();
    record.keyingPolarity = keying_->KeyingPolarity();
    record.idAlarmOn = idAlarm_->IdAlarmOn() ? 1 : 0;
    record.idAlarmSeconds = idAlarm_->IdAlarmSeconds();
    record.stayOnTop = stayOnTop_ ? 1 : 0;
    record.inputDevice = audioDevices_.InputDevice;
    record.outputDevice = audioDevices_.OutputDevice;
    return record;
}

void TTavrin::writeConfiguration() {
    if (configPath_.isEmpty())
        return;
    writeFileAtomically(configPath_, currentConfiguration().serialize());
}

void TTavrin::RetrieveWave1Click() {
    // The chosen file is checked through a handle of its own, and never while a recording or
    // playback runs, so no running operation loses its file.
    if (state_.busy())
        return;
    const QString path = dialogs_.openFileName();
    if (path.isEmpty())
        return;
    keyer_->chooseMessageFile(path);
    if (const auto refusal = checkWaveFile(path))
        dialogs_.showMessage(QString::fromLatin1(refusal->text),
                             QString::fromLatin1(refusal->title));
}

void TTavrin::SaveWave1Click() {
    dialogs_.showMessage(QString::fromLatin1(kSaveWaveNotImplemented.text),
                         QString::fromLatin1(kSaveWaveNotImplemented.title));
}
