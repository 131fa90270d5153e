#pragma once

#include "support/filestatus.h"
#include "support/filesystem.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <string>

// Whether the file at target may be replaced: EPERM when it is no regular file, EACCES when it
// has no write permission bit; done when it may be, or nothing is there.
FileStatus replaceRefusal(const std::string& target);

// The last steps of replacing a file whose new contents are whole and synced at from: target is
// checked again, from renamed over it and the folder synced, so that the new name survives a power
// cut. renamed tells whether from took target's place, even when the folder's sync failed.
FileStatus putInPlace(FileSystem& fs, const std::string& from, const std::string& target,
                      bool& renamed);

// A new file for path, written beside it and put in its place only once it is whole, so that a
// crash, a full disk or any failing step leaves either the old file or the new one, never a mix.
// Only a regular file with a write permission bit is replaced (through a symbolic link, the file
// it points to): anything else at path is left alone, checked both on making the replacement and
// again just before it takes the old file's place. Until commit has renamed it into place the
// temporary file is removed on every way out, destruction included. It may be written in one
// thread and committed in another.
class AtomicReplacement {
public:
    explicit AtomicReplacement(const QString& path, FileSystem& fs = posixFileSystem());
    ~AtomicReplacement();
    AtomicReplacement(const AtomicReplacement&) = delete;
    AtomicReplacement& operator=(const AtomicReplacement&) = delete;

    // The temporary file, open for writing from its start; -1 when it could not be made or is
    // finished.
    int fd() const { return fd_; }
    // Writes all of data to the temporary file, or fails.
    bool write(const char* data, std::size_t size);
    // Syncs and closes the temporary file, so that commit only has to rename it.
    bool finishWriting();
    // Finishes writing, renames the temporary file over the old one and syncs the directory.
    // When only that last sync failed, the new file is in place but may not survive a power cut.
    bool commit();
    // What the step that failed came to; done while none has.
    FileStatus status() const { return error_ == 0 ? FileStatus() : FileStatus::failed(error_); }
    // Why the step failed, in words for the operator.
    QString reason() const;

private:
    bool fail();
    bool replaceable();

    FileSystem& fs_;
    std::string target_;
    std::string tempPath_;
    int fd_ = -1;
    int error_ = 0;
    bool notRegular_ = false;
    bool closed_ = false;
    bool renamed_ = false;
};

// Replaces the file at path with bytes through an AtomicReplacement.
FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes, FileSystem& fs);
FileStatus writeFileAtomically(const QString& path, const QByteArray& bytes);

// Why writeFileAtomically(path, …) would fail before writing a byte: what is at path may not be
// replaced, or its folder takes no new file (tried by making one there and removing it, since
// permission bits alone do not stop root and do not tell a read-only or immutable file system).
// Done when nothing stands in the way.
FileStatus replaceError(const QString& path);
