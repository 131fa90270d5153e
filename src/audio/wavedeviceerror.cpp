#include "audio/wavedeviceerror.h"

#include "audio/waveenginehost.h"
#include "audio/waveinengine.h"

void WaveDeviceErrorPolicy::WaveDeviceError(int siteCode) {
    if (siteCode >= FirstInputCode && siteCode <= LastInputCode && input_)
        input_->CloseWaveIn();
    if (!host_.stopRequested())
        host_.requestTermination();
}
