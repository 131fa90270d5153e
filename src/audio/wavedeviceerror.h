#pragma once

class WaveEngineHost;
class WaveInEngine;

// What follows every reported failure of either wave engine, by the site code of the call that
// failed: an input failure after the input device was opened (codes 3 to 25) closes the input
// device, and any failure while a recording or playback runs ends the application once the
// running handler has returned. Failures while idle or while cleaning up after a stop are only
// reported.
class WaveDeviceErrorPolicy {
public:
    static constexpr int FirstInputCode = 3;
    static constexpr int LastInputCode = 25;

    explicit WaveDeviceErrorPolicy(WaveEngineHost& host) : host_(host) {}

    void setInputEngine(WaveInEngine* input) { input_ = input; }

    void WaveDeviceError(int siteCode);

private:
    WaveEngineHost& host_;
    WaveInEngine* input_ = nullptr;
};
