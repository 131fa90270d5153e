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

// Write access to the data register at the address: through ppdev when the kernel drives that
// port, else through ioperm when this process may touch I/O ports. Null when neither works.
std::unique_ptr<ParallelLine> openLinuxParallel(std::uint16_t address);
