#pragma once

#include "tx/portio.h"

#include <QString>

#include <memory>

// The device path behind a port name: "COMn" is /dev/ttyS<n-1>, unless the installation
// directory holds an entry named "COMn" (usually a symbolic link to a USB adapter such as
// /dev/serial/by-id/...), which is then used instead. Empty for a name that is no "COMn".
QString serialDevicePath(const QString& installDir, const QString& portName);

// The system's directory for UUCP lock files: /var/lock, else /run/lock.
QString defaultSerialLockDir();

// Opens a serial device for keying, exclusively between processes. The device's UUCP lock file
// ("LCK..ttyUSB0") in lockDir is taken before the device is opened, since opening a tty raises
// DTR and RTS and so keys whatever transmitter another program holds there. Where no lock file
// can be made, flock alone guards the port; a lock file whose owner is not shown to be gone is
// never taken over. No line on any failure; the path and errno then say why, unless the lock file
// is the reason.
SerialOpen openLinuxSerial(const QString& devicePath, const QString& lockDir);
