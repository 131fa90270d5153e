#include "keyer/soundfile.h"

#include "keyer/keyerlog.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr std::uint32_t kDeviceRate = kMessageFormat.samplesPerSecond;
// How many frames of the source are converted at a time.
constexpr std::size_t kConvertFrames = 4096;
// Room in the converter's output beyond what the ratio gives, for its rounding.
constexpr std::size_t kConvertedSlack = 64;
// More frames than any sound holds (a file of unknown length may claim any count); frames times
// a rate stays well inside 64 bits.
constexpr std::uint64_t kMostFrames = std::uint64_t{1} << 40;

std::FILE* fileOf(void* user) {
    return static_cast<std::FILE*>(user);
}

// libsndfile reads through the handle openFile gave, so that the checks made on opening (a
// regular file, no blocking) hold for it too.
sf_count_t lengthOf(void* user) {
    struct stat info {};
    return ::fstat(::fileno(fileOf(user)), &info) == 0 ? info.st_size : -1;
}
sf_count_t seekTo(sf_count_t offset, int whence, void* user) {
    return fseeko(fileOf(user), offset, whence) == 0 ? ftello(fileOf(user)) : -1;
}
sf_count_t readFrom(void* data, sf_count_t count, void* user) {
    return static_cast<sf_count_t>(
        std::fread(data, 1, static_cast<std::size_t>(count), fileOf(user)));
}
sf_count_t noWrite(const void*, sf_count_t, void*) {
    return 0;
}
sf_count_t positionOf(void* user) {
    return ftello(fileOf(user));
}
SF_VIRTUAL_IO readingIo{lengthOf, seekTo, readFrom, noWrite, positionOf};

struct SndfileCloser {
    void operator()(SNDFILE* sound) const { sf_close(sound); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

class SndfileSource final : public MonoSource {
public:
    SndfileSource(FileHandle file, SndfileHandle sound, const SF_INFO& info)
        : file_(std::move(file)), sound_(std::move(sound)), info_(info) {}

    std::uint32_t rate() const override { return static_cast<std::uint32_t>(info_.samplerate); }
    std::uint64_t frames() const override { return static_cast<std::uint64_t>(info_.frames); }

    std::size_t read(float* out, std::size_t count) override {
        const auto channels = static_cast<std::size_t>(info_.channels);
        interleaved_.resize(count * channels);
        const sf_count_t got =
            sf_readf_float(sound_.get(), interleaved_.data(), static_cast<sf_count_t>(count));
        const auto frames = static_cast<std::size_t>(std::max<sf_count_t>(got, 0));
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0;
            for (std::size_t c = 0; c < channels; ++c)
                sum += interleaved_[f * channels + c];
            out[f] = sum / static_cast<float>(channels);
        }
        return frames;
    }

private:
    // Declared first so that it outlives the libsndfile handle reading through it.
    FileHandle file_;
    SndfileHandle sound_;
    SF_INFO info_;
    std::vector<float> interleaved_;
};

// Over-range values stand at the limit of the sample range: never wrapped round to the other
// sign, which would sound as a crack.
std::int16_t toDeviceSample(float value, bool& clipped) {
    constexpr float kFullScale = 32768.0F;
    if (!std::isfinite(value))
        return 0;
    clipped = clipped || value > 1.0F || value < -1.0F;
    return static_cast<std::int16_t>(
        std::lrint(std::clamp(value * kFullScale, -kFullScale, kFullScale - 1)));
}

} // namespace

std::unique_ptr<MonoSource> openSoundFile(FileHandle file, Notice* why) {
    const auto fail = [why](const Notice& reason) -> std::unique_ptr<MonoSource> {
        if (why)
            *why = reason;
        return nullptr;
    };
    if (!file || fseeko(file.get(), 0, SEEK_SET) != 0)
        return fail(translatable("SoundFile", "the file cannot be read"));
    SF_INFO info{};
    SndfileHandle sound(sf_open_virtual(&readingIo, SFM_READ, &info, file.get()));
    if (!sound)
        return fail(QString::fromLocal8Bit(sf_strerror(nullptr)));
    const auto rate = static_cast<std::uint32_t>(std::max(info.samplerate, 0));
    if (info.channels < 1 || info.frames < 0)
        return fail(translatable("SoundFile", "it declares no sound that can be read."));
    if (rate < kLowestRate || rate > kHighestRate)
        return fail(translatable("SoundFile", "its sound is %1 Hz, outside the rates Tavrin "
                                              "converts (%2 to %3 Hz).")
                        .arg(info.samplerate)
                        .arg(kLowestRate)
                        .arg(kHighestRate));
    return std::make_unique<SndfileSource>(std::move(file), std::move(sound), info);
}

struct SampleRateConverter {
    struct Deleter {
        void operator()(SRC_STATE* state) const { src_delete(state); }
    };
    std::unique_ptr<SRC_STATE, Deleter> state;
    double ratio = 1.0;
};

DeviceConverter::DeviceConverter(std::unique_ptr<MonoSource> source, ConverterQuality quality)
    : source_(std::move(source)) {
    const std::uint32_t rate = std::clamp(source_->rate(), kLowestRate, kHighestRate);
    lengthKnown_ = source_->frames() < kMostFrames;
    framesLeft_ = std::min(source_->frames(), kMostFrames);
    samples_ = (framesLeft_ * kDeviceRate + rate / 2) / rate;
    samplesLeft_ = samples_;
    if (rate == kDeviceRate)
        return;
    int error = 0;
    converter_ = std::make_unique<SampleRateConverter>();
    converter_->state.reset(src_new(
        quality == ConverterQuality::Best ? SRC_SINC_BEST_QUALITY : SRC_SINC_FASTEST, 1, &error));
    converter_->ratio = static_cast<double>(kDeviceRate) / rate;
    if (!converter_->state) {
        // Without a converter nothing can be heard at the right speed: the result is empty.
        qCWarning(keyerLog, "Sample rate converter: %s", src_strerror(error));
        samples_ = samplesLeft_ = 0;
    }
}

DeviceConverter::~DeviceConverter() = default;

bool DeviceConverter::convertMore(std::vector<std::int16_t>& out) {
    if (samplesLeft_ == 0)
        return false;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(framesLeft_, kConvertFrames));
    mono_.resize(wanted);
    const std::size_t got = source_->read(mono_.data(), wanted);
    const bool cutShort = got < wanted;
    framesLeft_ = cutShort ? 0 : framesLeft_ - got;
    const bool lastInput = framesLeft_ == 0;

    if (!converter_) {
        append(out, mono_.data(), got);
    } else {
        SRC_DATA data{};
        data.src_ratio = converter_->ratio;
        data.end_of_input = lastInput ? 1 : 0;
        converted_.resize(static_cast<std::size_t>(kConvertFrames * data.src_ratio) +
                          kConvertedSlack);
        data.data_in = mono_.data();
        data.input_frames = static_cast<long>(got);
        do {
            data.data_out = converted_.data();
            data.output_frames = static_cast<long>(converted_.size());
            if (const int error = src_process(converter_->state.get(), &data)) {
                qCWarning(keyerLog, "Sample rate converter: %s", src_strerror(error));
                break;
            }
            append(out, converted_.data(), static_cast<std::size_t>(data.output_frames_gen));
            data.data_in += data.input_frames_used;
            data.input_frames -= data.input_frames_used;
        } while (samplesLeft_ > 0 && (data.input_frames > 0 || data.output_frames_gen > 0));
    }
    if (lastInput && !cutShort) {
        // The converter may stop a sample short of the length: the last sample is held over
        // that gap, which a step to silence would turn into a click.
        out.insert(out.end(), static_cast<std::size_t>(samplesLeft_), last_);
        samplesLeft_ = 0;
    }
    if (cutShort)
        samplesLeft_ = 0;
    return true;
}

void DeviceConverter::append(std::vector<std::int16_t>& out, const float* samples,
                             std::size_t count) {
    count = static_cast<std::size_t>(std::min<std::uint64_t>(count, samplesLeft_));
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(last_ = toDeviceSample(samples[i], clipped_));
    samplesLeft_ -= count;
}

SoundFileKind soundFileKindFor(const QString& path) {
    return path.endsWith(QLatin1String(".flac"), Qt::CaseInsensitive) ? SoundFileKind::Flac
                                                                      : SoundFileKind::Wav;
}

void SoundFileWriter::Closer::operator()(sf_private_tag* sound) const {
    sf_close(sound);
}

SoundFileWriter::SoundFileWriter(int fd, SoundFileKind kind) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(kDeviceRate);
    info.channels = kMessageFormat.channels;
    info.format = (kind == SoundFileKind::Flac ? SF_FORMAT_FLAC : SF_FORMAT_WAV) | SF_FORMAT_PCM_16;
    errno = 0;
    sound_.reset(sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE));
    if (!sound_)
        fail();
}

SoundFileWriter::~SoundFileWriter() = default;

bool SoundFileWriter::fail() {
    // libsndfile says only "System error" where the system said more.
    const int error = errno;
    if (reason_.isEmpty())
        reason_ = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                             : QString::fromLocal8Bit(sf_strerror(sound_.get()));
    return false;
}

bool SoundFileWriter::write(const std::vector<std::int16_t>& samples) {
    if (!sound_ || !reason_.isEmpty())
        return false;
    const auto count = static_cast<sf_count_t>(samples.size());
    errno = 0;
    return sf_writef_short(sound_.get(), samples.data(), count) == count || fail();
}

bool SoundFileWriter::finish() {
    if (!sound_)
        return false;
    errno = 0;
    const bool closed = sf_close(sound_.release()) == 0 || fail();
    return closed && reason_.isEmpty();
}
