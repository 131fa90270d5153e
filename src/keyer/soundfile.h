#pragma once

#include "keyer/messagefile.h"
#include "keyer/monosource.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// Sound files of every kind libsndfile reads and writes, and the conversion of any sound to the
// form the output device plays: 16-bit mono at 11025 Hz.

// The lowest and highest rates a sound may have: the converter takes at most a factor of 256
// either way.
inline constexpr std::uint32_t kLowestRate = 1000;
inline constexpr std::uint32_t kHighestRate = 768000;

// Opens the file behind an open handle through libsndfile; null when libsndfile cannot read it
// or its rate is out of range, reason (when given) then saying why.
std::unique_ptr<MonoSource> openSoundFile(FileHandle file, QString* reason = nullptr);

enum class ConverterQuality {
    Fast, // while playing: keeps up on any machine
    Best, // once, for a message that is kept
};

struct SampleRateConverter;

// Converts a source to device samples. The result lasts as long as the source says, to the
// nearest device sample (halves rounded up): frames × 11025 / rate.
class DeviceConverter {
public:
    DeviceConverter(std::unique_ptr<MonoSource> source, ConverterQuality quality);
    ~DeviceConverter();
    DeviceConverter(const DeviceConverter&) = delete;
    DeviceConverter& operator=(const DeviceConverter&) = delete;

    std::uint64_t samples() const { return samples_; }
    // Some sample was over full scale and was clipped to it.
    bool clipped() const { return clipped_; }
    // Appends the next converted piece to out; false once nothing more will come. A source that
    // ends early ends the result with what it held.
    bool convertMore(std::vector<std::int16_t>& out);

private:
    void append(std::vector<std::int16_t>& out, const float* samples, std::size_t count);

    std::unique_ptr<MonoSource> source_;
    std::unique_ptr<SampleRateConverter> converter_;
    std::uint64_t samples_ = 0;
    std::uint64_t framesLeft_ = 0;
    std::uint64_t samplesLeft_ = 0;
    std::vector<float> mono_;
    std::vector<float> converted_;
    std::int16_t last_ = 0;
    bool clipped_ = false;
};

struct ImportedSound {
    bool ok = false;
    QString reason; // why the file could not be read
    std::vector<std::int16_t> samples;
    bool clipped = false;
};

// Reads any sound file libsndfile reads and converts it, with the best converter, to device
// samples.
ImportedSound importSound(const QString& path);

enum class SoundFileKind { Wav, Flac };

// FLAC for a name ending in ".flac" (any case), WAV for any other.
SoundFileKind soundFileKindFor(const QString& path);

// Writes device samples as a 16-bit mono 11025 Hz file of the given kind, atomically: a
// temporary file beside path takes its place only once it is whole, so a failure leaves what
// was at path untouched. False on failure.
bool writeSoundFile(const QString& path, const std::vector<std::int16_t>& samples,
                    SoundFileKind kind);
