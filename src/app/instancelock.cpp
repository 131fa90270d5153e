#include "app/instancelock.h"

#include <QDir>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>

namespace {
const QString kLockName = QStringLiteral("Tavrin.lock");
constexpr mode_t kLockMode = 0644;
} // namespace

InstanceLock::InstanceLock(const QString& dir) {
    const QString path = QDir(dir).filePath(kLockName);
    if (!QDir().mkpath(dir)) {
        message_ = QStringLiteral("Could not create the folder %1").arg(dir);
        return;
    }
    fd_.reset(::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, kLockMode));
    if (!fd_) {
        message_ = QStringLiteral("Could not open %1: %2")
                       .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
        result_ = Result::Held;
        return;
    }
    const int error = errno;
    if (error == EWOULDBLOCK) {
        result_ = Result::HeldElsewhere;
        message_ = QStringLiteral("Another Tavrin already runs on the folder %1.\nStart this one "
                                  "on a folder of its own with --home DIR.")
                       .arg(QDir::toNativeSeparators(dir));
        return;
    }
    message_ = QStringLiteral("Could not lock %1: %2")
                   .arg(path, QString::fromLocal8Bit(std::strerror(error)));
}
