#include "audio/waveengine.h"

#include "support/dialogs.h"
#include "audio/audiodevices.h"
#include "audio/wavedeviceerror.h"
#include "audio/waveenginehost.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

namespace {
const QString kTitle = QStringLiteral("Wave Device Message");
} // namespace

WaveEngine::WaveEngine(WaveService& service, WaveService::Direction direction,
                       const AudioDevices& devices, Dialogs& dialogs, WaveEngineHost& host,
                       WaveDeviceErrorPolicy& policy)
    : service_(service), direction_(direction), devices_(devices), dialogs_(dialogs), host_(host),
      policy_(policy) {
    // Allocated once for the whole run, so neither recording nor playback allocates.
    for (auto& block : blocks_)
        block = std::make_unique<std::uint8_t[]>(kSampleBlockBytes);
    // The device completes buffers on its own thread; waking the event dispatcher ends a wait
    // that sleeps in processEvents.
    service_.setCompletionNotifier(
        [dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread())] {
            if (dispatcher)
                dispatcher->wakeUp();
        });
}

WaveEngine::~WaveEngine() {
    if (handle_ != 0) {
        service_.reset(handle_);
        service_.close(handle_);
    }
}

int WaveEngine::device() const {
    return direction_ == WaveService::Direction::Output ? devices_.OutputDevice
                                                        : devices_.InputDevice;
}

void WaveEngine::bindHeaders(bool clearUser) {
    for (std::size_t i = 0; i < headers_.size(); ++i) {
        WaveHeader& header = headers_[i];
        header.data = blocks_[i].get();
        header.bufferLength = kWaveBufferBytes;
        header.flags.store(0);
        header.loops = 0;
        if (clearUser)
            header.user = 0;
    }
}

void WaveEngine::rearm(Half half) {
    WaveHeader& header = headers_[index(half)];
    header.data = blocks_[index(half)].get();
    header.bufferLength = kWaveBufferBytes;
    header.bytesRecorded.store(0);
    header.flags.store(0);
    header.loops = 0;
}

void WaveEngine::report(const QString& text, int code) {
    host_.deviceFailed();
    dialogs_.showMessage(text, kTitle);
    if (code >= 0)
        policy_.WaveDeviceError(code);
}

bool WaveEngine::succeeded(int result, const QString& text, int code) {
    if (result == 0)
        return true;
    report(text, code);
    return false;
}

void WaveEngine::waitFor(Half half, const std::function<void()>& onTimeout) {
    const WaveHeader& header = headers_[index(half)];
    for (;;) {
        if (header.done())
            return;
        // Sleeps until an event arrives or the device's thread wakes the dispatcher after
        // marking a buffer done; the flag is checked again before sleeping, so no wake is lost.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (host_.stopRequested())
            return;
        if (host_.bufferWaitTimedOut() && !host_.soundCardDialogVisible()) {
            onTimeout();
            return;
        }
    }
}
