#include "devicestandins.h"

#include <QFile>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <mutex>

#include <dlfcn.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr __s16 kCm108Vendor = 0x0d8c;
constexpr __s16 kCm108Product = 0x000c;
constexpr int kReportBytes = 5; // report number, report id, levels, directions, SPDIF

std::atomic<int> identifiedCount{0};

QString pathOf(int fd) {
    char target[PATH_MAX] = {};
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(proc.constData(), target, sizeof target - 1);
    return length > 0 ? QString::fromLocal8Bit(target) : QString();
}

struct ModemStandIn {
    std::mutex mutex;
    QString path;
    modemlines::Wait wait = modemlines::Wait::Kernel;
    std::atomic<int> inputs{0}, outputs{0}, looks{0}, waiting{0};
    std::atomic<std::uint64_t> ctsChanges{0}, dsrChanges{0};
    int changed = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
};
ModemStandIn& modem() {
    static ModemStandIn standIn;
    return standIn;
}

bool isModemStandIn(int fd) {
    std::lock_guard<std::mutex> lock(modem().mutex);
    return !modem().path.isEmpty() && pathOf(fd) == modem().path;
}

// Blocks until one of the inputs in mask changes or a signal interrupts, as the kernel's wait does.
int awaitInputChange(long mask) {
    ModemStandIn& m = modem();
    if (m.wait == modemlines::Wait::Refused)
        return errno = EINVAL, -1;
    const auto changes = [&m, mask] {
        return ((mask & TIOCM_CTS) ? m.ctsChanges.load() : 0) +
               ((mask & TIOCM_DSR) ? m.dsrChanges.load() : 0);
    };
    const std::uint64_t before = changes();
    ++m.waiting;
    while (changes() == before) {
        pollfd changed{m.changed, POLLIN, 0};
        if (::poll(&changed, 1, -1) < 0 && errno == EINTR)
            return --m.waiting, -1;
        std::uint64_t drained = 0;
        (void)::read(m.changed, &drained, sizeof drained);
    }
    return --m.waiting, 0;
}

int modemIoctl(unsigned long request, void* argument) {
    ModemStandIn& m = modem();
    const int bits = request == TIOCMIWAIT ? 0 : *static_cast<int*>(argument);
    switch (request) {
    case TIOCMGET:
        ++m.looks;
        *static_cast<int*>(argument) = m.inputs | m.outputs;
        return 0;
    case TIOCMBIS:
        return m.outputs |= bits & (TIOCM_DTR | TIOCM_RTS), 0;
    case TIOCMBIC:
        return m.outputs &= ~bits, 0;
    default: // TIOCMIWAIT, whose argument is the mask itself
        return awaitInputChange(reinterpret_cast<long>(argument));
    }
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == HIDIOCGRAWINFO && pathOf(fd).endsWith('/' + hidraw::kStandInName)) {
        auto* info = static_cast<hidraw_devinfo*>(argument);
        *info = {BUS_USB, kCm108Vendor, kCm108Product};
        ++identifiedCount;
        return 0;
    }
    const bool modemRequest =
        request == TIOCMGET || request == TIOCMBIS || request == TIOCMBIC || request == TIOCMIWAIT;
    if (modemRequest && isModemStandIn(fd))
        return modemIoctl(request, argument);
    using Ioctl = int (*)(int, unsigned long, ...);
    static const auto real = reinterpret_cast<Ioctl>(::dlsym(RTLD_NEXT, "ioctl"));
    return real(fd, request, argument);
}

int hidraw::identified() {
    return identifiedCount.load();
}

QString hidraw::lastReport(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < kReportBytes)
        return {};
    const QByteArray reports = file.readAll();
    const QByteArray last = reports.mid((reports.size() / kReportBytes - 1) * kReportBytes);
    return QStringLiteral("cm108 %1/%2").arg(quint8(last[2])).arg(quint8(last[3]));
}

void modemlines::standIn(const QString& path, Wait wait) {
    std::lock_guard<std::mutex> lock(modem().mutex);
    modem().path = path;
    modem().wait = wait;
    modem().inputs = modem().outputs = modem().looks = 0;
}

void modemlines::setInputs(int bits, bool tap) {
    ModemStandIn& m = modem();
    const int changed = tap ? bits : m.inputs.exchange(bits) ^ bits;
    const int toggles = tap ? 2 : 1;
    m.ctsChanges += (changed & TIOCM_CTS) ? toggles : 0;
    m.dsrChanges += (changed & TIOCM_DSR) ? toggles : 0;
    const std::uint64_t one = 1;
    (void)::write(m.changed, &one, sizeof one);
}

int modemlines::outputs() {
    return modem().outputs;
}

bool modemlines::watched() {
    return modem().wait == Wait::Kernel ? modem().waiting > 0 : modem().looks > 0;
}
