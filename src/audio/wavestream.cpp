#include "audio/wavestream.h"

#include <utility>

namespace {

bool has(const WaveHeader& header, std::uint32_t flag) {
    return (header.flags.load(std::memory_order_acquire) & flag) != 0;
}

} // namespace

void CompletionNotifier::set(std::function<void()> notify) {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = std::move(notify);
}

void CompletionNotifier::operator()() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (notify_)
        notify_();
}

int WaveServiceBase::open(Direction direction, Handle& handle, int device,
                          const WaveFormat& format) {
    int result = waveresult::Error;
    auto opened = openStream(direction, device, format, notify_, result);
    if (!opened)
        return result == waveresult::Ok ? waveresult::Error : result;
    handle = nextHandle_++;
    streams_.emplace(handle, std::move(opened));
    return waveresult::Ok;
}

void WaveServiceBase::setCompletionNotifier(std::function<void()> notifier) {
    notify_->set(std::move(notifier));
}

WaveStream* WaveServiceBase::stream(Handle handle) const {
    const auto it = streams_.find(handle);
    return it == streams_.end() ? nullptr : it->second.get();
}

int WaveServiceBase::queue(Handle handle, WaveHeader& header) {
    WaveStream* s = stream(handle);
    if (!s)
        return waveresult::InvalidHandle;
    if (has(header, WaveHeader::kInQueue))
        return waveresult::StillPlaying;
    if (!header.data || header.bufferLength == 0 || header.bufferLength % s->frameBytes() != 0)
        return waveresult::InvalidParam;
    s->queue(header);
    return waveresult::Ok;
}

int WaveServiceBase::start(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->start() : waveresult::InvalidHandle;
}

int WaveServiceBase::reset(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->reset() : waveresult::InvalidHandle;
}

std::string WaveServiceBase::problem(Handle handle) {
    WaveStream* s = stream(handle);
    return s ? s->problem() : std::string();
}

int WaveServiceBase::close(Handle handle) {
    const auto it = streams_.find(handle);
    if (it == streams_.end())
        return waveresult::InvalidHandle;
    if (it->second->hasQueued())
        return waveresult::StillPlaying;
    const int result = it->second->close();
    streams_.erase(it);
    return result;
}

void WaveServiceBase::closeAll() {
    for (auto& entry : streams_)
        entry.second->close();
    streams_.clear();
}
