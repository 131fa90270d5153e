#include "audio/wavedeviceerror.h"

#include "audio/waveenginehost.h"
#include "audio/wavein.h"

void WaveDeviceErrorPolicy::WaveDeviceError(int code) {
    if (code >= kFirstInputCode && code <= kLastInputCode && in_)
        in_->CloseWaveIn();
    if (!host_.stopRequested())
        host_.requestTermination();
}
