#include "tx/rigsettings.h"

#include <QSettings>

#include <climits>

namespace {
const QString kRigGroup = QStringLiteral("Rig");
const QString kCm108Group = QStringLiteral("CM108");
const QString kCat = QStringLiteral("CAT");
const QString kCm108 = QStringLiteral("CM108");
constexpr int kHighestGpio = 8; // CM119 has eight pins, CM108 four

int intIn(QSettings& settings, const QString& key, int fallback, int lowest, int highest) {
    bool ok = false;
    const int value = settings.value(key).toInt(&ok);
    return ok && value >= lowest && value <= highest ? value : fallback;
}
} // namespace

void RigSettings::load(QSettings& settings) {
    const RigSettings defaults;
    settings.beginGroup(kRigGroup);
    const QString chosen = settings.value(QStringLiteral("Keying")).toString();
    keying = chosen == kCat ? Keying::Cat : chosen == kCm108 ? Keying::Cm108 : Keying::None;
    model = intIn(settings, QStringLiteral("Model"), defaults.model, 1, INT_MAX);
    port = settings.value(QStringLiteral("Port"), defaults.port).toString();
    speed = intIn(settings, QStringLiteral("Speed"), defaults.speed, 0, INT_MAX);
    address = settings.value(QStringLiteral("Address"), defaults.address).toString();
    settings.endGroup();
    settings.beginGroup(kCm108Group);
    cm108Device = settings.value(QStringLiteral("Device"), defaults.cm108Device).toString();
    gpio = intIn(settings, QStringLiteral("Gpio"), defaults.gpio, 1, kHighestGpio);
    settings.endGroup();
}

void RigSettings::save(QSettings& settings) const {
    settings.beginGroup(kRigGroup);
    settings.setValue(QStringLiteral("Keying"), keying == Keying::Cat     ? kCat
                                                : keying == Keying::Cm108 ? kCm108
                                                                          : QString());
    settings.setValue(QStringLiteral("Model"), model);
    settings.setValue(QStringLiteral("Port"), port);
    settings.setValue(QStringLiteral("Speed"), speed);
    settings.setValue(QStringLiteral("Address"), address);
    settings.endGroup();
    settings.beginGroup(kCm108Group);
    settings.setValue(QStringLiteral("Device"), cm108Device);
    settings.setValue(QStringLiteral("Gpio"), gpio);
    settings.endGroup();
}

bool RigSettings::isDefault() const {
    const RigSettings defaults;
    return keying == defaults.keying && model == defaults.model && port == defaults.port &&
           speed == defaults.speed && address == defaults.address &&
           cm108Device == defaults.cm108Device && gpio == defaults.gpio;
}

RigTarget RigSettings::catTarget() const {
    RigTarget target;
    target.kind = RigTarget::Kind::Cat;
    target.model = model;
    target.device = model == RigTarget::kNetworkModel ? address : port;
    target.speed = speed;
    return target;
}

RigTarget RigSettings::cm108Target() const {
    RigTarget target;
    target.kind = RigTarget::Kind::Cm108;
    target.device = cm108Device;
    target.gpio = gpio;
    return target;
}
