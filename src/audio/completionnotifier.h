#pragma once

#include <functional>
#include <mutex>

// Tells the thread waiting for buffers that one is done. Shared by a service and its open
// devices, so that the service can change it while devices run.
class CompletionNotifier {
public:
    void set(std::function<void()> notify);
    void operator()() const;

private:
    mutable std::mutex mutex_;
    std::function<void()> notify_;
};
