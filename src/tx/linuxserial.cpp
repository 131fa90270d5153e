#include "tx/linuxserial.h"

#include "support/regularfile.h"
#include "support/uniquefd.h"
#include "tx/modeminputwatch.h"

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
// A lock file holds its owner's process ID as text, ten characters and a newline; programs of old
// wrote it as a binary int instead.
constexpr qint64 kBinaryPidSize = sizeof(qint32);
constexpr qint64 kLockFileLimit = 64;

struct LockAttempt {
    UucpLock lock;
    QString held; // why the port is another program's, for the operator; empty when it is not
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

bool alive(pid_t pid) {
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

// "1234 (minicom)": the process and its program's name.
QString describeProcess(pid_t pid) {
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    const QByteArray name =
        comm.open(QIODevice::ReadOnly) ? comm.readAll().trimmed() : QByteArray();
    return name.isEmpty() ? QString::number(pid)
                          : QStringLiteral("%1 (%2)").arg(pid).arg(QString::fromLocal8Bit(name));
}

// Why the lock file at path keeps the port from us; empty once its owner is shown to be gone (or
// the file is), so that it may be taken over. A lock whose owner cannot be told is respected: the
// transmitter on that port may be in use.
QString heldBy(const QString& path) {
    const FileRead read = readRegularFile(path, kLockFileLimit);
    const auto untold = [&path](const QString& why) {
        return QStringLiteral("The port is locked by %1, which %2; remove it if no program uses "
                              "the port.")
            .arg(path, why);
    };
    if (read.status == FileRead::Status::NotRegular)
        return untold(QStringLiteral("is not a regular file"));
    if (read.status == FileRead::Status::Failed)
        return untold(QStringLiteral("cannot be read: ") + read.failure.reason());
    if (read.status == FileRead::Status::Missing)
        return {};
    bool text = false;
    // Qt reads a number only up to a NUL, so four binary bytes such as "6 \0\0" (process 8246)
    // would pass for the text "6"; a text lock holds no NUL.
    pid_t pid = read.bytes.contains('\0') ? 0 : read.bytes.trimmed().toInt(&text);
    // Any four bytes are some binary number: only one naming a live process is believed.
    if (!text && read.bytes.size() == kBinaryPidSize) {
        qint32 binary = 0;
        std::memcpy(&binary, read.bytes.constData(), sizeof binary);
        pid = alive(binary) ? binary : 0;
    }
    if (alive(pid))
        return QStringLiteral("The port is held by process %1.").arg(describeProcess(pid));
    return text && pid > 0 ? QString() : untold(QStringLiteral("names no process"));
}

LockAttempt takeUucpLock(const QString& lockDir, const QString& devicePath) {
    if (lockDir.isEmpty())
        return {};
    const QString path = QDir(lockDir).filePath(lockName(devicePath));
    const QByteArray name = QFile::encodeName(path);
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        UniqueFd fd(
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        if (fd) {
            UucpLock lock(name);
            const QByteArray text = QByteArray::number(::getpid()).rightJustified(10, ' ') + '\n';
            if (::write(fd.get(), text.constData(), text.size()) != text.size())
                return {};
            return {std::move(lock), {}};
        }
        // No lock directory, or not ours to write: flock alone guards the port.
        if (errno != EEXIST)
            return {};
        QString held = heldBy(path);
        if (!held.isEmpty())
            return {UucpLock(), std::move(held)};
        (void)::unlink(name.constData());
    }
    return {};
}

class LinuxSerialLine final : public SerialLine {
public:
    LinuxSerialLine(UniqueFd fd, UucpLock lock) : lock_(std::move(lock)), fd_(std::move(fd)) {}
    // Exclusive mode belongs to the tty, not to this descriptor: give it up before closing.
    ~LinuxSerialLine() override {
        watch_.reset();
        (void)::ioctl(fd_.get(), TIOCNXCL);
    }

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

    void watchInput(std::optional<ModemInput> input,
                    std::function<void(InputChange)> changed) override {
        watch_.reset();
        if (input)
            watch_ = std::make_unique<ModemInputWatch>(fd_.get(), *input, std::move(changed));
    }

private:
    void modemLines(unsigned long request, int bits) {
        // The result is deliberately not examined: a port without modem lines simply does
        // not key, and the keyer goes on.
        (void)::ioctl(fd_.get(), request, &bits);
    }

    UucpLock lock_; // declared first: the port is closed before its lock file goes
    UniqueFd fd_;
    std::unique_ptr<ModemInputWatch> watch_; // declared last: it ends before the port closes
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
    if (!locked.held.isEmpty())
        return {nullptr, locked.held, devicePath};
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
