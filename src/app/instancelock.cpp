#include "app/instancelock.h"

#include <QDir>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

namespace {
const QString kLockName = QStringLiteral("Tavrin.lock");
constexpr mode_t kLockMode = 0644;
constexpr int kOpenFlags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;

// The lock file, made when missing; why there is none to lock, when there is not.
UniqueFd openLockFile(const QByteArray& path, QString& why) {
    // A folder, a pipe or a device of that name would let a second keyer in or hold this one up. A
    // device is not even opened: opening a serial port keys what is wired to it.
    struct stat info {};
    if (::stat(path.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        why = QStringLiteral("not a regular file");
        return {};
    }
    UniqueFd fd(::open(path.constData(), O_RDWR | O_CREAT | kOpenFlags, kLockMode));
    if (!fd)
        why = QString::fromLocal8Bit(std::strerror(errno));
    return fd;
}
} // namespace

InstanceLock::InstanceLock(const QString& dir) {
    const QString path = QDir(dir).filePath(kLockName);
    if (!QDir().mkpath(dir)) {
        message_ = QStringLiteral("Could not create the folder %1").arg(dir);
        return;
    }
    QString why;
    fd_ = openLockFile(QFile::encodeName(path), why);
    if (fd_ && ::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        result_ = Result::Held;
        return;
    }
    if (fd_ && errno == EWOULDBLOCK) {
        result_ = Result::HeldElsewhere;
        message_ = QStringLiteral("Another Tavrin already runs on the folder %1.\nStart this one "
                                  "on a folder of its own with --home DIR.")
                       .arg(QDir::toNativeSeparators(dir));
        return;
    }
    if (fd_)
        why = QString::fromLocal8Bit(std::strerror(errno));
    message_ = QStringLiteral("Could not lock %1: %2").arg(path, why);
}
