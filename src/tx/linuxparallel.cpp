#include "tx/linuxparallel.h"

#include "support/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

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

private:
    UniqueFd fd_;
};

std::unique_ptr<ParallelLine> openPpdev(const QString& device) {
    UniqueFd fd(::open(QFile::encodeName(device).constData(), O_RDWR | O_CLOEXEC));
    if (!fd)
        return nullptr;
    // PPCLAIM waits for a port another ppdev user holds; the lock keeps a second keyer from
    // freezing the window there.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    if (::ioctl(fd.get(), PPCLAIM) != 0)
        return nullptr;
    return std::make_unique<PpdevLine>(std::move(fd));
}

#ifdef TAVRIN_HAVE_IOPERM
class IoPortLine final : public ParallelLine {
public:
    explicit IoPortLine(std::uint16_t address) : address_(address) {}
    ~IoPortLine() override { (void)::ioperm(address_, 1, 0); }

    void write(std::uint8_t value) override { ::outb(value, address_); }

private:
    std::uint16_t address_;
};
#endif

std::unique_ptr<ParallelLine> openIoPort(std::uint16_t address) {
#ifdef TAVRIN_HAVE_IOPERM
    if (::ioperm(address, 1, 1) == 0)
        return std::make_unique<IoPortLine>(address);
#else
    (void)address;
#endif
    return nullptr;
}

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

std::unique_ptr<ParallelLine> openLinuxParallel(std::uint16_t address) {
    const QString device = ppdevDeviceFor(address);
    if (!device.isEmpty()) {
        if (auto line = openPpdev(device))
            return line;
    }
    return openIoPort(address);
}
