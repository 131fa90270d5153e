#pragma once

#include "audio/waveengine.h"

struct AudioDevices;

// Records 16-bit mono sound from the selected input device with two buffers in flight, in the
// same way as the output engine plays.
class WaveInEngine : public WaveEngine {
public:
    WaveInEngine(WaveService& service, const AudioDevices& devices);

    void prepareInput();
    // Checks the format on the selected device unless it took the format before; the recording
    // opens the device whatever it says.
    WaveStatus queryInputFormat();
    WaveStatus openInput();
    // Whether the selected input device can record the format now, and if not, why; always asks
    // the device.
    WaveResult queryInput();
    WaveStatus startInput();
    WaveStatus resetInput();
    WaveStatus closeInput();
};
