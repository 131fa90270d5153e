#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

// A broken property ends the run like a sanitizer report, so that libFuzzer saves the input.
inline void require(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "fuzz property broken: %s\n", property);
        std::abort();
    }
}

// A file that lives only in memory and is reached by a path, so that each input is read through
// the same open calls as a file on disk without touching the disk.
class MemoryFile {
public:
    MemoryFile() : fd_(memfd_create("tavrin-fuzz", MFD_CLOEXEC)) {
        require(fd_ >= 0, "memfd_create");
    }
    ~MemoryFile() { ::close(fd_); }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;

    void fill(const std::uint8_t* data, std::size_t size) {
        require(ftruncate(fd_, 0) == 0, "ftruncate");
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            require(n > 0, "pwrite");
            done += static_cast<std::size_t>(n);
        }
    }

    QString path() const { return QStringLiteral("/proc/self/fd/%1").arg(fd_); }

private:
    int fd_;
};
