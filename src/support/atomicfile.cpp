#include "support/atomicfile.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
// A new file gets what any program's new file gets: read and write for all, less the umask.
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
// Names already taken by other temporary files before giving up: a collision of 64 random bits
// is itself rare.
constexpr int kNameAttempts = 16;

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct DirectoryHandle {
    explicit DirectoryHandle(int descriptor) : fd(descriptor) {}
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    ~DirectoryHandle() {
        if (fd >= 0)
            ::close(fd);
    }
    const int fd;
};

} // namespace

int PosixFileSystem::createTemporary(const std::string& target, std::string& tempPath) {
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
        tempPath = directoryOf(target) + "/." + baseNameOf(target) + "." +
                   std::to_string(QRandomGenerator::global()->generate64());
        fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kNewFileMode);
        if (fd < 0 && errno != EEXIST)
            return -1;
    }
    // A replacement keeps the permissions of the file it replaces.
    struct stat old;
    if (fd >= 0 && ::stat(target.c_str(), &old) == 0)
        ::fchmod(fd, old.st_mode & kPermissionBits);
    return fd;
}

bool PosixFileSystem::write(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool PosixFileSystem::sync(int fd) {
    return ::fsync(fd) == 0;
}

bool PosixFileSystem::close(int fd) {
    return ::close(fd) == 0;
}

bool PosixFileSystem::rename(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

bool PosixFileSystem::syncDirectory(const std::string& directory) {
    const DirectoryHandle dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return dir.fd >= 0 && ::fsync(dir.fd) == 0;
}

void PosixFileSystem::remove(const std::string& path) {
    ::unlink(path.c_str());
}

FileSystem& posixFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

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
    // A caller reads why a write failed from errno; cleaning up must not change it.
    const int error = errno;
    if (fd_ >= 0)
        fs_.close(fd_);
    if (!renamed_ && !tempPath_.empty())
        fs_.remove(tempPath_);
    errno = error;
}

bool AtomicReplacement::fail() {
    error_ = errno;
    return false;
}

int replaceRefusal(const std::string& target) {
    // Renaming over a device node or a named pipe would put a plain file in its place (for
    // /dev/zero, for the whole system); a file made read-only is the owner's wish to keep it.
    struct stat existing {};
    if (::stat(target.c_str(), &existing) != 0)
        return 0; // nothing there yet; making the new file tells whether one can be
    if (!S_ISREG(existing.st_mode))
        return EPERM;
    return (existing.st_mode & kWriteBits) != 0 ? 0 : EACCES;
}

bool putInPlace(FileSystem& fs, const std::string& from, const std::string& target, bool& renamed) {
    renamed = false;
    if (const int refusal = replaceRefusal(target)) {
        errno = refusal;
        return false;
    }
    if (!fs.rename(from, target))
        return false;
    renamed = true;
    return fs.syncDirectory(directoryOf(target));
}

bool AtomicReplacement::replaceable() {
    const int refusal = replaceRefusal(target_);
    notRegular_ = refusal == EPERM;
    if (refusal != 0)
        error_ = refusal;
    return refusal == 0;
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
    return putInPlace(fs_, tempPath_, target_, renamed_) || fail();
}

QString AtomicReplacement::reason() const {
    return notRegular_ ? QStringLiteral("not a regular file")
                       : QString::fromLocal8Bit(std::strerror(error_));
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, FileSystem& fs) {
    AtomicReplacement replacement(path, fs);
    if (replacement.write(bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
        replacement.commit())
        return true;
    errno = replacement.error();
    return false;
}

int replaceError(const QString& path) {
    // Made and removed at once: the folder took a new file, which is all that was asked.
    const AtomicReplacement probe(path);
    return probe.error();
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
    return writeFileAtomically(path, bytes, posixFileSystem());
}
