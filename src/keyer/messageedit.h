#pragma once

#include "support/filestatus.h"

#include <QByteArray>
#include <QString>
#include <QVarLengthArray>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

// Trimming and levelling change a finished message in place. Each reads the whole file and
// replaces it whole, synced, so that a crash leaves the old message or the new one; the message
// as recorded is kept beside it until its memory is recorded again, so that Undo puts the
// recording back byte for byte whatever was done to it since.

// A longer message is left as it is: an edit holds all of it in memory at once.
inline constexpr std::chrono::minutes kLongestEditedMessage{10};

// A message file of Tavrin's own format, read whole.
struct EditableMessage {
    QByteArray file;
    QVarLengthArray<std::int16_t> samples;
};

// The message at path, when it is a 16-bit mono file of Tavrin's rate no longer than is edited.
std::optional<EditableMessage> readEditableMessage(const QString& path);

// Puts count samples in place of the message at path, which held old. The message as recorded
// (old, unless a copy from before an earlier edit is kept) is kept first. After a step that
// failed the message is as it was, and so is what was kept.
FileStatus replaceMessage(const QString& path, const EditableMessage& old,
                          const std::int16_t* samples, std::size_t count);

// The 44-byte header recording writes, for dataBytes of samples; empty when it cannot be made.
QByteArray messageHeader(std::uint32_t dataBytes);

// Replaces the file at path with a message of Tavrin's format holding count samples, whole and
// synced.
FileStatus writeMessage(const QString& path, const std::int16_t* samples, std::size_t count);

// Where the message at path is kept as recorded. The name is older than levelling, and users'
// files rely on it.
QString asRecordedPath(const QString& path);

// Puts the message as recorded back in path's place, byte for byte; ENOENT when none is kept.
FileStatus restoreAsRecorded(const QString& path);

// Drops the message kept as recorded: a new recording of the memory makes it stale.
void forgetAsRecorded(const QString& path);
