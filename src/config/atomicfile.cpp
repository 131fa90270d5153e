#include "config/atomicfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

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

// Owns the temporary file until it has been renamed into place: closes it and removes it on
// every way out before that.
class TemporaryFile {
public:
    TemporaryFile(FileSystem& fs, int fd, std::string path)
        : fs_(fs), fd_(fd), path_(std::move(path)) {}
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        // The caller reads why the write failed from errno; cleaning up must not change it.
        const int error = errno;
        close();
        if (!renamed_)
            fs_.remove(path_);
        errno = error;
    }

    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || fs_.close(fd);
    }
    bool renameTo(const std::string& target) {
        renamed_ = fs_.rename(path_, target);
        return renamed_;
    }

private:
    FileSystem& fs_;
    int fd_;
    std::string path_;
    bool renamed_ = false;
};

} // namespace

int PosixFileSystem::createTemporary(const std::string& target, std::string& tempPath) {
    std::string name = directoryOf(target) + "/." + baseNameOf(target) + ".XXXXXX";
    std::vector<char> pattern(name.begin(), name.end());
    pattern.push_back('\0');
    const int fd = mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        return -1;
    tempPath = pattern.data();
    // mkostemp makes the file private; a replacement keeps the permissions of the file it
    // replaces.
    struct stat old;
    if (::stat(target.c_str(), &old) == 0)
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

namespace {

// The file that replacing path writes: through a symbolic link, the one it points to. Empty, with
// errno set, when nothing may be put there: renaming over a device node or a named pipe would put
// a plain file in its place (for /dev/zero, for the whole system), and a file made read-only is
// the owner's wish to keep it.
std::string replaceableTarget(const QString& path) {
    const QString resolved = QFileInfo(path).canonicalFilePath();
    std::string target = QFile::encodeName(resolved.isEmpty() ? path : resolved).toStdString();
    struct stat existing {};
    if (target.empty())
        errno = ENOENT;
    else if (::stat(target.c_str(), &existing) == 0 &&
             (!S_ISREG(existing.st_mode) || (existing.st_mode & kWriteBits) == 0))
        errno = S_ISREG(existing.st_mode) ? EACCES : EPERM;
    else
        return target;
    return {};
}

} // namespace

int replaceError(const QString& path) {
    const std::string target = replaceableTarget(path);
    PosixFileSystem fs;
    std::string tempPath;
    const int fd = target.empty() ? -1 : fs.createTemporary(target, tempPath);
    if (fd < 0)
        return errno;
    // Closed and removed at once: the folder took a new file, which is all that was asked.
    const TemporaryFile probe(fs, fd, tempPath);
    return 0;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, FileSystem& fs) {
    const std::string target = replaceableTarget(path);
    if (target.empty())
        return false;
    std::string tempPath;
    const int fd = fs.createTemporary(target, tempPath);
    if (fd < 0)
        return false;
    TemporaryFile temp(fs, fd, tempPath);
    const bool written = fs.write(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) &&
                         fs.sync(fd) && temp.close();
    if (!written || !temp.renameTo(target))
        return false;
    return fs.syncDirectory(directoryOf(target));
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes) {
    PosixFileSystem fs;
    return writeFileAtomically(path, bytes, fs);
}
