#pragma once

#include "audio/waveengine.h"

// Plays 16-bit mono sound on the selected output device (the transmitter's, or the monitor's) with
// two buffers in flight; each device call returns its status.
class WaveOutEngine : public WaveEngine {
public:
    WaveOutEngine(WaveService& service, const AudioDevices& devices,
                  SoundCard card = SoundCard::Output);

    void prepareOutput();
    // Checks the format on the selected device unless it took the format before, then opens it.
    WaveStatus openOutput();
    // Whether the selected output device can play the format now, and if not, why; always asks
    // the device.
    WaveResult queryOutput();
    WaveStatus resetOutput();
    WaveStatus closeOutput();
};
