#include "config/inisettings.h"

#include "config/atomicfile.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryFile>

namespace {

const QString kKeyingGroup = QStringLiteral("Keying");
const QString kSerialDeviceKey = QStringLiteral("SerialDevice");
const QString kPttLeadKey = QStringLiteral("PttLeadMs");
const QString kPttTailKey = QStringLiteral("PttTailMs");

std::chrono::milliseconds readDelay(const QSettings& ini, const QString& key) {
    bool number = false;
    const int value = ini.value(key).toInt(&number);
    return number ? clampPttDelay(std::chrono::milliseconds{value}) : std::chrono::milliseconds{0};
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
    ini.endGroup();
}

void KeyingIni::save(QSettings& ini) const {
    ini.beginGroup(kKeyingGroup);
    ini.setValue(kSerialDeviceKey, serialDevice);
    ini.setValue(kPttLeadKey, static_cast<int>(ptt.lead.count()));
    ini.setValue(kPttTailKey, static_cast<int>(ptt.tail.count()));
    ini.endGroup();
}

bool KeyingIni::isDefault() const {
    return serialDevice.isEmpty() && ptt.lead == PttTiming{}.lead && ptt.tail == PttTiming{}.tail;
}

void IniSettings::load(QSettings& ini) {
    keying.load(ini);
    rig.load(ini);
}

void IniSettings::save(QSettings& ini) const {
    keying.save(ini);
    rig.save(ini);
}

bool IniSettings::isDefault() const {
    return keying.isDefault() && rig.isDefault();
}

IniSettings readIniSettings(const QString& path) {
    IniSettings settings;
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() == QSettings::NoError)
        settings.load(ini);
    return settings;
}

bool writeIniSettings(const QString& path, const IniSettings& settings) {
    // QSettings writes only files of its own choosing, so the new contents are composed in a
    // scratch file and then put in place the way the configuration record is.
    if (settings.isDefault() && !QFile::exists(path))
        return true;
    QTemporaryFile scratch;
    if (!scratch.open())
        return false;
    scratch.close();
    {
        QSettings ini(scratch.fileName(), QSettings::IniFormat);
        const QSettings old(path, QSettings::IniFormat);
        for (const QString& key : old.allKeys())
            ini.setValue(key, old.value(key));
        settings.save(ini);
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    QFile composed(scratch.fileName());
    return composed.open(QIODevice::ReadOnly) && writeFileAtomically(path, composed.readAll());
}
