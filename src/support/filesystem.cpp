#include "support/filesystem.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr mode_t kPermissionBits = 07777;
// A new file gets what any program's new file gets: read and write for all, less the umask.
constexpr mode_t kNewFileMode = S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH;
// Names already taken by other temporary files before giving up: a collision of 64 random bits
// is itself rare.
constexpr int kNameAttempts = 16;

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

std::string directoryOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

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
