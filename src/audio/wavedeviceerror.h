#pragma once

class WaveEngineHost;
class WaveInEngine;

// The common policy after a wave device failure has been reported: input failures after the
// input device was opened close it; any failure while a recording or playback runs ends the
// program once the running handler has returned.
class WaveDeviceErrorPolicy {
public:
    explicit WaveDeviceErrorPolicy(WaveEngineHost& host) : host_(host) {}

    void attachInput(WaveInEngine& in) { in_ = &in; }
    void WaveDeviceError(int code);

private:
    static constexpr int kFirstInputCode = 3;
    static constexpr int kLastInputCode = 25;

    WaveEngineHost& host_;
    WaveInEngine* in_ = nullptr;
};
