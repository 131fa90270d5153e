#pragma once

#include "tx/portio.h"

#include <QString>

#include <cstdint>
#include <memory>

// The ppdev device ("/dev/parportN") of the port whose base address is the given one, as the
// kernel lists it under procDir; empty when no such port is registered.
QString ppdevDeviceFor(std::uint16_t address,
                       const QString& procDir = QStringLiteral("/proc/sys/dev/parport"),
                       const QString& devDir = QStringLiteral("/dev"));

// Direct access to I/O ports, for a parallel port that no kernel driver offers through ppdev.
class IoPorts {
public:
    virtual ~IoPorts() = default;

    // Asks for, and gives back, the right to touch the one port at the address.
    virtual bool grant(std::uint16_t address) = 0;
    virtual void revoke(std::uint16_t address) = 0;
    virtual void out(std::uint16_t address, std::uint8_t value) = 0;
    virtual std::uint8_t in(std::uint16_t address) = 0;
    // out() as one async-signal-safe write; none when unavailable.
    virtual LineWrite outWrite(std::uint16_t address, std::uint8_t value) const {
        (void)address;
        (void)value;
        return {};
    }
};

// This machine's I/O ports (ioperm, outb and inb on x86; refused elsewhere).
IoPorts& machineIoPorts();

// Write access to the data register at the address: through ppdev when the kernel drives that
// port, else directly when this process may touch I/O ports and a port answers there. When
// neither works, the problem names the ppdev device and the system's reason, or the address.
ParallelOpen openLinuxParallel(std::uint16_t address, IoPorts& direct = machineIoPorts());
