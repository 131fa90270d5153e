#pragma once

#include "series.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <map>
#include <string>

class BenchWindow;

// What one thread used: CPU time, and the times it went to sleep and was woken again.
struct ThreadUse {
    double cpu = 0;
    double wakeUps = 0;
};

// One measurement of the program: each function drives the window as the operator does and
// returns when the keyer is idle again.

struct PlayFigures {
    double soundSeconds = 0;
    double wallSeconds = 0;
    double cpuMsPerSecond = 0; // process CPU per second of sound
    double firstBlockMs = 0;   // PLAY click to the first block handed to the device
    double firstSoundMs = 0;   // PLAY click to its first sample played by the sink
    int watchdogResets = 0;    // resets other than the one that ends the playback
    std::uint64_t underruns = 0;
    // Each thread's CPU (ms) and wake-ups per second of sound, up to shortly before the end of
    // the sound (the device's threads end with the playback).
    std::map<std::string, ThreadUse> threadsPerSecond;
};
// PLAY on the slot; the message plays to its end.
PlayFigures playMessage(BenchWindow& bench, int slot);

// From a start to the first block handed to ALSA, and to the first sample played by the sink: the
// device reports a block played when the sound server's reported delay shows its last frame out,
// so its first sample sounded one block's length before.
struct StartFigures {
    double firstBlockMs = 0;
    double firstSoundMs = 0;
};
// F-key of the slot (plays it at once); the message plays to its end.
StartFigures fKeyPlay(BenchWindow& bench, int slot);
// Play(slot) called on the session bus from a second connection, as a logger calls it.
StartFigures remotePlay(BenchWindow& bench, int slot);

// With Tx Enable on VOX and the given PTT lead and tail: key-down to the first block handed over
// and to its first sample played, and the last block reported played to key-up.
struct PttFigures {
    double keyDownToFirstBlockMs = 0;
    double keyDownToFirstSoundMs = 0;
    double lastSoundToKeyUpMs = 0;
};
PttFigures pttPlay(BenchWindow& bench, int slot, std::chrono::milliseconds lead,
                   std::chrono::milliseconds tail);

// With COM3 a pseudo-terminal that passes for a serial port with modem lines, keyed by PLAY on the
// slot, and Output > Operator's PTT on CTS: CTS is raised after `after`, and the figure is the
// milliseconds from the raise until DTR and RTS fall. The port's driver waits for the line in the
// kernel, or cannot and is polled.
double operatorPttToUnkeyMs(BenchWindow& bench, int slot, std::chrono::milliseconds after,
                            bool kernelWaits);

// Writes a phrase for every letter and digit and for "slash" into folder/phrases: a 350 ms tone
// between 50 ms of silence, in Tavrin's format.
void writePhrases(const QString& folder);
// A call sign, a portable suffix and a report with a serial number, 20 tokens spelled: the
// milliseconds until the exchange is joined and written, ready to be played.
double exchangeReadyMs(const QString& folder);

// PLAY on the slot, STOP after `after`: milliseconds from the STOP click until the device has
// been reset.
double stopToResetMs(BenchWindow& bench, int slot, std::chrono::milliseconds after);

struct RecordFigures {
    double soundSeconds = 0;
    double cpuMsPerSecond = 0;
    std::uint64_t overruns = 0;
};
// REC into the slot, STOP after `length`.
RecordFigures recordMessage(BenchWindow& bench, int slot, std::chrono::milliseconds length);

// Process CPU per second over `length` with the keyer idle; counts the alarm's bells.
double idleCpuMsPerSecond(BenchWindow& bench, std::chrono::milliseconds length, int& bells);

// Process CPU per second, over `length`, of a bare window shaped like the bench's, woken as often
// as the keyer is woken by a block of sound: the least that a window showing the progress pays.
// With moveBar it moves a bar like the keyer's one step each time; without, it only wakes.
double tickingWindowCpuMsPerSecond(BenchWindow& bench, std::chrono::milliseconds length,
                                   bool moveBar);

struct LoopFigures {
    Series soundEndToIdleMs; // last buffer done to KeyerIdle 1, per repetition
    Series pauseSeconds;     // KeyerIdle 1 to the next repetition's first block
};
// Loop Delay "1 sec", LOOP and PLAY on the slot; the message repeats `repetitions` times, then RST
// and LOOP end it.
LoopFigures loopMessage(BenchWindow& bench, int slot, int repetitions);

// Runs the event loop for the given time, as the program's own main loop would.
void runEventLoop(std::chrono::milliseconds length);

// What each thread of this process has used so far: the main thread as "main", the others by
// name and id. Threads that have ended are not listed.
std::map<std::string, ThreadUse> threadUse();
