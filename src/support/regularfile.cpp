#include "support/regularfile.h"

#include "support/uniquefd.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileRead readRegularFile(const QString& path, qint64 maxBytes) {
    FileRead result;
    const UniqueFd fd(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!fd) {
        result.status = errno == ENOENT ? FileRead::Status::Missing : FileRead::Status::Failed;
        result.failure = FileStatus::fromErrno();
        return result;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0) {
        result.status = FileRead::Status::Failed;
        result.failure = FileStatus::fromErrno();
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = FileRead::Status::NotRegular;
        return result;
    }
    result.readOnly = (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
    result.bytes.resize(static_cast<int>(maxBytes));
    qint64 filled = 0;
    while (filled < maxBytes) {
        const ssize_t got = ::read(fd.get(), result.bytes.data() + filled,
                                   static_cast<std::size_t>(maxBytes - filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            result.status = FileRead::Status::Failed;
            result.failure = FileStatus::fromErrno();
            result.bytes.clear();
            return result;
        }
        if (got == 0)
            break;
        filled += got;
    }
    result.bytes.truncate(static_cast<int>(filled));
    result.status = FileRead::Status::Read;
    return result;
}
