#include "audio/waveoutengine.h"

namespace {

const WaveEngine::Sites& outputSites() {
    static const WaveEngine::Sites sites{
        {{{"Error preparing the header_a", 29}, {"Error preparing the header_b", 29}}},
        {{{"Error writing to the output device a", 30},
          {"Error writing to the output device b", 30}}},
        {"Error Resetting the output wave device", 35},
        {{{"Error unpreparing the Header a", 36}, {"Error unpreparing the Header b", 36}}},
        {"Error closing the output wave device", 0},
    };
    return sites;
}

// The output open reports without applying the policy: the prepare and write calls that follow on
// the unopened device report their own failures.
const WaveFailureSite QuerySite{"Could not handle the output WAVE format", NoSiteCode};
const WaveFailureSite OpenSite{"Error Opening Output wave device", NoSiteCode};

} // namespace

WaveOutEngine::WaveOutEngine(WaveService& service, Dialogs& dialogs, WaveEngineHost& host,
                             WaveDeviceErrorPolicy& policy, const AudioDeviceSettings& settings)
    : WaveEngine(WaveDirection::Output, outputSites(), service, dialogs, host, policy),
      settings_(settings) {}

void WaveOutEngine::SetupWaveOut() {
    setup();
}

void WaveOutEngine::OpenWaveOut() {
    open(settings_.outputDevice, QuerySite, OpenSite, false);
}

bool WaveOutEngine::QueryWaveOut() const {
    return cannotUse(settings_.outputDevice);
}
