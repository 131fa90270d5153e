#pragma once

#include "tx/linuxparallel.h"
#include "tx/linuxserial.h"
#include "tx/portio.h"

#include <QString>

// The ports of this Linux machine. Serial names may be redirected by entries in the
// installation directory (see serialDevicePath).
class LinuxPortIo final : public PortIo {
public:
    // Serial ports are locked with UUCP lock files in lockDir; none with an empty one.
    explicit LinuxPortIo(QString installDir, QString lockDir = defaultSerialLockDir(),
                         IoPorts& direct = machineIoPorts())
        : installDir_(std::move(installDir)), lockDir_(std::move(lockDir)), direct_(direct) {}

    SerialOpen openSerial(const QString& name) override;
    ParallelOpen openParallel(std::uint16_t address) override;

private:
    QString installDir_;
    QString lockDir_;
    IoPorts& direct_;
};
