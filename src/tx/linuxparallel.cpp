#include "tx/linuxparallel.h"

#include "support/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/ppdev.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TAVRIN_HAVE_IOPERM 1
#endif

namespace {

class PpdevLine final : public ParallelLine {
public:
    explicit PpdevLine(UniqueFd fd) : fd_(std::move(fd)) {}
    ~PpdevLine() override { (void)::ioctl(fd_.get(), PPRELEASE); }

    void write(std::uint8_t value) override {
        unsigned char data = value;
        (void)::ioctl(fd_.get(), PPWDATA, &data);
    }

    LineWrite levelWrite(std::uint8_t value) const override {
        LineWrite write;
        write.kind = LineWrite::Kind::IoctlByte;
        write.fd = fd_.get();
        write.request = PPWDATA;
        write.argument = value;
        return write;
    }

private:
    UniqueFd fd_;
};

ParallelOpen openPpdev(const QString& device) {
    const auto refused = [&device](const char* reason) {
        return ParallelOpen{nullptr,
                            device + QStringLiteral(": ") + QString::fromLocal8Bit(reason)};
    };
    UniqueFd fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_CLOEXEC));
    if (!fd)
        return refused(std::strerror(errno));
    // PPCLAIM waits for a port another ppdev user holds; the lock keeps a second keyer from
    // freezing the window there.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return refused("in use by another program");
    if (::ioctl(fd.get(), PPCLAIM) != 0)
        return refused(std::strerror(errno));
    return {std::make_unique<PpdevLine>(std::move(fd)), {}};
}

class IoPortLine final : public ParallelLine {
public:
    IoPortLine(IoPorts& io, std::uint16_t address) : io_(io), address_(address) {}
    ~IoPortLine() override { io_.revoke(address_); }

    void write(std::uint8_t value) override { io_.out(address_, value); }
    LineWrite levelWrite(std::uint8_t value) const override {
        return io_.outWrite(address_, value);
    }

private:
    IoPorts& io_;
    std::uint16_t address_;
};

// D0 and D1 carry the keying line; probing varies only the other six data bits.
constexpr std::uint8_t kKeyingBits = 0x03;
constexpr std::uint8_t kProbePatterns[] = {0x54, 0xA8};

// A data register reads back what was last written to it; with no port at the address the
// bus reads something else, usually 0xFF. The keying bits keep their level throughout and the
// register ends as it was found.
bool portAnswers(IoPorts& io, std::uint16_t address) {
    const std::uint8_t found = io.in(address);
    bool answers = true;
    for (std::uint8_t pattern : kProbePatterns) {
        const std::uint8_t probe = static_cast<std::uint8_t>((found & kKeyingBits) | pattern);
        io.out(address, probe);
        answers = answers && io.in(address) == probe;
    }
    io.out(address, found);
    return answers;
}

ParallelOpen openIoPort(IoPorts& io, std::uint16_t address) {
    const QString where =
        QStringLiteral("I/O address 0x%1").arg(QString::number(address, 16).toUpper());
    if (!io.grant(address))
        return {nullptr, QStringLiteral("no parallel port driver (ppdev) lists a port at %1, and "
                                        "this program may not reach I/O ports directly: %2")
                             .arg(where, QString::fromLocal8Bit(std::strerror(errno)))};
    if (!portAnswers(io, address)) {
        io.revoke(address);
        return {nullptr, QStringLiteral("no port answers at %1").arg(where)};
    }
    return {std::make_unique<IoPortLine>(io, address), {}};
}

class MachineIoPorts final : public IoPorts {
public:
#ifdef TAVRIN_HAVE_IOPERM
    bool grant(std::uint16_t address) override {
        return ::ioperm(address, 1, 1) == 0;
    }
    void revoke(std::uint16_t address) override {
        (void)::ioperm(address, 1, 0);
    }
    void out(std::uint16_t address, std::uint8_t value) override {
        ::outb(value, address);
    }
    std::uint8_t in(std::uint16_t address) override {
        return ::inb(address);
    }
    LineWrite outWrite(std::uint16_t address, std::uint8_t value) const override {
        LineWrite write;
        write.kind = LineWrite::Kind::PortByte;
        write.address = address;
        write.argument = value;
        return write;
    }
#else
    bool grant(std::uint16_t) override {
        return false;
    }
    void revoke(std::uint16_t) override {}
    void out(std::uint16_t, std::uint8_t) override {}
    std::uint8_t in(std::uint16_t) override {
        return 0;
    }
#endif
};

} // namespace

QString ppdevDeviceFor(std::uint16_t address, const QString& procDir, const QString& devDir) {
    static const QRegularExpression portDir(QStringLiteral("^parport[0-9]+$"));
    const QDir proc(procDir);
    for (const QString& name : proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!portDir.match(name).hasMatch())
            continue;
        QFile baseFile(proc.filePath(name + QStringLiteral("/base-addr")));
        if (!baseFile.open(QIODevice::ReadOnly))
            continue;
        // "888\t1912": the base address, then the extended-mode base, in decimal.
        const QByteArray first = baseFile.readLine().simplified().split(' ').value(0);
        bool ok = false;
        const uint base = first.toUInt(&ok, 0);
        if (ok && base == address)
            return QDir(devDir).filePath(name);
    }
    return {};
}

IoPorts& machineIoPorts() {
    static MachineIoPorts ports;
    return ports;
}

ParallelOpen openLinuxParallel(std::uint16_t address, IoPorts& direct) {
    const QString device = ppdevDeviceFor(address);
    if (device.isEmpty())
        return openIoPort(direct, address);
    ParallelOpen opened = openPpdev(device);
    if (opened.line)
        return opened;
    // The kernel's driver holds the port: its reason is the one that matters.
    ParallelOpen reached = openIoPort(direct, address);
    return reached.line ? std::move(reached) : std::move(opened);
}
