#pragma once

#include "audio/waveengine.h"

struct AudioDevices;

// Plays 16-bit mono sound on the selected output device with two buffers in flight. The
// playback loop calls the operations in a fixed order; each failing device call is reported in
// a message box and, where it has a site code, goes through the common error policy.
class WaveOutEngine : public WaveEngine {
public:
    WaveOutEngine(WaveService& service, const AudioDevices& devices, Dialogs& dialogs,
                  WaveEngineHost& host, WaveDeviceErrorPolicy& policy);

    void SetupWaveOut();
    void OpenWaveOut();
    // Non-zero (the service's result) when the selected output device can not play the format
    // now; nothing is reported.
    int QueryWaveOut();
    void RearmOutHeader(Half half);
    void PrepareOutHeader(Half half);
    void WriteOutHeader(Half half);
    void WaitOutHeader(Half half);
    void ResetWaveOut();
    void UnprepareOutHeader(Half half);
    void CloseWaveOut();
};
