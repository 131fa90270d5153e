#include "audio/completionnotifier.h"

#include <utility>

void CompletionNotifier::set(std::function<void()> notify) {
    std::lock_guard<std::mutex> lock(mutex_);
    notify_ = std::move(notify);
}

void CompletionNotifier::operator()() const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (notify_)
        notify_();
}
