#pragma once

#include "audio/waveengine.h"

struct AudioDevices;

// Records 16-bit mono sound from the selected input device with two buffers in flight, in the
// same way as the output engine plays.
class WaveInEngine : public WaveEngine {
public:
    WaveInEngine(WaveService& service, const AudioDevices& devices);

    void SetupWaveIn();
    // Checks the format on the selected device unless it took the format before; the recording
    // opens the device whatever it says.
    WaveStatus QueryInFormat();
    WaveStatus OpenWaveIn();
    // Non-zero (the service's result) when the selected input device can not record the format
    // now; always asks the device.
    int QueryWaveIn();
    WaveStatus StartWaveIn();
    WaveStatus ResetWaveIn();
    WaveStatus CloseWaveIn();
};
