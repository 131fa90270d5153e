#include "tx/linuxserial.h"

#include "support/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

namespace {

class LinuxSerialLine final : public SerialLine {
public:
    explicit LinuxSerialLine(UniqueFd fd) : fd_(std::move(fd)) {}

    bool isCommDevice() const override {
        termios settings{};
        return ::tcgetattr(fd_.get(), &settings) == 0;
    }

    void setDtr() override { modemLines(TIOCMBIS, TIOCM_DTR); }
    void clearDtr() override { modemLines(TIOCMBIC, TIOCM_DTR); }
    void setRts() override { modemLines(TIOCMBIS, TIOCM_RTS); }
    void clearRts() override { modemLines(TIOCMBIC, TIOCM_RTS); }

private:
    void modemLines(unsigned long request, int bits) {
        // The result is deliberately not examined: a port without modem lines simply does
        // not key, and the keyer goes on.
        (void)::ioctl(fd_.get(), request, &bits);
    }

    UniqueFd fd_;
};

} // namespace

QString serialDevicePath(const QString& installDir, const QString& portName) {
    static const QRegularExpression comName(QStringLiteral("^COM([1-9][0-9]{0,2})$"));
    const auto match = comName.match(portName);
    if (!match.hasMatch())
        return {};

    // An entry of that name counts even when it is a dangling link: an unplugged adapter must
    // fail to open rather than fall through to the built-in port.
    const QString override = QDir(installDir).filePath(portName);
    struct stat entry {};
    if (!installDir.isEmpty() && ::lstat(QFile::encodeName(override).constData(), &entry) == 0)
        return override;

    return QStringLiteral("/dev/ttyS%1").arg(match.captured(1).toInt() - 1);
}

std::unique_ptr<SerialLine> openLinuxSerial(const QString& devicePath) {
    if (devicePath.isEmpty())
        return nullptr;
    UniqueFd fd(::open(QFile::encodeName(devicePath).constData(),
                       O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return nullptr;
    // TIOCEXCL does not stop root; flock stops every other holder.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return nullptr;
    return std::make_unique<LinuxSerialLine>(std::move(fd));
}
