#pragma once

#include "audio/audiodevicesettings.h"
#include "audio/waveengine.h"

// Records the keyer's sound from the chosen input device with two buffers in flight. The
// recording loop calls the operations in a fixed order: set up, open, rearm, prepare and add
// buffer a, start; then for each buffer rearm, prepare and add the other, wait, unprepare and
// store; at the end reset and close.
class WaveInEngine final : public WaveEngine {
public:
    WaveInEngine(WaveService& service, Dialogs& dialogs, WaveEngineHost& host,
                 WaveDeviceErrorPolicy& policy, const AudioDeviceSettings& settings);

    void SetupWaveIn();
    // Reports a device that cannot record the format, then opens it all the same.
    void OpenWaveIn();
    // True when the chosen device can NOT record the format. Opens nothing, reports nothing.
    bool QueryWaveIn() const;

    void RearmInHeaderA() { rearm(WaveBuffer::A); }
    void RearmInHeaderB() { rearm(WaveBuffer::B); }
    void PrepareInHeaderA() { prepare(WaveBuffer::A); }
    void PrepareInHeaderB() { prepare(WaveBuffer::B); }
    void AddInBufferA() { queue(WaveBuffer::A); }
    void AddInBufferB() { queue(WaveBuffer::B); }
    void StartWaveIn();
    // Returns when the buffer is full, a stop is requested, or the watchdog has fired (then the
    // device is reset and started again first). Events are handled meanwhile.
    void WaitInHeaderA() { wait(WaveBuffer::A); }
    void WaitInHeaderB() { wait(WaveBuffer::B); }
    void ResetWaveIn() { reset(); }
    void UnprepareInHeaderA() { unprepare(WaveBuffer::A); }
    void UnprepareInHeaderB() { unprepare(WaveBuffer::B); }
    void CloseWaveIn() { close(); }

    const char* InBlockA() const { return block(WaveBuffer::A); }
    const char* InBlockB() const { return block(WaveBuffer::B); }

private:
    void onWatchdog() override;

    const AudioDeviceSettings& settings_;
};
