#pragma once

#include <QString>

#include <chrono>
#include <optional>

class Dialogs;

// How long the transmitter is keyed around a message's sound: the lead runs from key-down to the
// first sample (a relay, an amplifier or a radio's own key-up would swallow the first syllable),
// the tail from the last sample heard to key-up (it keeps the end of the last word).
struct PttTiming {
    std::chrono::milliseconds lead{0};
    std::chrono::milliseconds tail{0};
};

inline constexpr std::chrono::milliseconds kMaxPttDelay{1000};
inline constexpr std::chrono::milliseconds kPttDelayStep{10};

// The delay brought into 0 .. kMaxPttDelay, to the nearest step.
std::chrono::milliseconds clampPttDelay(std::chrono::milliseconds delay);

// Asks for a delay in milliseconds, offering the one in force. The new delay on OK with a number
// in range (rounded to the step); nothing when cancelled, and a message for any other entry.
std::optional<std::chrono::milliseconds> askPttDelay(Dialogs& dialogs, const QString& caption,
                                                     std::chrono::milliseconds current);
