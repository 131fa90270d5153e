#pragma once

#include "tx/parallelline.h"
#include "tx/serialline.h"

#include <QString>

#include <cstdint>

// The platform's ports. The real one lives in linuxportio.h; the tests use a recording double.
class PortIo {
public:
    virtual ~PortIo() = default;

    // Opens "COM1".."COM6", or a serial device given by its absolute path, exclusively. No line
    // when the port is missing, held by another program or not accessible.
    virtual SerialOpen openSerial(const QString& name) = 0;

    // Obtains write access to the data register at the given I/O address (0x378 or 0x3BC).
    virtual ParallelOpen openParallel(std::uint16_t address) = 0;
};
