#include "audio/waveservicebase.h"

#include <utility>

namespace {

bool has(const WaveHeader& header, std::uint32_t flag) {
    return (header.flags.load(std::memory_order_acquire) & flag) != 0;
}

} // namespace

WaveResult WaveServiceBase::open(Direction direction, Handle& handle, int device,
                                 const WaveFormat& format) {
    WaveResult result = WaveResult::Failed;
    auto opened = openStream(direction, device, format, notify_, result);
    if (!opened)
        return result == WaveResult::Ok ? WaveResult::Failed : result;
    handle = nextHandle_++;
    streams_.emplace(handle, std::move(opened));
    return WaveResult::Ok;
}

void WaveServiceBase::setCompletionNotifier(std::function<void()> notifier) {
    notify_->set(std::move(notifier));
}

WaveStream* WaveServiceBase::stream(Handle handle) const {
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.get();
}

WaveResult WaveServiceBase::queue(Handle handle, WaveHeader& header) {
    WaveStream* s = stream(handle);
    if (!s)
        return WaveResult::InvalidHandle;
    if (has(header, WaveHeader::kInQueue))
        return WaveResult::StillQueued;
    if (!header.data || header.bufferLength == 0 || header.bufferLength % s->frameBytes() != 0)
        return WaveResult::InvalidBuffer;
    s->queue(header);
    return WaveResult::Ok;
}

WaveResult WaveServiceBase::start(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->start() : WaveResult::InvalidHandle;
}

WaveResult WaveServiceBase::reset(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->reset() : WaveResult::InvalidHandle;
}

std::string WaveServiceBase::problem(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->problem() : std::string();
}

WaveResult WaveServiceBase::close(Handle handle) {
    const auto it = streams_.find(handle);
    if (it == streams_.end())
        return WaveResult::InvalidHandle;
    if (it->second->hasQueued())
        return WaveResult::StillQueued;
    const WaveResult result = it->second->close();
    streams_.erase(it);
    return result;
}

void WaveServiceBase::closeAll() {
    for (auto& entry : streams_)
        entry.second->close();
    streams_.clear();
}
