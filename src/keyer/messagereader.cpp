#include "keyer/messagereader.h"

#include "keyer/soundfile.h"
#include "support/littleendian.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr std::size_t kDeviceSampleBytes = kMessageFormat.blockAlign;

// One sample of a frame as a value in -1 … 1.
float decodeSample(const unsigned char* bytes, unsigned containerBytes, bool isFloat) {
    if (isFloat) {
        if (containerBytes == 4) {
            float value;
            std::memcpy(&value, bytes, sizeof value);
            return value;
        }
        double value;
        std::memcpy(&value, bytes, sizeof value);
        return static_cast<float>(value);
    }
    switch (containerBytes) {
    case 1:
        return (bytes[0] - 128) / 128.0F; // 8-bit samples are unsigned
    case 2:
        return static_cast<std::int16_t>(loadLe16(bytes)) / 32768.0F;
    case 3: {
        const std::uint32_t raw = bytes[0] << 8 | bytes[1] << 16 | std::uint32_t{bytes[2]} << 24;
        return static_cast<float>(static_cast<std::int32_t>(raw) / 2147483648.0);
    }
    default:
        return static_cast<float>(static_cast<std::int32_t>(loadLe32(bytes)) / 2147483648.0);
    }
}

// The data chunk of a PCM or float wave file, decoded and mixed down.
class WaveDataSource final : public MonoSource {
public:
    WaveDataSource(FileHandle file, const WaveFileFormat& format, std::uint32_t dataBytes)
        : file_(std::move(file)), format_(format), bytesLeft_(dataBytes) {}

    std::uint32_t rate() const override { return format_.samplesPerSecond; }
    std::uint64_t frames() const override { return bytesLeft_ / format_.blockAlign; }

    std::size_t read(float* out, std::size_t count) override {
        const std::size_t frameBytes = format_.blockAlign;
        const auto wanted =
            static_cast<std::size_t>(std::min<std::uint64_t>(bytesLeft_, count * frameBytes));
        raw_.resize(wanted);
        const std::size_t got = std::fread(raw_.data(), 1, wanted, file_.get());
        bytesLeft_ = got < wanted ? 0 : bytesLeft_ - got;
        const std::size_t frames = got / frameBytes;
        const unsigned containerBytes = format_.blockAlign / format_.channels;
        const bool isFloat = format_.encoding == kFloatTag;
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0;
            for (unsigned c = 0; c < format_.channels; ++c)
                sum += decodeSample(&raw_[f * frameBytes + c * containerBytes], containerBytes,
                                    isFloat);
            out[f] = sum / format_.channels;
        }
        return frames;
    }

private:
    FileHandle file_;
    WaveFileFormat format_;
    std::uint64_t bytesLeft_;
    std::vector<unsigned char> raw_;
};

} // namespace

MessageReader::MessageReader(OpenedMessage opened)
    : asStored_(!opened.sound && isDeviceFormat(opened.format)), inputBytesLeft_(opened.dataBytes) {
    constexpr std::uint64_t kMaxSamples = kMaxPlayableBytes / kDeviceSampleBytes;
    if (asStored_) {
        file_ = std::move(opened.file);
        playBytes_ = static_cast<std::uint32_t>(
            std::min<std::uint64_t>(opened.dataBytes / kDeviceSampleBytes, kMaxSamples) *
            kDeviceSampleBytes);
        return;
    }
    std::unique_ptr<MonoSource> source = std::move(opened.sound);
    if (!source && opened.file)
        source = std::make_unique<WaveDataSource>(std::move(opened.file), opened.format,
                                                  opened.dataBytes);
    if (!source)
        return;
    converter_ = std::make_unique<DeviceConverter>(std::move(source), ConverterQuality::Fast);
    playBytes_ = static_cast<std::uint32_t>(std::min(converter_->samples(), kMaxSamples) *
                                            kDeviceSampleBytes);
}

MessageReader::~MessageReader() = default;

std::size_t MessageReader::read(std::uint8_t* out, std::size_t bytes) {
    if (converter_)
        return readConverted(out, bytes);
    if (!file_)
        return 0;
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(bytes, inputBytesLeft_));
    const std::size_t got = std::fread(out, 1, wanted, file_.get());
    // A file cut while it plays ends the message with what it held.
    inputBytesLeft_ = got < wanted ? 0 : inputBytesLeft_ - got;
    handedOut_ += got;
    return got;
}

std::size_t MessageReader::readConverted(std::uint8_t* out, std::size_t bytes) {
    const std::size_t wanted = bytes / kDeviceSampleBytes;
    while (pending_.size() - cursor_ < wanted && converter_->convertMore(pending_)) {
    }
    const std::size_t count = std::min(wanted, pending_.size() - cursor_);
    for (std::size_t i = 0; i < count; ++i)
        storeLe16(out + i * kDeviceSampleBytes, static_cast<std::uint16_t>(pending_[cursor_ + i]));
    cursor_ += count;
    constexpr std::size_t kKept = kRewindableBytes / kDeviceSampleBytes;
    if (cursor_ > 2 * kKept) {
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(cursor_ - kKept));
        cursor_ = kKept;
    }
    return count * kDeviceSampleBytes;
}

bool MessageReader::unread(std::size_t bytes) {
    if (bytes > kRewindableBytes)
        return false;
    if (asStored_) {
        if (bytes > handedOut_ || fseeko(file_.get(), -static_cast<off_t>(bytes), SEEK_CUR) != 0)
            return false;
        handedOut_ -= bytes;
        inputBytesLeft_ += bytes;
        return true;
    }
    const std::size_t samples = bytes / kDeviceSampleBytes;
    if (samples > cursor_)
        return false;
    cursor_ -= samples;
    return true;
}
