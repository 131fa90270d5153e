#pragma once

#include <chrono>
#include <optional>
#include <string>

// ALSA's own command-line player and recorder on the same device, for comparison: what an
// operator would otherwise script around a keying command.

struct ToolFigures {
    double cpuSeconds = 0;  // the child's user + system time
    double wallSeconds = 0; // start to exit
    // Start to the device set up, which the tool reports (-v) right before its first transfer.
    double startMs = -1;
    int xruns = 0;       // "underrun" or "overrun" reports on its standard error
    long residentKb = 0; // VmRSS while it runs
    double stopMs = -1;  // SIGINT to its exit, when it was stopped
};

// aplay -D <pcm> on the file; with stopAfter, SIGINT that long after the start.
ToolFigures runAplay(const std::string& pcm, const std::string& file,
                     std::optional<std::chrono::milliseconds> stopAfter = std::nullopt);

// The same at the keyer's pace: one 1048-frame period per keyer block, and a buffer asked for two
// periods (PulseAudio's plugin grants three), so that aplay wakes about as often as the keyer must.
ToolFigures runAplayInKeyerBlocks(const std::string& pcm, const std::string& file);

// arecord -D <pcm> of whole seconds of 16-bit mono at 11025 Hz into the file.
ToolFigures runArecord(const std::string& pcm, const std::string& file, int seconds);
