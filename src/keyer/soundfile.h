#pragma once

#include "keyer/messagefile.h"
#include "keyer/monosource.h"
#include "support/notice.h"

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
// or its rate is out of range, why (when given) then saying why.
std::unique_ptr<MonoSource> openSoundFile(FileHandle file, Notice* why = nullptr);

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

    // How many samples the result holds when the source says how long it is.
    std::uint64_t samples() const { return samples_; }
    // The source said how long it is; a cut Ogg file, for one, does not.
    bool lengthKnown() const { return lengthKnown_; }
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
    bool lengthKnown_ = true;
    std::uint64_t framesLeft_ = 0;
    std::uint64_t samplesLeft_ = 0;
    std::vector<float> mono_;
    std::vector<float> converted_;
    std::int16_t last_ = 0;
    bool clipped_ = false;
};

enum class SoundFileKind { Wav, Flac };

// FLAC for a name ending in ".flac" (any case), WAV for any other.
SoundFileKind soundFileKindFor(const QString& path);

struct sf_private_tag; // libsndfile's handle

// Writes device samples into an open file, from its start, as a 16-bit mono 11025 Hz file of the
// given kind. The descriptor stays the caller's.
class SoundFileWriter {
public:
    SoundFileWriter(int fd, SoundFileKind kind);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // False once anything failed.
    bool write(const std::vector<std::int16_t>& samples);
    // Writes what the file's kind keeps to the end: the sizes in a WAV header, the closing data
    // of a FLAC stream. False when it or anything before failed.
    bool finish();
    // Why it failed: the system's reason, or libsndfile's.
    const QString& reason() const { return reason_; }

private:
    bool fail();

    struct Closer {
        void operator()(sf_private_tag* sound) const;
    };
    std::unique_ptr<sf_private_tag, Closer> sound_;
    QString reason_;
};
