#include "audio/waveengine.h"

#include "app/dialogs.h"
#include "audio/wavedeviceerror.h"
#include "audio/waveenginehost.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

const QString WaveEngine::MessageTitle = QStringLiteral("Wave Device Message");

namespace {

// The device sets the done flag before it calls this, and a wake-up that comes while the loop is
// not asleep is kept for its next wait, so no completion is ever slept through.
WaveService::Notifier wakeThisThread() {
    QAbstractEventDispatcher* dispatcher =
        QAbstractEventDispatcher::instance(QThread::currentThread());
    return [dispatcher] {
        if (dispatcher)
            dispatcher->wakeUp();
    };
}

} // namespace

WaveEngine::WaveEngine(WaveDirection direction, const Sites& sites, WaveService& service,
                       Dialogs& dialogs, WaveEngineHost& host, WaveDeviceErrorPolicy& policy)
    : direction_(direction), sites_(sites), service_(service), dialogs_(dialogs), host_(host),
      policy_(policy), blocks_{std::vector<char>(wave::BlockBytes),
                               std::vector<char>(wave::BlockBytes)} {}

WaveEngine::~WaveEngine() {
    // The device must not outlive the blocks it reads or fills.
    if (isOpen())
        service_.close(handle_);
}

bool WaveEngine::succeeded(int result, const WaveFailureSite& site) {
    if (result == waveresult::Ok)
        return true;
    dialogs_.showMessage(QString::fromLatin1(site.text), MessageTitle);
    if (site.code != NoSiteCode)
        policy_.WaveDeviceError(site.code);
    return false;
}

void WaveEngine::bindHeader(WaveBuffer buffer) {
    WaveHeader& h = headers_[index(buffer)];
    h.data = block(buffer);
    h.length = wave::BufferBytes;
    h.flags.store(0, std::memory_order_release);
    h.loops = 0;
}

void WaveEngine::setup() {
    format_ = keyerWaveFormat();
    for (WaveBuffer buffer : {WaveBuffer::A, WaveBuffer::B}) {
        bindHeader(buffer);
        headers_[index(buffer)].user = 0;
    }
}

void WaveEngine::open(int device, const WaveFailureSite& query, const WaveFailureSite& opening,
                      bool openAnyway) {
    // A device left open by an earlier sequence is closed rather than forgotten: an open card
    // stays busy for every other program.
    if (isOpen()) {
        service_.close(handle_);
        handle_ = NoWaveHandle;
    }
    if (!succeeded(service_.queryFormat(direction_, device, format_), query) && !openAnyway)
        return;
    WaveHandle opened = NoWaveHandle;
    if (succeeded(service_.open(direction_, device, format_, wakeThisThread(), opened), opening))
        handle_ = opened;
}

bool WaveEngine::cannotUse(int device) const {
    return service_.queryFormat(direction_, device, format_) != waveresult::Ok;
}

void WaveEngine::rearm(WaveBuffer buffer) {
    bindHeader(buffer);
}

void WaveEngine::prepare(WaveBuffer buffer) {
    succeeded(service_.prepareHeader(handle_, headers_[index(buffer)]),
              sites_.prepare[index(buffer)]);
}

void WaveEngine::queue(WaveBuffer buffer) {
    succeeded(service_.queueBuffer(handle_, headers_[index(buffer)]), sites_.queue[index(buffer)]);
}

void WaveEngine::start(const WaveFailureSite& site) {
    succeeded(service_.start(handle_), site);
}

void WaveEngine::wait(WaveBuffer buffer) {
    const WaveHeader& h = header(buffer);
    for (;;) {
        if (h.isDone())
            return;
        // Sleeps until an event arrives or the device wakes the loop; handlers run here.
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        if (host_.stopRequested())
            return;
        if (host_.bufferWaitTimedOut() && !host_.soundCardDialogVisible()) {
            onWatchdog();
            return;
        }
    }
}

void WaveEngine::reset() {
    succeeded(service_.reset(handle_), sites_.reset);
}

void WaveEngine::unprepare(WaveBuffer buffer) {
    succeeded(service_.unprepareHeader(handle_, headers_[index(buffer)]),
              sites_.unprepare[index(buffer)]);
}

void WaveEngine::close() {
    const int result = service_.close(handle_);
    if (result == waveresult::Ok)
        handle_ = NoWaveHandle;
    succeeded(result, sites_.close);
}
