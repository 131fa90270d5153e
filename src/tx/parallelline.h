#pragma once

#include "tx/emergencyunkey.h"

#include <QString>

#include <cstdint>
#include <memory>

// Write access to the data register of one parallel port. Destroying it gives the access back.
class ParallelLine {
public:
    virtual ~ParallelLine() = default;

    virtual void write(std::uint8_t value) = 0;

    // The same write as one async-signal-safe call; none when unavailable.
    virtual LineWrite levelWrite(std::uint8_t value) const {
        (void)value;
        return {};
    }
};

// The result of opening a parallel port.
struct ParallelOpen {
    std::unique_ptr<ParallelLine> line; // null when the port cannot be used
    QString problem;                    // why not, naming the device or the address tried
};
