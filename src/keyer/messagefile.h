#pragma once

#include <QString>

#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>

// The message files: RIFF/WAVE with a 44-byte header in front of 16-bit mono samples.

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens path with an fopen mode; a null handle when it cannot be opened.
FileHandle openFile(const QString& path, const char* mode);

// The format fields of the header, copied from the format the input device records with.
struct WaveHeaderFormat {
    std::uint16_t formatTag = 1; // PCM
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSecond = 11025;
    std::uint32_t bytesPerSecond = 22050;
    std::uint16_t blockAlign = 2;
    std::uint16_t bitsPerSample = 16;
};
inline constexpr WaveHeaderFormat kMessageFormat{};

inline constexpr long kMessageHeaderBytes = 44;
// The largest data size whose RIFF size (data size + 36) still fits its 32-bit field; a
// recording must end before it grows past this.
inline constexpr std::uint32_t kMaxRecordedBytes = std::numeric_limits<std::uint32_t>::max() - 36;

// Writes the header at the current position with both sizes provisional, taken from
// recordedBytes. False when any write or the flush failed.
bool writeMessageHeader(std::FILE* file, const WaveHeaderFormat& format,
                        std::uint32_t recordedBytes);

// Puts the final sizes into a header written by writeMessageHeader. False when any seek, write or
// the flush failed. The file stays open.
bool completeMessageHeader(std::FILE* file, std::uint32_t recordedBytes);

enum class HeaderResult {
    Ok,
    CannotOpen,
    NotRiff,
    NotWave,
    FmtIncorrect,
    // The file ends inside the format chunk or the data chunk's header, or cannot be read through.
    Incomplete,
};

// What a player may read at most, so that the count fits every signed 32-bit counter.
inline constexpr std::uint32_t kMaxPlayableBytes = std::numeric_limits<std::int32_t>::max();

struct HeaderReading {
    HeaderResult result = HeaderResult::Incomplete;
    // The sample bytes to play: the header's data size, cut to what the file really holds after
    // the header and to kMaxPlayableBytes. Zero unless result is Ok.
    std::uint32_t dataBytes = 0;
};

// Reads the header from the start of an open file. On Ok the file is positioned at the first
// sample byte. The format fields are read past and not checked: playback always uses the fixed
// format. A format chunk that is not 16 bytes long is taken to be followed by one 12-byte chunk
// (a fact chunk) before the data chunk, whose id is not checked.
HeaderReading readMessageHeader(std::FILE* file);

struct OpenedMessage {
    HeaderResult result = HeaderResult::CannotOpen;
    std::uint32_t dataBytes = 0;
    FileHandle file; // open and at the first sample byte only when result is Ok
};

// Opens path for reading and reads its header; a refused file is closed again.
OpenedMessage openMessageFile(const QString& path);

struct MessageBoxText {
    const char* text;
    const char* title;
};

inline constexpr MessageBoxText kCouldNotOpenFile{"Could not open the file",
                                                  "File Open Error Message"};
inline constexpr MessageBoxText kNotRiffFile{"Not a RIFF file", "File Error Message"};
inline constexpr MessageBoxText kNotWaveFile{"Not a WAVE file", "File Error Message"};
inline constexpr MessageBoxText kFmtIncorrect{"fmt incorrect", "File Error Message"};

// The message for a refused message file; nothing for Ok. A file that ends inside its header is
// reported as "fmt incorrect": its format or data chunk is not complete.
std::optional<MessageBoxText> headerFailureMessage(HeaderResult result);
