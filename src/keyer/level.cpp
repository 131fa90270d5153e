#include "keyer/level.h"

#include "keyer/messageedit.h"
#include "keyer/messagefile.h"
#include "keyer/trim.h"

#include <QCoreApplication>

#include <ebur128.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace {

constexpr double kFullScale = 32768.0;
constexpr double kDecibelsPerDecade = 20.0; // of an amplitude
// Nearer than this a message is left as it is: no one hears the difference, and each pass through
// the rounding adds a little noise.
constexpr double kLevelToleranceDb = 0.1;
// Integrated loudness is gated in blocks of 400 ms: a shorter message holds none.
constexpr std::chrono::milliseconds kShortestMeasured{400};
constexpr int kReportDecimals = 1;

struct LoudnessMeterDeleter {
    void operator()(ebur128_state* meter) const { ebur128_destroy(&meter); }
};
using LoudnessMeter = std::unique_ptr<ebur128_state, LoudnessMeterDeleter>;

double toDecibels(double amplitude) {
    return kDecibelsPerDecade * std::log10(amplitude);
}

// The integrated loudness in LUFS, -inf when nothing rises above the absolute gate; nothing when
// the meter could not be made.
std::optional<double> loudnessOf(const QVarLengthArray<std::int16_t>& samples) {
    const LoudnessMeter meter(ebur128_init(1, kMessageFormat.samplesPerSecond, EBUR128_MODE_I));
    double lufs = 0;
    if (!meter ||
        ebur128_add_frames_short(meter.get(), samples.data(), std::size_t(samples.size())) !=
            EBUR128_SUCCESS ||
        ebur128_loudness_global(meter.get(), &lufs) != EBUR128_SUCCESS)
        return std::nullopt;
    return lufs;
}

QString decibels(double value) {
    return QString::number(value, 'f', kReportDecimals);
}

} // namespace

double amplitudeFactor(double gainDb) {
    return std::pow(10.0, gainDb / kDecibelsPerDecade);
}

std::int16_t scaledSample(std::int16_t sample, double factor) {
    return static_cast<std::int16_t>(std::clamp<long>(std::lround(sample * factor),
                                                      std::numeric_limits<std::int16_t>::min(),
                                                      std::numeric_limits<std::int16_t>::max()));
}

QString LevelTarget::caption(LevelMode asked) const {
    switch (asked) {
    case LevelMode::Off:
        break;
    case LevelMode::Peak:
        return QCoreApplication::translate("Level", "Peak %1 dBFS").arg(peakDbfs);
    case LevelMode::Loudness:
        return QCoreApplication::translate("Level", "Loudness %1 LUFS").arg(loudnessLufs);
    }
    return QCoreApplication::translate("Level", "Off");
}

QString LevelTarget::described() const {
    return mode == LevelMode::Loudness
               ? decibels(loudnessLufs) + QCoreApplication::translate("Level", " LUFS")
               : decibels(peakDbfs) + QCoreApplication::translate("Level", " dBFS peak");
}

LevelOutcome levelMessage(const QString& path, const LevelTarget& target) {
    const std::optional<EditableMessage> message = readEditableMessage(path);
    if (!message || target.mode == LevelMode::Off)
        return {};
    const auto& samples = message->samples;
    const int rate = int(kMessageFormat.samplesPerSecond);
    if (!findSound(samples.data(), std::size_t(samples.size()), rate, std::chrono::milliseconds{0}))
        return {LevelResult::OnlySilence};
    int peak = 0;
    for (const std::int16_t sample : samples)
        peak = std::max(peak, std::abs(int{sample}));
    const double peakDbfs = toDecibels(peak / kFullScale);
    double gainDb = target.peakDbfs - peakDbfs;
    bool held = false;
    if (target.mode == LevelMode::Loudness) {
        if (samples.size() < rate * kShortestMeasured / std::chrono::seconds{1})
            return {LevelResult::TooShortToMeasure};
        const std::optional<double> lufs = loudnessOf(samples);
        if (!lufs)
            return {LevelResult::Failed, 0, false, FileStatus::failed(ENOMEM)};
        if (!std::isfinite(*lufs))
            return {LevelResult::OnlySilence};
        const double headroomDb = kLoudnessPeakCeilingDbfs - peakDbfs;
        gainDb = target.loudnessLufs - *lufs;
        held = gainDb > headroomDb;
        gainDb = std::min(gainDb, headroomDb);
    }
    if (std::abs(gainDb) < kLevelToleranceDb)
        return {LevelResult::AlreadyAtLevel, gainDb, held};
    const double factor = amplitudeFactor(gainDb);
    std::vector<std::int16_t> result(std::size_t(samples.size()));
    std::transform(samples.begin(), samples.end(), result.begin(),
                   [factor](std::int16_t sample) { return scaledSample(sample, factor); });
    if (FileStatus written = replaceMessage(path, *message, result.data(), result.size()); !written)
        return {LevelResult::Failed, gainDb, held, written};
    return {LevelResult::Levelled, gainDb, held};
}

QString levelReport(int slot, const LevelTarget& target, const LevelOutcome& outcome) {
    const QString memory = QCoreApplication::translate("Level", "Memory %1").arg(slot);
    const QString ceiling =
        QCoreApplication::translate("Level", "%1 dBFS peak").arg(kLoudnessPeakCeilingDbfs);
    switch (outcome.result) {
    case LevelResult::Levelled:
        return QCoreApplication::translate("Level", "%1 levelled to %2: %3%4 dB")
                   .arg(memory, target.described(), outcome.gainDb > 0 ? "+" : "",
                        decibels(outcome.gainDb)) +
               (outcome.heldToPeak
                    ? QCoreApplication::translate("Level", " (held to %1)").arg(ceiling)
                    : QString());
    case LevelResult::AlreadyAtLevel:
        return outcome.heldToPeak
                   ? QCoreApplication::translate(
                         "Level", "%1 already reaches %2 and cannot come nearer to %3")
                         .arg(memory, ceiling, target.described())
                   : QCoreApplication::translate("Level", "%1 is already at %2")
                         .arg(memory, target.described());
    case LevelResult::OnlySilence:
        return memory +
               QCoreApplication::translate("Level", " holds only silence and was not levelled");
    case LevelResult::TooShortToMeasure:
        return memory + QCoreApplication::translate(
                            "Level", " is too short for its loudness to be measured (%1 ms at "
                                     "least) and was not levelled")
                            .arg(kShortestMeasured.count());
    case LevelResult::NotLevellable:
        return memory + QCoreApplication::translate(
                            "Level", " holds no 16-bit mono message of %1 Hz up to %2 minutes "
                                     "long, and was not levelled")
                            .arg(kMessageFormat.samplesPerSecond)
                            .arg(kLongestEditedMessage.count());
    case LevelResult::Failed:
        break;
    }
    return QCoreApplication::translate("Level", "Could not level memory %1: %2")
        .arg(slot)
        .arg(outcome.written.reason());
}
