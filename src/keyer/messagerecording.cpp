#include "keyer/messagerecording.h"

#include "audio/wavetypes.h"
#include "support/atomicfile.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>

#include <unistd.h>

namespace {
const QString kPartialSuffix = QStringLiteral(".part");

// The sizes in the header are 32-bit; the data size is also kept in a signed counter.
constexpr std::int32_t kLongestRecording = std::numeric_limits<std::int32_t>::max();

std::string encoded(const QString& path) {
    return QFile::encodeName(path).toStdString();
}
} // namespace

MessageRecording::MessageRecording(QString target)
    : target_(std::move(target)), partialPath_(target_ + kPartialSuffix) {}

MessageRecording::Start MessageRecording::start() {
    // A write-protected message stays as it is.
    if (replaceRefusal(encoded(target_)))
        file_ = openFile(partialPath_, "wb");
    if (!file_)
        return Start::CouldNotOpen;
    if (!writeMessageHeader(file_.get(), kMessageFormat, 0)) {
        failure_ = FileStatus::fromErrno();
        discard();
        return Start::CouldNotWrite;
    }
    return Start::Started;
}

MessageRecording::Append MessageRecording::append(const std::uint8_t* block, std::int32_t& bytes) {
    std::FILE* file = file_.get();
    const bool written =
        std::fwrite(block, 1, kWaveBufferBytes, file) == kWaveBufferBytes && std::fflush(file) == 0;
    if (!written) {
        failure_ = FileStatus::fromErrno();
        std::clearerr(file);
        const off_t whole = kMessageHeaderBytes + static_cast<off_t>(bytes);
        if (::ftruncate(::fileno(file), whole) == 0)
            std::fseek(file, 0, SEEK_END);
        return Append::Failed;
    }
    bytes += kWaveBufferBytes;
    if (!completeMessageHeader(file, static_cast<std::uint32_t>(bytes)) ||
        std::fseek(file, 0, SEEK_END) != 0) {
        failure_ = FileStatus::fromErrno();
        return Append::Failed;
    }
    return bytes > kLongestRecording - kWaveBufferBytes ? Append::Full : Append::Written;
}

bool MessageRecording::finish(std::int32_t bytes) {
    FileSystem& fs = posixFileSystem();
    const bool synced = completeMessageHeader(file_.get(), static_cast<std::uint32_t>(bytes)) &&
                        fs.sync(::fileno(file_.get()));
    FileStatus finished = synced ? FileStatus() : FileStatus::fromErrno();
    file_.reset();
    if (finished) {
        bool renamed = false;
        finished = putInPlace(fs, encoded(partialPath_), encoded(target_), renamed);
    }
    if (!finished)
        failure_ = finished;
    return finished.ok();
}

void MessageRecording::discard() {
    file_.reset();
    QFile::remove(partialPath_);
}
