#pragma once

#include "tx/portio.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Watches one modem-status input of an open serial port on a thread of its own, and hands each
// change to a callback there. The kernel wakes the thread on a change (TIOCMIWAIT), so nothing
// runs while the line rests; a driver that cannot wait is asked for the line's level (TIOCMGET)
// every kPollInterval instead. The port must stay open until the watch is destroyed.
class ModemInputWatch {
public:
    // Far below the 20 ms in which a press must stop the keyer, and cheap on any adapter.
    static constexpr std::chrono::milliseconds kPollInterval{5};

    ModemInputWatch(int fd, ModemInput input, std::function<void(InputChange)> changed);
    // Returns once the thread has ended: a waiting thread is woken by a signal of its own.
    ~ModemInputWatch();
    ModemInputWatch(const ModemInputWatch&) = delete;
    ModemInputWatch& operator=(const ModemInputWatch&) = delete;

private:
    // Why the thread looks at the line: its first look, the kernel saw the line change, or it
    // may have changed (a poll, a signal).
    enum class Woken { First, Changed, Looking, Stopping };

    void run();
    // Blocks until the input may have changed, or the watch is to end.
    Woken awaitChange();

    const int fd_;
    const int mask_;
    const std::function<void(InputChange)> changed_;
    bool kernelWaits_ = true;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool finished_ = false;
    std::thread thread_;
};
