#pragma once

#include <QString>

#include <vector>

// A serial device the Output menu offers: the path opened and the name shown for it.
struct SerialPortEntry {
    QString path;
    QString label;
};

// The USB serial ports present under devRoot: first every entry of <devRoot>/serial/by-id, named
// by the adapter's make and serial number as its link name gives them, then every ttyUSB* and
// ttyACM* that no such entry reaches. A by-id name survives replugging and renumbering; the bare
// names cover adapters without one.
std::vector<SerialPortEntry> listSerialPorts(const QString& devRoot = QStringLiteral("/dev"));
