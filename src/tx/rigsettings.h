#pragma once

#include "tx/rigptt.h"

#include <QString>

class QSettings;

// The Hamlib keying settings kept beside the configuration record: the CAT rig and the CM108
// interface, and which of them (if either) keys the transmitter.
struct RigSettings {
    enum class Keying { None, Cat, Cm108 };

    Keying keying = Keying::None;
    int model = RigTarget::kNetworkModel;
    QString port;                                       // the rig's serial port
    int speed = RigTarget::kDefaultSpeed;               // baud; 0 is the model's own
    QString address = QStringLiteral("localhost:4532"); // rigctld's host:port
    QString cm108Device;                                // /dev/hidrawN
    int gpio = RigTarget::kDefaultGpio;

    // Missing or unreadable values keep their defaults.
    void load(QSettings& settings);
    void save(QSettings& settings) const;
    bool isDefault() const;

    // The network model reaches the address; any other model the serial port.
    RigTarget catTarget() const;
    RigTarget cm108Target() const;
};
