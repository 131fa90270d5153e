#include "keyer/trim.h"

#include "keyer/messagefile.h"
#include "support/atomicfile.h"
#include "support/regularfile.h"

#include <QFile>
#include <QVarLengthArray>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kWindowsPerSecond = 100;
// Sound stands this far above the quietest tenth of the windows (+12 dB) ...
constexpr double kOverFloor = 4.0;
constexpr std::size_t kFloorShare = 10;
// ... unless that is within 20 dB of the loudest window, as in a message that is sound throughout.
constexpr double kUnderPeak = 0.1;
// Below -60 dBFS nothing counts as sound: the hiss of a microphone input with nothing on it.
constexpr double kSilentRms = 32.768;
// Trimming reads the whole message; a longer one is left as it is.
constexpr qint64 kLongestTrimmedBytes = qint64{10} * 60 * kMessageFormat.bytesPerSecond;
const QString kUntrimmedSuffix = QStringLiteral(".untrimmed");

// The 44-byte header recording writes, for dataBytes of samples.
QByteArray messageHeader(std::uint32_t dataBytes) {
    char* buffer = nullptr;
    std::size_t size = 0;
    {
        FileHandle stream(open_memstream(&buffer, &size));
        if (!stream || !writeMessageHeader(stream.get(), kMessageFormat, dataBytes))
            return {};
    }
    QByteArray header(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    return header;
}

} // namespace

std::optional<SampleSpan> findSound(const std::int16_t* samples, std::size_t count, int rate,
                                    std::chrono::milliseconds margin) {
    const std::size_t window = std::max(1, rate / kWindowsPerSecond);
    std::vector<double> levels;
    for (std::size_t start = 0; start < count; start += window) {
        const std::size_t end = std::min(count, start + window);
        double power = 0;
        for (std::size_t i = start; i < end; ++i)
            power += double(samples[i]) * samples[i];
        levels.push_back(std::sqrt(power / double(end - start)));
    }
    if (levels.empty())
        return std::nullopt;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double floor = sorted[sorted.size() / kFloorShare];
    const double threshold =
        std::max(kSilentRms, std::min(floor * kOverFloor, sorted.back() * kUnderPeak));
    const auto loud = [threshold](double level) { return level > threshold; };
    const auto first = std::find_if(levels.begin(), levels.end(), loud);
    if (first == levels.end())
        return std::nullopt;
    const auto last = std::find_if(levels.rbegin(), levels.rend(), loud);
    const std::size_t kept = static_cast<std::size_t>(margin.count()) * rate / 1000;
    const std::size_t begin = std::size_t(first - levels.begin()) * window;
    const std::size_t end = std::size_t(levels.rend() - last) * window;
    return SampleSpan{begin > kept ? begin - kept : 0, std::min(count, end + kept)};
}

QString untrimmedPath(const QString& path) {
    return path + kUntrimmedSuffix;
}

TrimOutcome trimMessage(const QString& path, std::chrono::milliseconds margin) {
    // Whatever was kept belongs to the message this one replaced.
    forgetUntrimmed(path);
    FileRead read = readRegularFile(path, kLongestTrimmedBytes + 1);
    if (read.status != FileRead::Status::Read || read.bytes.size() > kLongestTrimmedBytes)
        return {};
    HeaderReading header;
    long offset = 0;
    {
        FileHandle stream(
            fmemopen(read.bytes.data(), static_cast<std::size_t>(read.bytes.size()), "rb"));
        if (!stream)
            return {};
        header = readMessageHeader(stream.get());
        offset = std::ftell(stream.get());
    }
    if (header.result != HeaderResult::Ok || !isDeviceFormat(header.format))
        return {};
    // Its storage is never null, not even for a recording of no samples: the bulk conversion
    // must not be handed a null pointer.
    QVarLengthArray<std::int16_t> samples(qsizetype(header.dataBytes / kBytesPerSample));
    qFromLittleEndian<std::int16_t>(read.bytes.constData() + offset, qsizetype(samples.size()),
                                    samples.data());
    const auto sound = findSound(samples.data(), std::size_t(samples.size()),
                                 int(kMessageFormat.samplesPerSecond), margin);
    if (!sound)
        return {TrimResult::OnlySilence, header.dataBytes};
    if (sound->begin == 0 && sound->end == std::size_t(samples.size()))
        return {TrimResult::Whole, header.dataBytes};
    const QByteArray kept =
        read.bytes.mid(offset + qsizetype(sound->begin * std::size_t{kBytesPerSample}),
                       qsizetype((sound->end - sound->begin) * std::size_t{kBytesPerSample}));
    const QByteArray start = messageHeader(static_cast<std::uint32_t>(kept.size()));
    if (start.isEmpty() || !writeFileAtomically(untrimmedPath(path), read.bytes))
        return {TrimResult::Failed, header.dataBytes, errno};
    if (!writeFileAtomically(path, start + kept)) {
        const int error = errno;
        forgetUntrimmed(path);
        return {TrimResult::Failed, header.dataBytes, error};
    }
    return {TrimResult::Trimmed, static_cast<std::uint32_t>(kept.size())};
}

bool restoreUntrimmed(const QString& path) {
    const FileRead kept = readRegularFile(untrimmedPath(path), kLongestTrimmedBytes + 1);
    if (kept.status != FileRead::Status::Read || kept.bytes.size() > kLongestTrimmedBytes) {
        errno = kept.status == FileRead::Status::Failed ? kept.error : ENOENT;
        return false;
    }
    if (!writeFileAtomically(path, kept.bytes))
        return false;
    forgetUntrimmed(path);
    return true;
}

void forgetUntrimmed(const QString& path) {
    QFile::remove(untrimmedPath(path));
}
