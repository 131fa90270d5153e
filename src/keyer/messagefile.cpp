#include "keyer/messagefile.h"

#include "keyer/soundfile.h"
#include "support/littleendian.h"
#include "support/uniquefd.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kRiffSizeBeyondData = 36; // header bytes after the RIFF size field
constexpr std::uint32_t kPlainFmtChunkBytes = 16;
// WAVE_FORMAT_EXTENSIBLE: 24 more bytes in the format chunk; the sub-format GUID, 8 bytes in,
// begins with the tag that says how the samples are coded.
constexpr std::uint16_t kExtensibleTag = 0xFFFE;
constexpr std::int64_t kExtensionBytes = 24;
constexpr std::int64_t kSubFormatOffset = 8;
constexpr std::uint32_t kDeviceRate = kMessageFormat.samplesPerSecond;
constexpr long kRiffSizeOffset = 4;
constexpr long kDataSizeOffset = 40;

bool putTag(std::FILE* file, const char (&tag)[5]) {
    return std::fwrite(tag, 1, 4, file) == 4;
}

bool put16(std::FILE* file, std::uint16_t value) {
    unsigned char bytes[2];
    storeLe16(bytes, value);
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

bool put32(std::FILE* file, std::uint32_t value) {
    unsigned char bytes[4];
    storeLe32(bytes, value);
    return std::fwrite(bytes, 1, sizeof bytes, file) == sizeof bytes;
}

std::uint32_t riffSizeFor(std::uint32_t recordedBytes) {
    return std::min(recordedBytes, kMaxRecordedBytes) + kRiffSizeBeyondData;
}

// Reads the header front to back, knowing the file's length so that a skip past the end is
// caught as well as a short read. Once anything failed, every later read fails too.
class HeaderCursor {
public:
    explicit HeaderCursor(std::FILE* file) : file_(file) {
        ok_ = fseeko(file_, 0, SEEK_END) == 0 && (length_ = ftello(file_)) >= 0 &&
              fseeko(file_, 0, SEEK_SET) == 0;
    }

    bool ok() const { return ok_; }
    std::int64_t bytesLeft() const { return length_ - position_; }

    bool tagIs(const char (&tag)[5]) {
        unsigned char bytes[4];
        return read(bytes, sizeof bytes) && std::memcmp(bytes, tag, 4) == 0;
    }

    std::uint16_t u16() {
        unsigned char bytes[2] = {};
        read(bytes, sizeof bytes);
        return loadLe16(bytes);
    }

    std::uint32_t u32() {
        unsigned char bytes[4] = {};
        read(bytes, sizeof bytes);
        return loadLe32(bytes);
    }

    void skip(std::int64_t count) {
        if (!ok_ || count < 0 || count > bytesLeft()) {
            ok_ = false;
            return;
        }
        position_ += count;
        ok_ = fseeko(file_, position_, SEEK_SET) == 0;
    }

private:
    bool read(unsigned char* bytes, std::size_t count) {
        ok_ = ok_ && std::fread(bytes, 1, count, file_) == count;
        if (ok_)
            position_ += static_cast<std::int64_t>(count);
        return ok_;
    }

    std::FILE* file_;
    bool ok_ = false;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
};

HeaderReading refused(HeaderResult result) {
    return {result, 0, WaveFileFormat{}};
}

} // namespace

FileHandle openFile(const QString& path, const char* mode, QString* reason) {
    const auto fail = [reason](const QString& why) {
        if (reason)
            *reason = why;
        return FileHandle{};
    };
    const auto systemFailure = [&fail] {
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
    };
    const bool writing = std::strchr(mode, 'w') != nullptr;
    // Opened without blocking and kept only when it is a regular file: a named pipe or a device
    // chosen as a message would otherwise hang the program in the open or in the first read.
    const int flags = (writing ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    constexpr mode_t kCreateMode = 0666;
    UniqueFd fd(::open(QFile::encodeName(path).constData(), flags, kCreateMode));
    if (!fd)
        return systemFailure();
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return systemFailure();
    if (!S_ISREG(info.st_mode))
        return fail(QStringLiteral("not a regular file"));
    if (::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK) != 0 ||
        (writing && ::ftruncate(fd.get(), 0) != 0))
        return systemFailure();
    FileHandle file(::fdopen(fd.get(), mode));
    if (!file)
        return systemFailure();
    fd.release();
    return file;
}

bool writeMessageHeader(std::FILE* file, const WaveHeaderFormat& format,
                        std::uint32_t recordedBytes) {
    return putTag(file, "RIFF") && put32(file, riffSizeFor(recordedBytes)) &&
           putTag(file, "WAVE") && putTag(file, "fmt ") && put32(file, kPlainFmtChunkBytes) &&
           put16(file, format.formatTag) && put16(file, format.channels) &&
           put32(file, format.samplesPerSecond) && put32(file, format.bytesPerSecond) &&
           put16(file, format.blockAlign) && put16(file, format.bitsPerSample) &&
           putTag(file, "data") && put32(file, recordedBytes) && std::fflush(file) == 0;
}

bool completeMessageHeader(std::FILE* file, std::uint32_t recordedBytes) {
    return std::fseek(file, kRiffSizeOffset, SEEK_SET) == 0 &&
           put32(file, riffSizeFor(recordedBytes)) &&
           std::fseek(file, kDataSizeOffset, SEEK_SET) == 0 && put32(file, recordedBytes) &&
           std::fflush(file) == 0;
}

HeaderReading readMessageHeader(std::FILE* file) {
    HeaderCursor in(file);
    if (!in.ok())
        return refused(HeaderResult::Incomplete);
    if (!in.tagIs("RIFF"))
        return refused(HeaderResult::NotRiff);
    in.u32(); // the RIFF size says nothing the data size does not
    if (!in.tagIs("WAVE"))
        return refused(HeaderResult::NotWave);
    if (!in.tagIs("fmt "))
        return refused(HeaderResult::FmtIncorrect);

    const std::uint32_t fmtBytes = in.u32();
    if (in.ok() && fmtBytes < kPlainFmtChunkBytes)
        return refused(HeaderResult::FmtIncorrect); // cannot even hold the fields read next
    WaveFileFormat format;
    format.formatTag = in.u16();
    format.encoding = format.formatTag;
    format.channels = in.u16();
    format.samplesPerSecond = in.u32();
    in.u32(); // bytes per second: follows from the others
    format.blockAlign = in.u16();
    format.bitsPerSample = in.u16();
    std::int64_t fmtLeft = std::int64_t{fmtBytes} - kPlainFmtChunkBytes;
    if (format.formatTag == kExtensibleTag && fmtLeft >= kExtensionBytes) {
        in.skip(kSubFormatOffset);
        format.encoding = in.u16();
        in.skip(kExtensionBytes - kSubFormatOffset - 2);
        fmtLeft -= kExtensionBytes;
    }
    in.skip(fmtLeft + (fmtBytes & 1));

    // Any chunk (fact, LIST, cue and the like) may stand between the format and the data.
    std::uint32_t claimed = 0;
    for (;;) {
        const bool isData = in.tagIs("data");
        claimed = in.u32();
        if (!in.ok())
            return refused(HeaderResult::Incomplete);
        if (isData)
            break;
        in.skip(std::int64_t{claimed} + (claimed & 1));
    }
    if (!isPlayable(format))
        return {HeaderResult::UnplayableFormat, 0, format};

    const auto held = static_cast<std::uint64_t>(in.bytesLeft());
    auto dataBytes = std::min<std::uint64_t>({claimed, held, kMaxPlayableBytes});
    dataBytes -= dataBytes % format.blockAlign;
    return {HeaderResult::Ok, static_cast<std::uint32_t>(dataBytes), format};
}

OpenedMessage openMessageFile(const QString& path) {
    OpenedMessage opened;
    opened.file = openFile(path, "rb");
    if (!opened.file)
        return opened;
    const HeaderReading reading = readMessageHeader(opened.file.get());
    opened.result = reading.result;
    opened.dataBytes = reading.dataBytes;
    opened.format = reading.format;
    if (reading.result == HeaderResult::NotRiff) {
        // FLAC, Ogg, AIFF and the like; what libsndfile cannot read keeps the header's refusal.
        opened.sound = openSoundFile(std::move(opened.file));
        if (opened.sound)
            opened.result = HeaderResult::Ok;
    }
    if (opened.result != HeaderResult::Ok)
        opened.file.reset();
    return opened;
}

std::chrono::milliseconds messageLength(const QString& path) {
    const OpenedMessage opened = openMessageFile(path);
    if (opened.result != HeaderResult::Ok)
        return std::chrono::milliseconds{0};
    // A file that is not RIFF has no header fields: libsndfile tells its frames and rate.
    const std::uint64_t frames = opened.sound ? opened.sound->frames()
                                 : opened.format.blockAlign
                                     ? opened.dataBytes / opened.format.blockAlign
                                     : 0;
    const std::uint64_t rate = opened.sound ? opened.sound->rate() : opened.format.samplesPerSecond;
    if (rate == 0)
        return std::chrono::milliseconds{0};
    // A stream of unknown length may claim any count; no message plays longer than this.
    constexpr std::uint64_t kMsPerSecond = 1000;
    constexpr std::uint64_t kLongestMs =
        std::uint64_t{kMaxPlayableBytes} * kMsPerSecond / kMessageFormat.bytesPerSecond;
    return std::chrono::milliseconds{static_cast<std::int64_t>(
        std::min(double(frames) * kMsPerSecond / double(rate), double(kLongestMs)))};
}

std::optional<MessageBoxText> headerFailureMessage(HeaderResult result) {
    switch (result) {
    case HeaderResult::Ok:
        return std::nullopt;
    case HeaderResult::CannotOpen:
        return kCouldNotOpenFile;
    case HeaderResult::NotRiff:
        return kNotRiffFile;
    case HeaderResult::NotWave:
        return kNotWaveFile;
    case HeaderResult::FmtIncorrect:
    case HeaderResult::Incomplete:
        return kFmtIncorrect;
    case HeaderResult::UnplayableFormat:
        return kUnplayableFormat;
    }
    return kFmtIncorrect;
}

bool isDeviceFormat(const WaveFileFormat& format) {
    return format.encoding == kPcmTag && format.channels == kMessageFormat.channels &&
           format.samplesPerSecond == kDeviceRate &&
           format.blockAlign == kMessageFormat.blockAlign &&
           format.bitsPerSample == kMessageFormat.bitsPerSample;
}

bool isPlayable(const WaveFileFormat& format) {
    if (format.channels == 0 || format.blockAlign % format.channels != 0 ||
        format.samplesPerSecond < kLowestRate || format.samplesPerSecond > kHighestRate)
        return false;
    const unsigned containerBits = 8U * format.blockAlign / format.channels;
    switch (format.encoding) {
    case kPcmTag:
        // Samples narrower than their container (12 bits in 16) stand left-justified in it.
        return containerBits >= 8 && containerBits <= 32 && format.bitsPerSample <= containerBits &&
               format.bitsPerSample + 8U > containerBits;
    case kFloatTag:
        return (containerBits == 32 || containerBits == 64) &&
               format.bitsPerSample == containerBits;
    default:
        return false;
    }
}

QString describeFormat(const WaveFileFormat& format) {
    static const std::pair<std::uint16_t, const char*> kNames[] = {
        {kPcmTag, "PCM"},   {2, "ADPCM"},           {kFloatTag, "float"},
        {6, "A-law"},       {7, "mu-law"},          {0x11, "IMA ADPCM"},
        {0x31, "GSM 6.10"}, {0x55, "MPEG layer 3"}, {0x2000, "Dolby AC3"},
    };
    QString coding =
        QStringLiteral("format tag 0x%1").arg(format.encoding, 4, 16, QLatin1Char('0'));
    for (const auto& [tag, name] : kNames)
        if (tag == format.encoding)
            coding = QString::fromLatin1(name);
    return QStringLiteral("%1, %2 bits, %3 channel%4, %5 Hz")
        .arg(coding)
        .arg(format.bitsPerSample)
        .arg(format.channels)
        .arg(QLatin1String(format.channels == 1 ? "" : "s"))
        .arg(format.samplesPerSecond);
}
