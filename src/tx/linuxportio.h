#pragma once

#include "tx/linuxparallel.h"
#include "tx/portio.h"

#include <QString>

// The ports of this Linux machine. Serial names may be redirected by entries in the
// installation directory (see serialDevicePath).
class LinuxPortIo final : public PortIo {
public:
    explicit LinuxPortIo(QString installDir, IoPorts& direct = machineIoPorts())
        : installDir_(std::move(installDir)), direct_(direct) {}

    std::unique_ptr<SerialLine> openSerial(const QString& name) override;
    std::unique_ptr<ParallelLine> openParallel(std::uint16_t address) override;

private:
    QString installDir_;
    IoPorts& direct_;
};
