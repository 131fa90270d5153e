#include "support/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

} // namespace

AtomicReplacement::AtomicReplacement(const QString& path, FileSystem& fs) : fs_(fs) {
    // Through a symbolic link, the file it points to is replaced, not the link.
    const QString resolved = QFileInfo(path).canonicalFilePath();
    target_ = QFile::encodeName(resolved.isEmpty() ? path : resolved).toStdString();
    if (target_.empty()) {
        error_ = ENOENT;
        return;
    }
    if (!replaceable())
        return;
    fd_ = fs_.createTemporary(target_, tempPath_);
    if (fd_ < 0)
        fail();
}

AtomicReplacement::~AtomicReplacement() {
    if (fd_ >= 0)
        fs_.close(fd_);
    if (!renamed_ && !tempPath_.empty())
        fs_.remove(tempPath_);
}

bool AtomicReplacement::fail() {
    error_ = errno;
    return false;
}

FileStatus replaceRefusal(const std::string& target) {
    // Renaming over a device node or a named pipe would put a plain file in its place (for
    // /dev/zero, for the whole system); a file made read-only is the owner's wish to keep it.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) != 0)
        return {}; // nothing there yet; making the new file tells whether one can be
    if (!S_ISREG(existing.st_mode))
        return FileStatus::failed(EPERM);
    return (existing.st_mode & kWriteBits) != 0 ? FileStatus() : FileStatus::failed(EACCES);
}

FileStatus putInPlace(FileSystem& fs, const std::string& from, const std::string& target,
                      bool& renamed) {
    renamed = false;
    if (const FileStatus refusal = replaceRefusal(target); !refusal)
        return refusal;
    if (!fs.rename(from, target))
        return FileStatus::fromErrno();
    renamed = true;
    return fs.syncDirectory(directoryOf(target)) ? FileStatus() : FileStatus::fromErrno();
}

bool AtomicReplacement::replaceable() {
    const FileStatus refusal = replaceRefusal(target_);
    notRegular_ = refusal.error() == EPERM;
    if (!refusal)
        error_ = refusal.error();
    return refusal.ok();
}

bool AtomicReplacement::write(const char* data, std::size_t size) {
    return fd_ >= 0 && (fs_.write(fd_, data, size) || fail());
}

bool AtomicReplacement::finishWriting() {
    if (fd_ < 0)
        return closed_;
    const int fd = std::exchange(fd_, -1);
    bool ok = fs_.sync(fd) || fail();
    if (!fs_.close(fd) && ok)
        ok = fail();
    closed_ = ok;
    return ok;
}

bool AtomicReplacement::commit() {
    if (!finishWriting() || !replaceable())
        return false;
    const FileStatus placed = putInPlace(fs_, tempPath_, target_, renamed_);
    if (!placed)
        error_ = placed.error();
    return placed.ok();
}

QString AtomicReplacement::reason() const {
    return notRegular_ ? QStringLiteral("not a regular file")
                       : QString::fromLocal8Bit(std::strerror(error_));
}

FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes, FileSystem& fs) {
    AtomicReplacement replacement(path, fs);
    if (replacement.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
        replacement.commit())
        return {};
    return FileStatus::failed(replacement.status().error());
}

FileStatus replaceError(const QString& path) {
    // Made and removed at once: the folder took a new file, which is all that was asked.
    const AtomicReplacement probe(path);
    return probe.status();
}

FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes) {
    return writeFileAtomically(path, bytes, posixFileSystem());
}
