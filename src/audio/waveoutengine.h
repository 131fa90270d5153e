#pragma once

#include "audio/audiodevicesettings.h"
#include "audio/waveengine.h"

// Plays the keyer's sound on the chosen output device with two buffers in flight. The playback
// loop calls the operations in a fixed order: set up, open, then for each buffer rearm, prepare,
// write, wait for the other, unprepare and refill; at the end reset and close.
class WaveOutEngine final : public WaveEngine {
public:
    WaveOutEngine(WaveService& service, Dialogs& dialogs, WaveEngineHost& host,
                  WaveDeviceErrorPolicy& policy, const AudioDeviceSettings& settings);

    void SetupWaveOut();
    // Opens the chosen device when it can play the format; otherwise says so and opens nothing.
    void OpenWaveOut();
    // True when the chosen device can NOT play the format. Opens nothing, reports nothing.
    bool QueryWaveOut() const;

    void RearmOutHeaderA() { rearm(WaveBuffer::A); }
    void RearmOutHeaderB() { rearm(WaveBuffer::B); }
    void PrepareOutHeaderA() { prepare(WaveBuffer::A); }
    void PrepareOutHeaderB() { prepare(WaveBuffer::B); }
    void WriteOutHeaderA() { queue(WaveBuffer::A); }
    void WriteOutHeaderB() { queue(WaveBuffer::B); }
    // Returns when the buffer has been played, a stop is requested, or the watchdog has fired
    // (then the device is reset first). Events are handled meanwhile.
    void WaitOutHeaderA() { wait(WaveBuffer::A); }
    void WaitOutHeaderB() { wait(WaveBuffer::B); }
    void ResetWaveOut() { reset(); }
    void UnprepareOutHeaderA() { unprepare(WaveBuffer::A); }
    void UnprepareOutHeaderB() { unprepare(WaveBuffer::B); }
    void CloseWaveOut() { close(); }

    char* OutBlockA() { return block(WaveBuffer::A); }
    char* OutBlockB() { return block(WaveBuffer::B); }

private:
    void onWatchdog() override { ResetWaveOut(); }

    const AudioDeviceSettings& settings_;
};
