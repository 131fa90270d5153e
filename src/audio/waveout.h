#pragma once

#include "audio/waveengine.h"

struct AudioDevices;

// Plays 16-bit mono sound on the selected output device with two buffers in flight; each device
// call returns its status.
class WaveOutEngine : public WaveEngine {
public:
    WaveOutEngine(WaveService& service, const AudioDevices& devices);

    void SetupWaveOut();
    // Checks the format on the selected device unless it took the format before, then opens it.
    WaveStatus OpenWaveOut();
    // Non-zero (the service's result) when the selected output device can not play the format
    // now; always asks the device.
    int QueryWaveOut();
    WaveStatus ResetWaveOut();
    WaveStatus CloseWaveOut();
};
