#include "tx/linuxserial.h"

#include "support/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>

namespace {

// A UUCP lock file of this process, removed when it goes.
class UucpLock {
public:
    UucpLock() = default;
    explicit UucpLock(QByteArray path) : path_(std::move(path)) {}
    UucpLock(UucpLock&& other) noexcept : path_(std::exchange(other.path_, {})) {}
    UucpLock& operator=(UucpLock&&) = delete;
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;
    ~UucpLock() {
        if (!path_.isEmpty())
            (void)::unlink(path_.constData());
    }

private:
    QByteArray path_;
};

// A stale lock is removed and taken afresh once; a second loss means another opener races us.
constexpr int kLockAttempts = 2;
// Old lock files hold the PID as a binary int rather than as text.
constexpr qint64 kBinaryPidSize = sizeof(int);
constexpr qint64 kLockFileLimit = 64;

struct LockAttempt {
    UucpLock lock;
    pid_t holder = 0; // a live process holding the port
};

// "LCK..ttyUSB0" for /dev/ttyUSB0, "LCK..pts_3" for /dev/pts/3: the device's path below /dev,
// slashes made underscores, after following any link to the device itself.
QString lockName(const QString& devicePath) {
    QString device = QFileInfo(devicePath).canonicalFilePath();
    if (device.isEmpty())
        device = devicePath;
    const QLatin1String dev("/dev/");
    QString name = device.startsWith(dev) ? device.mid(dev.size()) : QFileInfo(device).fileName();
    return QStringLiteral("LCK..") + name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

pid_t lockHolder(const QByteArray& path) {
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = file.read(kLockFileLimit);
    if (text.size() == kBinaryPidSize) {
        int pid = 0;
        std::memcpy(&pid, text.constData(), sizeof pid);
        return pid;
    }
    return text.trimmed().toInt();
}

bool alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

LockAttempt takeUucpLock(const QString& lockDir, const QString& devicePath) {
    if (lockDir.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(QDir(lockDir).filePath(lockName(devicePath)));
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        UniqueFd fd(
            ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd) {
            UucpLock lock(path);
            const QByteArray text = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
            if (::write(fd.get(), text.constData(), text.size()) != text.size())
                return {};
            return {std::move(lock), 0};
        }
        // No lock directory, or not ours to write: flock alone guards the port.
        if (errno != EEXIST)
            return {};
        const pid_t holder = lockHolder(path);
        if (alive(holder))
            return {UucpLock(), holder};
        (void)::unlink(path.constData());
    }
    return {};
}

// "1234 (minicom)": the process and its program's name.
QString describeProcess(pid_t pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QByteArray name =
        comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    return name.isEmpty() ? QString::number(pid)
                          : QStringLiteral("%1 (%2)").arg(pid).arg(QString::fromLocal8Bit(name));
}

class LinuxSerialLine final : public SerialLine {
public:
    LinuxSerialLine(UniqueFd fd, UucpLock lock) : lock_(std::move(lock)), fd_(std::move(fd)) {}
    // Exclusive mode belongs to the tty, not to this descriptor: give it up before closing.
    ~LinuxSerialLine() override { (void)::ioctl(fd_.get(), TIOCNXCL); }

    bool isCommDevice() const override {
        termios settings{};
        return ::tcgetattr(fd_.get(), &settings) == 0;
    }

    void setDtr() override { modemLines(TIOCMBIS, TIOCM_DTR); }
    void clearDtr() override { modemLines(TIOCMBIC, TIOCM_DTR); }
    void setRts() override { modemLines(TIOCMBIS, TIOCM_RTS); }
    void clearRts() override { modemLines(TIOCMBIC, TIOCM_RTS); }

    LineWrite levelWrite(bool asserted) const override {
        LineWrite write;
        write.kind = LineWrite::Kind::IoctlInt;
        write.fd = fd_.get();
        write.request = asserted ? TIOCMBIS : TIOCMBIC;
        write.argument = TIOCM_DTR | TIOCM_RTS;
        return write;
    }

private:
    void modemLines(unsigned long request, int bits) {
        // The result is deliberately not examined: a port without modem lines simply does
        // not key, and the keyer goes on.
        (void)::ioctl(fd_.get(), request, &bits);
    }

    UucpLock lock_; // declared first: the port is closed before its lock file goes
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

QString defaultSerialLockDir() {
    const QString varLock = QStringLiteral("/var/lock");
    return QFileInfo(varLock).isDir() ? varLock : QStringLiteral("/run/lock");
}

SerialOpen openLinuxSerial(const QString& devicePath, const QString& lockDir) {
    if (devicePath.isEmpty())
        return {};
    LockAttempt locked = takeUucpLock(lockDir, devicePath);
    if (locked.holder > 0)
        return {nullptr, describeProcess(locked.holder), devicePath};
    const auto failed = [&devicePath] { return SerialOpen{nullptr, {}, devicePath, errno}; };
    UniqueFd fd(::open(QFile::encodeName(devicePath).constData(),
                       O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd)
        return failed();
    // TIOCEXCL does not stop root; flock stops every other holder.
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return failed();
    // Keeps other users' opens (and their DTR and RTS) off the port; a non-tty refuses it, and
    // is then found to be no comms device.
    (void)::ioctl(fd.get(), TIOCEXCL);
    return {std::make_unique<LinuxSerialLine>(std::move(fd), std::move(locked.lock)), {}};
}
