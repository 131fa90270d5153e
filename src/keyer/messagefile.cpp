#include "keyer/messagefile.h"

#include "support/littleendian.h"

#include <QFile>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

namespace {

constexpr std::uint32_t kRiffSizeBeyondData = 36; // header bytes after the RIFF size field
constexpr std::uint32_t kPlainFmtChunkBytes = 16;
constexpr std::int64_t kFactChunkBytes = 12; // id, size and 4 bytes of content
constexpr std::int64_t kDataChunkIdBytes = 4;
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

} // namespace

FileHandle openFile(const QString& path, const char* mode) {
    const bool writing = std::strchr(mode, 'w') != nullptr;
    // Opened without blocking and kept only when it is a regular file: a named pipe or a device
    // chosen as a message would otherwise hang the program in the open or in the first read.
    const int flags = (writing ? O_WRONLY | O_CREAT : O_RDONLY) | O_NONBLOCK | O_CLOEXEC;
    constexpr mode_t kCreateMode = 0666;
    const int fd = ::open(QFile::encodeName(path).constData(), flags, kCreateMode);
    if (fd < 0)
        return {};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
        (writing && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return {};
    }
    FileHandle file(::fdopen(fd, mode));
    if (!file)
        ::close(fd);
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
        return {HeaderResult::Incomplete};
    if (!in.tagIs("RIFF"))
        return {HeaderResult::NotRiff};
    in.u32(); // the RIFF size says nothing the data size does not
    if (!in.tagIs("WAVE"))
        return {HeaderResult::NotWave};
    if (!in.tagIs("fmt "))
        return {HeaderResult::FmtIncorrect};

    const std::uint32_t fmtBytes = in.u32();
    if (in.ok() && fmtBytes < kPlainFmtChunkBytes)
        return {HeaderResult::FmtIncorrect}; // cannot even hold the fields read next
    in.skip(kPlainFmtChunkBytes); // format tag, channels, rates, align and bits: not used
    if (fmtBytes != kPlainFmtChunkBytes) {
        in.skip(std::int64_t{fmtBytes} - kPlainFmtChunkBytes);
        in.skip(kFactChunkBytes);
    }
    in.skip(kDataChunkIdBytes);
    const std::uint32_t claimed = in.u32();
    if (!in.ok())
        return {HeaderResult::Incomplete};

    const auto held = static_cast<std::uint64_t>(in.bytesLeft());
    const auto dataBytes = std::min<std::uint64_t>({claimed, held, kMaxPlayableBytes});
    return {HeaderResult::Ok, static_cast<std::uint32_t>(dataBytes)};
}

OpenedMessage openMessageFile(const QString& path) {
    OpenedMessage opened;
    opened.file = openFile(path, "rb");
    if (!opened.file)
        return opened;
    const HeaderReading reading = readMessageHeader(opened.file.get());
    opened.result = reading.result;
    opened.dataBytes = reading.dataBytes;
    if (reading.result != HeaderResult::Ok)
        opened.file.reset();
    return opened;
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
    }
    return kFmtIncorrect;
}
