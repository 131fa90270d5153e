// The main window's persistence: the configuration file read at start-up and applied through
// the same handlers as the menus, written at shutdown, and the File menu's wave commands.
#include "app/tavrin.h"

#include "support/dialogs.h"
#include "config/atomicfile.h"
#include "config/configrecord.h"
#include "config/openwave.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"

#include <QDir>
#include <QFileInfo>
#include <QTextEdit>

namespace {
constexpr std::int32_t kNormalPolarity = 1;
constexpr std::uint8_t kOn = 1;
} // namespace

void TTavrin::installOnFirstRun() {
    if (QFileInfo::exists(paths_.dir()))
        return;
    if (QDir().mkpath(paths_.dir()))
        writeFileAtomically(paths_.configFile(), currentConfiguration().serialize());
}

void TTavrin::readConfiguration() {
    if (configPath_.isEmpty())
        return;
    const auto bytes = readConfigBytes(configPath_);
    if (!bytes) {
        // Seen at start-up but unreadable now: put the current settings in its place.
        writeConfiguration();
        return;
    }
    applyConfiguration(ConfigRecord::parse(*bytes, currentConfiguration()));
}

void TTavrin::applyConfiguration(const ConfigRecord& record) {
    for (int entry = 0; entry < ConfigRecord::kEntries; ++entry) {
        memories_.setNote(entry, record.messageTexts[entry]);
        memories_.setPath(entry, record.slotPaths[entry]);
    }
    // The memory button saves the window's text under the slot selected so far before it
    // selects the stored one, so the window must hold that slot's own note here.
    ui_.MessageWindow->setPlainText(MemorySlots::toWindow(memories_.note(state_.selectedMemory)));
    keyer_->MemBtnClick(record.selectedSlot());
    reservedA_ = record.reservedA;
    reservedB_ = record.reservedB;
    if (!keyer_->applyLoopDelay(record.loopDelay))
        state_.loopDelay = record.loopDelay;
    keying_->applyStoredPort(record.keyingPortKind, QString::fromLatin1(record.keyingPortName));
    if (!keyer_->applyGainCode(record.micGainCode))
        state_.micGainCode = record.micGainCode;
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
        record.messageTexts[entry] = memories_.note(entry);
        record.slotPaths[entry] = memories_.path(entry);
    }
    record.selectedMemory = static_cast<std::uint32_t>(state_.selectedMemory);
    record.reservedA = reservedA_;
    record.reservedB = reservedB_;
    record.loopDelay = state_.loopDelay;
    record.keyingPortKind = keying_->KeyingPortKind();
    record.keyingPortName = keying_->KeyingPortName().toLatin1();
    record.micGainCode = state_.micGainCode;
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
    state_.currentMessageFile = path;
    if (const auto refusal = checkWaveFile(path))
        dialogs_.showMessage(QString::fromLatin1(refusal->text),
                             QString::fromLatin1(refusal->title));
}

void TTavrin::SaveWave1Click() {
    dialogs_.showMessage(QString::fromLatin1(kSaveWaveNotImplemented.text),
                         QString::fromLatin1(kSaveWaveNotImplemented.title));
}
