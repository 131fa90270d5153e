#pragma once

#include "audio/waveengine.h"

struct AudioDevices;

// Records 16-bit mono sound from the selected input device with two buffers in flight, in the
// same way as the output engine plays.
class WaveInEngine : public WaveEngine {
public:
    WaveInEngine(WaveService& service, const AudioDevices& devices, Dialogs& dialogs,
                 WaveEngineHost& host, WaveDeviceErrorPolicy& policy);

    void SetupWaveIn();
    void OpenWaveIn();
    // Non-zero (the service's result) when the selected input device can not record the format
    // now; nothing is reported.
    int QueryWaveIn();
    void RearmInHeader(Half half);
    void PrepareInHeader(Half half);
    void AddInBuffer(Half half);
    void StartWaveIn();
    void WaitInHeader(Half half);
    void ResetWaveIn();
    void UnprepareInHeader(Half half);
    void CloseWaveIn();
};
