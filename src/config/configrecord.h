#pragma once

#include "support/regularfile.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

// The configuration file's record: the per-slot notes and paths and every setting, 6730 bytes,
// little-endian, the fields back to back with no gaps. A default-constructed record holds the
// built-in defaults.
struct ConfigRecord {
    static constexpr int kEntries = 13;     // entry k belongs to slot k; entry 0 to none
    static constexpr int kEntryBytes = 256; // at most 255 bytes of UTF-8 and a terminating zero
    static constexpr int kPortNameBytes = 32;
    static constexpr int kRecordBytes = 6730;
    static constexpr int kFirstSlot = 1;
    static constexpr int kLastSlot = 12;

    // The notes as stored: their bytes up to the terminating zero, UTF-8 or, in older files,
    // Latin-1; decoding them is the reader's business.
    std::array<QByteArray, kEntries> messageTexts;
    std::array<QString, kEntries> slotPaths;
    std::uint32_t selectedMemory = 1;
    std::uint32_t reservedA = 0; // kept only to be written back as read
    std::uint32_t reservedB = 25000;
    std::int32_t loopDelay = 10; // tenths of a second: "1 sec", the item ticked at start
    std::int32_t keyingPortKind = 0;
    QByteArray keyingPortName; // ASCII, at most 31 bytes are stored
    std::int32_t micGainCode = 1;
    std::int32_t keyingPolarity = 1;
    std::uint8_t idAlarmOn = 0;
    std::int32_t idAlarmSeconds = 10;
    std::uint8_t stayOnTop = 0;
    std::int32_t inputDevice = 0;
    std::int32_t outputDevice = 0;

    // The slot to select: selectedMemory when it names one of the twelve slots, otherwise slot 1.
    int selectedSlot() const;

    // Exactly kRecordBytes bytes. A note longer than its entry is cut to 255 bytes; a path to
    // 255 bytes of UTF-8 without splitting a character.
    QByteArray serialize() const;

    // base with every field overlaid that lies wholly inside bytes: a short file keeps base's
    // values for the fields it does not reach, including one it cuts in the middle. Bytes after
    // the record are ignored. A note or path is read up to its terminating zero or the end of its
    // entry; a path as UTF-8, or as Latin-1 when it is not valid UTF-8 (as older files hold).
    static ConfigRecord parse(const QByteArray& bytes, const ConfigRecord& base);
};

// The first kRecordBytes bytes of the configuration file at path (fewer when it is shorter),
// read only when it is a regular file.
FileRead readConfigFile(const QString& path);
