#pragma once

#include "audio/wavetypes.h"
#include "keyer/monosource.h"
#include "support/notice.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

// The message files: RIFF/WAVE. Recording writes a 44-byte header in front of 16-bit mono samples
// at 11025 Hz; playback takes any PCM or float WAV, and any other file libsndfile reads, and
// converts it to that format as it reads.

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens path with an fopen mode; a null handle when it cannot be opened, reason (when given) then
// saying why.
FileHandle openFile(const QString& path, const char* mode, QString* reason = nullptr);

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
    // The file ends inside the format chunk or before the data chunk's header, or cannot be read
    // through.
    Incomplete,
    // A well-formed file whose samples are neither PCM nor float, or laid out in a way that
    // cannot be converted.
    UnplayableFormat,
};

// The encodings playback takes, as a format chunk's tag names them.
inline constexpr std::uint16_t kPcmTag = 1;
inline constexpr std::uint16_t kFloatTag = 3;

// The format chunk of a message file, as far as playback needs it.
struct WaveFileFormat {
    std::uint16_t formatTag = 0;
    // The tag that says how the samples are coded: formatTag, or for an extensible format chunk
    // the tag its sub-format carries.
    std::uint16_t encoding = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
};

// The format the output device plays: message data in it is played byte for byte.
bool isDeviceFormat(const WaveFileFormat& format);
bool isPlayable(const WaveFileFormat& format);
// The format in words for a message to the operator, e.g. "A-law, 8 bits, 1 channel, 8000 Hz".
QString describeFormat(const WaveFileFormat& format);

// What a player may read at most, so that the count fits every signed 32-bit counter.
inline constexpr std::uint32_t kMaxPlayableBytes = std::numeric_limits<std::int32_t>::max();

struct HeaderReading {
    HeaderResult result = HeaderResult::Incomplete;
    // The sample bytes to play: the header's data size, cut to what the file really holds after
    // the header and to kMaxPlayableBytes. Zero unless result is Ok.
    std::uint32_t dataBytes = 0;
    WaveFileFormat format; // read even when the format is refused
};

// Reads the header from the start of an open file. The format chunk must come first; the chunks
// after it are walked by their sizes to the data chunk. On Ok the file is positioned at the first
// sample byte and dataBytes is a whole number of sample frames.
HeaderReading readMessageHeader(std::FILE* file);

struct OpenedMessage {
    HeaderResult result = HeaderResult::CannotOpen;
    std::uint32_t dataBytes = 0;
    WaveFileFormat format;
    FileHandle file; // open and at the first sample byte only when result is Ok
    // Instead of file, for an accepted file that is not RIFF (FLAC, Ogg, AIFF …): its samples
    // as libsndfile decodes them.
    std::unique_ptr<MonoSource> sound;
};

// Opens path for reading and reads its header; a refused file is closed again. A file that is not
// RIFF is accepted when libsndfile reads it.
OpenedMessage openMessageFile(const QString& path);

// How long the message in a file plays; zero when the file is missing, refused or holds no
// samples, which is what an empty memory is.
std::chrono::milliseconds messageLength(const QString& path);

// A box's text and title, both marked for translation in the context "MessageFile".
struct MessageBoxText {
    const char* text;
    const char* title;

    Notice textNotice() const { return translatable(kContext, text); }
    Notice titleNotice() const { return translatable(kContext, title); }
    static constexpr const char* kContext = "MessageFile";
};

// The titles of the boxes that say a message file could not be opened, or read, written or
// changed.
inline constexpr const char* kFileOpenErrorTitle =
    QT_TRANSLATE_NOOP("MessageFile", "File Open Error Message");
inline constexpr const char* kFileErrorTitle =
    QT_TRANSLATE_NOOP("MessageFile", "File Error Message");

inline constexpr MessageBoxText kCouldNotOpenFile{
    QT_TRANSLATE_NOOP("MessageFile", "Could not open the file"), kFileOpenErrorTitle};
inline constexpr MessageBoxText kNotRiffFile{QT_TRANSLATE_NOOP("MessageFile", "Not a RIFF file"),
                                             kFileErrorTitle};
inline constexpr MessageBoxText kNotWaveFile{QT_TRANSLATE_NOOP("MessageFile", "Not a WAVE file"),
                                             kFileErrorTitle};
inline constexpr MessageBoxText kFmtIncorrect{QT_TRANSLATE_NOOP("MessageFile", "fmt incorrect"),
                                              kFileErrorTitle};
// PLAY follows the text with the format in words.
inline constexpr MessageBoxText kUnplayableFormat{
    QT_TRANSLATE_NOOP("MessageFile", "Cannot play a wave file in this format"), kFileErrorTitle};

// The title of the boxes that say a message file could not be read, written or changed.
inline Notice fileErrorTitle() {
    return translatable(MessageBoxText::kContext, kFileErrorTitle);
}

// The message for a refused message file; nothing for Ok. A file that ends inside its header is
// reported as "fmt incorrect": its format or data chunk is not complete.
std::optional<MessageBoxText> headerFailureMessage(HeaderResult result);
