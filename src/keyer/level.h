#pragma once

#include "support/filestatus.h"

#include <QString>

// Messages recorded at different distances from the microphone, or imported from anywhere, drive
// the transmitter unalike: the loudest overdrives the ALC and the quietest goes out weak. After a
// recording or an import (once its silence is trimmed), or on the operator's command, a message
// is scaled to one target: its peak, or its loudness as EBU R128 measures it. The message as
// recorded is kept beside it, as trimming keeps it, so that Undo puts the recording back.

enum class LevelMode { Off, Peak, Loudness };

inline constexpr double kDefaultPeakDbfs = -1.0;
inline constexpr double kLowestPeakDbfs = -20.0;
inline constexpr double kHighestPeakDbfs = 0.0;
inline constexpr double kDefaultLoudnessLufs = -16.0;
inline constexpr double kLowestLoudnessLufs = -40.0;
inline constexpr double kHighestLoudnessLufs = -5.0;
// Loudness is not reached by clipping: a message with sharp peaks stops short of its target.
inline constexpr double kLoudnessPeakCeilingDbfs = -1.0;

// What a message is levelled to. Both targets are kept whatever the mode, so that a choice made
// in the menu brings back the target last set.
struct LevelTarget {
    LevelMode mode = LevelMode::Off;
    double peakDbfs = kDefaultPeakDbfs;
    double loudnessLufs = kDefaultLoudnessLufs;

    bool operator==(const LevelTarget& other) const {
        return mode == other.mode && peakDbfs == other.peakDbfs &&
               loudnessLufs == other.loudnessLufs;
    }
    // The target in a menu's words, without decimals it does not need: "Peak -1 dBFS".
    QString caption(LevelMode asked) const;
    // The target in a report's words: "-1.0 dBFS peak", "-16.0 LUFS".
    QString described() const;
};

enum class LevelResult {
    Levelled,          // scaled by gainDb; the message as recorded is kept beside it
    AlreadyAtLevel,    // within a tenth of a dB of the target: the file is left untouched
    OnlySilence,       // no sound found: left as it is, never hiss lifted to full scale
    TooShortToMeasure, // shorter than one loudness measurement (400 ms): left as it is
    NotLevellable,     // no 16-bit mono message file of Tavrin's rate, or longer than is edited
    Failed,            // a write failed; written says why, and the message is as it was
};

struct LevelOutcome {
    LevelResult result = LevelResult::NotLevellable;
    double gainDb = 0;
    // The loudness target would have driven the peak past kLoudnessPeakCeilingDbfs: the gain
    // stopped there.
    bool heldToPeak = false;
    FileStatus written;
};

// Scales the message file at path to target (its mode Off leaves it as it is). Samples are
// rounded to the nearest and saturate at the limits of their range.
LevelOutcome levelMessage(const QString& path, const LevelTarget& target);

// What an amplitude is multiplied by for a gain in dB.
double amplitudeFactor(double gainDb);
// A sample multiplied by factor, rounded to the nearest and held within the sample range.
std::int16_t scaledSample(std::int16_t sample, double factor);

// What levelling slot's message to target came to, as one sentence for the operator: "Memory 3
// levelled to -1.0 dBFS peak: +6.2 dB."
QString levelReport(int slot, const LevelTarget& target, const LevelOutcome& outcome);
