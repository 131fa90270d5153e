#include "timedwaveservice.h"

#include <utility>

void TimedWaveService::clearMarks() {
    for (Ticks* ticks :
         {&firstQueue_, &lastQueue_, &lastResetDone_, &lastCompletion_, &firstCompletion_})
        ticks->store(0);
    queued_.store(0);
    resets_.store(0);
}

WaveResult TimedWaveService::queue(Handle handle, WaveHeader& header) {
    // The mark comes first: this is the moment the keyer hands the block over.
    if (queued_.fetch_add(1) == 0)
        mark(firstQueue_);
    mark(lastQueue_);
    return inner_.queue(handle, header);
}

WaveResult TimedWaveService::reset(Handle handle) {
    const WaveResult result = inner_.reset(handle);
    resets_.fetch_add(1);
    mark(lastResetDone_);
    return result;
}

void TimedWaveService::setCompletionNotifier(std::function<void()> notifier) {
    inner_.setCompletionNotifier([this, notifier = std::move(notifier)] {
        mark(lastCompletion_);
        if (firstCompletion_.load(std::memory_order_acquire) == 0)
            mark(firstCompletion_);
        if (notifier)
            notifier();
    });
}
