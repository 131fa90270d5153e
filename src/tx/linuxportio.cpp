#include "tx/linuxportio.h"

#include "tx/linuxparallel.h"
#include "tx/linuxserial.h"

SerialOpen LinuxPortIo::openSerial(const QString& name) {
    const bool isPath = name.startsWith(QLatin1Char('/'));
    return openLinuxSerial(isPath ? name : serialDevicePath(installDir_, name), lockDir_);
}

ParallelOpen LinuxPortIo::openParallel(std::uint16_t address) {
    return openLinuxParallel(address, direct_);
}
