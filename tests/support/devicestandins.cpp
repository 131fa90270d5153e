#include "hidrawstandin.h"

#include <QFile>

#include <atomic>
#include <climits>
#include <cstdarg>
#include <cstring>

#include <dlfcn.h>
#include <linux/hidraw.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr __s16 kCm108Vendor = 0x0d8c;
constexpr __s16 kCm108Product = 0x000c;
constexpr int kReportBytes = 5; // report number, report id, levels, directions, SPDIF

std::atomic<int> identifiedCount{0};

bool isStandIn(int fd) {
    char target[PATH_MAX] = {};
    const QByteArray proc = "/proc/self/fd/" + QByteArray::number(fd);
    const ssize_t length = ::readlink(proc.constData(), target, sizeof target - 1);
    return length > 0 && QString::fromLocal8Bit(target).endsWith('/' + hidraw::kStandInName);
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (request == HIDIOCGRAWINFO && isStandIn(fd)) {
        auto* info = static_cast<hidraw_devinfo*>(argument);
        *info = {BUS_USB, kCm108Vendor, kCm108Product};
        ++identifiedCount;
        return 0;
    }
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
