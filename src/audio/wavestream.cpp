#include "audio/wavestream.h"

#include <utility>

namespace {

// Done is the device's last access to a header, so InQueue and Done change in one step.
void markDone(WaveHeader& header) {
    uint32_t flags = header.flags.load(std::memory_order_relaxed);
    while (!header.flags.compare_exchange_weak(
        flags, (flags & ~WaveHeader::InQueue) | WaveHeader::Done, std::memory_order_acq_rel)) {
    }
}

bool has(const WaveHeader& header, uint32_t flag) {
    return header.flags.load(std::memory_order_acquire) & flag;
}

} // namespace

WaveStream::WaveStream(WaveDirection direction, const WaveFormat& format,
                       WaveService::Notifier onBufferDone)
    : direction_(direction), format_(format), onBufferDone_(std::move(onBufferDone)) {}

void WaveStream::queue(WaveHeader& header) {
    header.flags.fetch_and(~WaveHeader::Done, std::memory_order_relaxed);
    header.flags.fetch_or(WaveHeader::InQueue, std::memory_order_release);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(&header);
    }
    changed_.notify_all();
}

void WaveStream::completeFront() {
    WaveHeader* header = queue_.front();
    queue_.pop_front();
    markDone(*header);
    if (onBufferDone_)
        onBufferDone_();
}

void WaveStream::completeAll() {
    if (queue_.empty())
        return;
    while (!queue_.empty()) {
        markDone(*queue_.front());
        queue_.pop_front();
    }
    if (onBufferDone_)
        onBufferDone_();
}

int WaveServiceBase::open(WaveDirection direction, int device, const WaveFormat& format,
                          Notifier onBufferDone, WaveHandle& handle) {
    int result = waveresult::Error;
    auto opened = openStream(direction, device, format, std::move(onBufferDone), result);
    if (!opened)
        return result == waveresult::Ok ? waveresult::Error : result;
    handle = nextHandle_++;
    streams_.emplace(handle, std::move(opened));
    return waveresult::Ok;
}

WaveStream* WaveServiceBase::stream(WaveHandle handle) const {
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.get();
}

int WaveServiceBase::prepareHeader(WaveHandle handle, WaveHeader& header) {
    if (!stream(handle))
        return waveresult::InvalidHandle;
    if (has(header, WaveHeader::InQueue))
        return waveresult::StillPlaying;
    header.flags.fetch_or(WaveHeader::Prepared, std::memory_order_release);
    return waveresult::Ok;
}

int WaveServiceBase::queueBuffer(WaveHandle handle, WaveHeader& header) {
    WaveStream* s = stream(handle);
    if (!s)
        return waveresult::InvalidHandle;
    if (!has(header, WaveHeader::Prepared))
        return waveresult::Unprepared;
    if (has(header, WaveHeader::InQueue))
        return waveresult::StillPlaying;
    if (!header.data || header.length == 0 || header.length % s->frameBytes() != 0)
        return waveresult::InvalidParam;
    s->queue(header);
    return waveresult::Ok;
}

int WaveServiceBase::start(WaveHandle handle) {
    WaveStream* s = stream(handle);
    return s ? s->start() : waveresult::InvalidHandle;
}

int WaveServiceBase::reset(WaveHandle handle) {
    WaveStream* s = stream(handle);
    return s ? s->reset() : waveresult::InvalidHandle;
}

int WaveServiceBase::unprepareHeader(WaveHandle handle, WaveHeader& header) {
    if (!stream(handle))
        return waveresult::InvalidHandle;
    if (has(header, WaveHeader::InQueue))
        return waveresult::StillPlaying;
    header.flags.fetch_and(~WaveHeader::Prepared, std::memory_order_release);
    return waveresult::Ok;
}

int WaveServiceBase::close(WaveHandle handle) {
    const auto it = streams_.find(handle);
    if (it == streams_.end())
        return waveresult::InvalidHandle;
    const int result = it->second->close();
    streams_.erase(it);
    return result;
}

void WaveServiceBase::closeAll() {
    for (auto& entry : streams_)
        entry.second->close();
    streams_.clear();
}
