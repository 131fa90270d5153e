#pragma once

#include "support/filestatus.h"

#include <QByteArray>
#include <QString>

// What reading a file found.
struct FileRead {
    enum class Status {
        Read,       // bytes holds what was read
        Missing,    // nothing at the path (or a link to nothing)
        NotRegular, // a named pipe, a device, a directory or a socket: left unopened or unread
        Failed,     // could not be opened or read; failure tells why
    };
    Status status = Status::Missing;
    QByteArray bytes;
    FileStatus failure;    // why, when it Failed
    bool readOnly = false; // a regular file with no write permission bit set
};

// Reads at most maxBytes from the start of the file at path, following symbolic links. Only a
// regular file is read, and nothing blocks on the way: a named pipe or a device would otherwise
// hold the caller (and the whole window) until some other program acted.
FileRead readRegularFile(const QString& path, qint64 maxBytes);
