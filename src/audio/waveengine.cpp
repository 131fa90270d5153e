#include "audio/waveengine.h"

#include <QMetaObject>
#include <QObject>

#include <memory>

WaveEngine::WaveEngine(WaveService& service, SoundCard card, const AudioDevices& devices)
    : service_(service), direction_(card == SoundCard::Input ? WaveService::Direction::Input
                                                             : WaveService::Direction::Output),
      card_(card), devices_(devices) {
    // Allocated once for the whole run, so neither recording nor playback allocates.
    for (auto& block : blocks_)
        block = std::make_unique<std::uint8_t[]>(kSampleBlockBytes);
}

WaveEngine::~WaveEngine() {
    // Once this returns the device's thread calls nothing of the receiver's any more.
    service_.setCompletionNotifier({});
    if (handle_ != 0) {
        service_.reset(handle_);
        service_.close(handle_);
    }
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

WaveStatus WaveEngine::queueBlock(Half half) {
    WaveHeader& header = headers_[index(half)];
    header.data = blocks_[index(half)].get();
    header.bufferLength = kWaveBufferBytes;
    header.bytesRecorded.store(0);
    header.flags.store(0);
    header.loops = 0;
    if (direction_ == WaveService::Direction::Output)
        return status(service_.queue(handle_, header), WaveSite::OutWrite,
                      translatable("WaveEngine", "Error writing to the output device "), half);
    return status(service_.queue(handle_, header), WaveSite::InAddBuffer,
                  translatable("WaveEngine", "Error in sending a buffer_"), half);
}

WaveResult WaveEngine::checkFormat() {
    return formatTakenBy_ == device() ? WaveResult::Ok : probeFormat();
}

WaveResult WaveEngine::probeFormat() {
    const WaveResult result = service_.query(direction_, device(), format_);
    if (result == WaveResult::Ok)
        formatTakenBy_ = device();
    else
        formatTakenBy_.reset();
    return result;
}

QString WaveEngine::deviceName() const {
    return QString::fromStdString(service_.productName(direction_, device()));
}

WaveStatus WaveEngine::openStatus(WaveResult result, WaveSite site, const Notice& text) const {
    if (result == WaveResult::Ok)
        return WaveStatus{};
    const std::string reason = service_.lastError(direction_);
    if (reason.empty())
        return WaveStatus{site, text};
    return WaveStatus{
        site, text + QStringLiteral(": %1: %2").arg(deviceName(), QString::fromStdString(reason))};
}

WaveStatus WaveEngine::status(WaveResult result, WaveSite site, const Notice& text) {
    return result == WaveResult::Ok ? WaveStatus{} : WaveStatus{site, text};
}

WaveStatus WaveEngine::status(WaveResult result, WaveSite site, const Notice& text, Half half) {
    if (result == WaveResult::Ok)
        return WaveStatus{};
    return WaveStatus{site, text + QString(QLatin1Char(half == Half::A ? 'a' : 'b'))};
}

void WaveEngine::reportCompletionsTo(QObject* receiver, std::function<void()> handler) {
    // A device completes a buffer about five times a second; one call waiting in the receiver's
    // queue covers every completion until it runs. The flag is cleared before the handler looks
    // at the buffers, so a completion after that look posts a call of its own.
    auto pending = std::make_shared<std::atomic<bool>>(false);
    service_.setCompletionNotifier([receiver, pending, handler = std::move(handler)] {
        if (pending->exchange(true))
            return;
        QMetaObject::invokeMethod(
            receiver,
            [pending, handler] {
                pending->store(false);
                handler();
            },
            Qt::QueuedConnection);
    });
}

WaveStatus WaveEngine::closeDevice(WaveSite site, const Notice& text) {
    WaveStatus closed = status(service_.close(handle_), site, text);
    if (closed.ok())
        handle_ = 0;
    return closed;
}
