#pragma once

#include "tx/portio.h"

#include <QString>

#include <memory>

// The device path behind a port name: "COMn" is /dev/ttyS<n-1>, unless the installation
// directory holds an entry named "COMn" (usually a symbolic link to a USB adapter such as
// /dev/serial/by-id/...), which is then used instead. Empty for a name that is no "COMn".
QString serialDevicePath(const QString& installDir, const QString& portName);

// Opens a serial device for keying, exclusively between processes. Null on any failure.
std::unique_ptr<SerialLine> openLinuxSerial(const QString& devicePath);
