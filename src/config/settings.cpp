#include "config/settings.h"

#include "audio/audiodevices.h"
#include "config/configrecord.h"
#include "keyer/keyer.h"
#include "keyer/keyerstate.h"
#include "keyer/memories.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"

namespace {
constexpr std::int32_t kNormalPolarity = 1;
constexpr std::uint8_t kOn = 1;
constexpr std::uint8_t kOff = 0;
const QByteArray kVoxName("NONE");
} // namespace

void applySettings(const ConfigRecord& record, const SettingsTargets& to) {
    for (int entry = 0; entry < ConfigRecord::kEntries; ++entry) {
        to.memories.setNoteBytes(entry, record.messageTexts[entry]);
        to.memories.setPath(entry, record.slotPaths[entry]);
    }
    // The memory button saves the window's text under the slot selected so far only when it was
    // edited, which it cannot have been before the window is shown.
    to.keyer.selectMemory(record.selectedSlot());
    to.keyer.setLoopDelay(record.loopDelay);
    to.line.applyStoredPort(record.keyingPortKind, QString::fromLatin1(record.keyingPortName));
    to.keyer.setGainCode(record.micGainCode);
    if (record.keyingPolarity == kNormalPolarity)
        to.line.chooseNormalPolarity();
    else
        to.line.chooseInvertedPolarity();
    if (record.idAlarmOn == kOn)
        to.idAlarm.switchOn();
    else
        to.idAlarm.switchOff();
    to.idAlarm.applyStoredPeriod(record.idAlarmSeconds);
    to.devices.inputDevice = record.inputDevice;
    to.devices.outputDevice = record.outputDevice;
}

ConfigRecord collectSettings(const SettingsTargets& from, const ConfigRecord& base) {
    ConfigRecord record = base;
    for (int entry = 0; entry < ConfigRecord::kEntries; ++entry) {
        record.messageTexts[entry] = from.memories.noteBytes(entry);
        record.slotPaths[entry] = from.memories.path(entry);
    }
    record.selectedMemory = static_cast<std::uint32_t>(from.state.selectedMemory());
    record.loopDelay = from.state.loopDelay();
    record.keyingPortKind = from.line.portKind();
    record.keyingPortName = from.line.portName().toLatin1();
    // A device path does not fit the record's name, and a copy of the program that reads only
    // the record must not key some other port: it finds VOX, and the path is kept beside.
    if (from.line.usesDevicePath()) {
        record.keyingPortKind = KeyingLine::SerialKind;
        record.keyingPortName = kVoxName;
    }
    record.micGainCode = from.state.micGainCode();
    record.keyingPolarity = from.line.polarity();
    record.idAlarmOn = from.idAlarm.isOn() ? kOn : kOff;
    record.idAlarmSeconds = from.idAlarm.seconds();
    record.inputDevice = from.devices.inputDevice;
    record.outputDevice = from.devices.outputDevice;
    return record;
}
