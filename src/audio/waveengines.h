#pragma once

#include "audio/wavedeviceerror.h"
#include "audio/waveenginehost.h"
#include "audio/waveinengine.h"
#include "audio/waveoutengine.h"

// Both wave engines and the error policy they share, wired together.
struct WaveEngines {
    WaveEngines(WaveService& service, Dialogs& dialogs, WaveEngineHost& host,
                const AudioDeviceSettings& settings)
        : policy(host), out(service, dialogs, host, policy, settings),
          in(service, dialogs, host, policy, settings) {
        policy.setInputEngine(&in);
    }
    WaveEngines(const WaveEngines&) = delete;
    WaveEngines& operator=(const WaveEngines&) = delete;

    WaveDeviceErrorPolicy policy;
    WaveOutEngine out;
    WaveInEngine in;
};
