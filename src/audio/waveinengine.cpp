#include "audio/waveinengine.h"

namespace {

const WaveEngine::Sites& inputSites() {
    static const WaveEngine::Sites sites{
        {{{"Error preparing the header_a", 5}, {"Error preparing the header_b", 7}}},
        {{{"Error in sending a buffer_a", 6}, {"Error in sending a buffer_b", 8}}},
        {"Error Resetting the input wave device", 15},
        {{{"Error unpreparing the Header a", 16}, {"Error unpreparing the Header b", 17}}},
        {"Error closing the input wave device", 0},
    };
    return sites;
}

const WaveFailureSite QuerySite{"Could not open the input wave device", 1};
const WaveFailureSite OpenSite{"Error Opening Input wave device", 2};
const WaveFailureSite StartSite{"Error starting the input wave device", 9};

} // namespace

WaveInEngine::WaveInEngine(WaveService& service, Dialogs& dialogs, WaveEngineHost& host,
                           WaveDeviceErrorPolicy& policy, const AudioDeviceSettings& settings)
    : WaveEngine(WaveDirection::Input, inputSites(), service, dialogs, host, policy),
      settings_(settings) {}

void WaveInEngine::SetupWaveIn() {
    setup();
}

void WaveInEngine::OpenWaveIn() {
    open(settings_.inputDevice, QuerySite, OpenSite, true);
}

bool WaveInEngine::QueryWaveIn() const {
    return cannotUse(settings_.inputDevice);
}

void WaveInEngine::StartWaveIn() {
    start(StartSite);
}

void WaveInEngine::onWatchdog() {
    ResetWaveIn();
    StartWaveIn();
}
