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
    // Whether the selected output device can play the format now, and if not, why; always asks
    // the device.
    WaveResult QueryWaveOut();
    WaveStatus ResetWaveOut();
    WaveStatus CloseWaveOut();
};
