#pragma once

#include <cstddef>
#include <string>

// The file-system calls that replacing a file atomically makes, one per step, so that each step's
// failure can be tried.
class FileSystem {
public:
    virtual ~FileSystem() = default;

    // Creates a new, empty file with a unique name in the directory of target; its descriptor, or
    // -1 on failure. tempPath receives the name.
    virtual int createTemporary(const std::string& target, std::string& tempPath) = 0;
    // Writes all of data, or fails.
    virtual bool write(int fd, const char* data, std::size_t size) = 0;
    virtual bool sync(int fd) = 0;
    // Releases fd whatever the result.
    virtual bool close(int fd) = 0;
    virtual bool rename(const std::string& from, const std::string& to) = 0;
    virtual bool syncDirectory(const std::string& directory) = 0;
    virtual void remove(const std::string& path) = 0;
};

class PosixFileSystem final : public FileSystem {
public:
    int createTemporary(const std::string& target, std::string& tempPath) override;
    bool write(int fd, const char* data, std::size_t size) override;
    bool sync(int fd) override;
    bool close(int fd) override;
    bool rename(const std::string& from, const std::string& to) override;
    bool syncDirectory(const std::string& directory) override;
    void remove(const std::string& path) override;
};

// The real file system; it keeps no state, so every thread may share it.
FileSystem& posixFileSystem();

// The folder a path names its file in: "." for a bare name, "/" for a file at the root.
std::string directoryOf(const std::string& path);
