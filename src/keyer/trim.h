#pragma once

#include "keyer/messageedit.h"

#include <QString>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

// Dead air at the start of a message keeps the transmitter keyed on nothing, and at its end holds
// the key for the PTT tail on top of it: after a recording or an import the silence before the
// first sound and after the last is cut to a margin. The message as recorded is kept beside it,
// so the cut can be undone.

// How much silence a trimmed message keeps at either end; none when messages stay as recorded.
using TrimMargin = std::optional<std::chrono::milliseconds>;
inline constexpr std::chrono::milliseconds kDefaultTrimMargin{150};
inline constexpr std::chrono::milliseconds kLongestTrimMargin{1000};

// The samples [begin, end) that hold sound, with the margin around them.
struct SampleSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    double level = 0; // the RMS level a window had to pass to count as sound
};

// Where the sound in samples lies. Sound is measured in windows of a hundredth of a second against
// the recording's own noise floor (its quietest windows), so a quiet first syllable over a quiet
// room stays, and a constant hum or tone is all sound. Nothing when no window rises above the
// floor or above a level no microphone's speech stays under.
std::optional<SampleSpan> findSound(const std::int16_t* samples, std::size_t count, int rate,
                                    std::chrono::milliseconds margin);

enum class TrimResult {
    Trimmed,      // the message lost silence at an end; the one recorded is kept beside it
    Whole,        // nothing to cut; no copy is kept
    OnlySilence,  // no sound found: the message is left as it is, never emptied
    NotTrimmable, // no 16-bit mono message file of Tavrin's rate, or longer than is trimmed
    Failed,       // a write failed; written says why, and the message is as it was
};

struct TrimOutcome {
    TrimResult result = TrimResult::NotTrimmable;
    std::uint32_t dataBytes = 0; // the sample bytes the message holds afterwards
    FileStatus written;
};

// Trims the message file at path to margin. Every file is replaced whole and synced, so a crash
// leaves the old message or the new one.
TrimOutcome trimMessage(const QString& path, std::chrono::milliseconds margin);
