#pragma once

#include <QString>

#include <cerrno>
#include <cstring>

// What a step on a file came to: done, or the errno of the step that failed. The one way the
// support layer says why, in place of a bool beside errno, which the next call may overwrite.
class FileStatus {
public:
    // Done.
    FileStatus() = default;
    // A failure that names no reason is taken as an input/output error, never as done.
    static FileStatus failed(int error) { return FileStatus(error != 0 ? error : EIO); }
    static FileStatus fromErrno() { return failed(errno); }

    bool ok() const { return error_ == 0; }
    explicit operator bool() const { return ok(); }
    int error() const { return error_; }
    // The system's words for the failure: "No space left on device".
    QString reason() const { return QString::fromLocal8Bit(std::strerror(error_)); }

private:
    explicit FileStatus(int error) : error_(error) {}

    int error_ = 0;
};
