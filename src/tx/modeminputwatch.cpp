#include "tx/modeminputwatch.h"

#include <cerrno>
#include <csignal>

#include <pthread.h>
#include <sys/ioctl.h>

namespace {

// Wakes a thread out of TIOCMIWAIT, which no timeout ends. The handler does nothing: the
// interrupted call returns EINTR, and the thread looks at its stop flag.
int wakeSignal() {
    static const int number = [] {
        const int chosen = SIGRTMIN + 3;
        struct sigaction action {};
        action.sa_handler = [](int) {};
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0; // no SA_RESTART: the wait must end
        ::sigaction(chosen, &action, nullptr);
        return chosen;
    }();
    return number;
}

// A signal sent just before the thread enters its wait is lost; it is sent again this often
// until the thread has ended.
constexpr std::chrono::milliseconds kWakeRepeat{2};

int maskOf(ModemInput input) {
    return input == ModemInput::Cts ? TIOCM_CTS : TIOCM_DSR;
}

} // namespace

ModemInputWatch::ModemInputWatch(int fd, ModemInput input, std::function<void(InputChange)> changed)
    : fd_(fd), mask_(maskOf(input)), changed_(std::move(changed)) {
    wakeSignal();
    thread_ = std::thread([this] { run(); });
}

ModemInputWatch::~ModemInputWatch() {
    stopping_ = true;
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.notify_all();
    do
        ::pthread_kill(thread_.native_handle(), wakeSignal());
    while (!wake_.wait_for(lock, kWakeRepeat, [this] { return finished_; }));
    lock.unlock();
    thread_.join();
}

void ModemInputWatch::run() {
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, wakeSignal());
    ::pthread_sigmask(SIG_UNBLOCK, &wake, nullptr);

    int lines = 0;
    bool asserted = false;
    Woken woken = Woken::First;
    while (!stopping_) {
        if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
            changed_({InputChange::Kind::Unwatchable, errno});
            break;
        }
        const bool now = (lines & mask_) != 0;
        // The kernel's wait counts from its own start: a press between the look and the wait
        // wakes it only as it ends, and the look then finds the line as it was.
        if (woken == Woken::Changed && now == asserted && !now)
            changed_({InputChange::Kind::Asserted});
        if (woken != Woken::First && now != asserted)
            changed_({now ? InputChange::Kind::Asserted : InputChange::Kind::Released});
        asserted = now;
        woken = awaitChange();
        if (woken == Woken::Stopping)
            break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    wake_.notify_all();
}

ModemInputWatch::Woken ModemInputWatch::awaitChange() {
    if (kernelWaits_) {
        const int waited = ::ioctl(fd_, TIOCMIWAIT, mask_);
        if (stopping_)
            return Woken::Stopping;
        if (waited == 0)
            return Woken::Changed;
        if (errno == EINTR)
            return Woken::Looking;
        // A driver without the wait refuses it; a port unplugged refuses it at once, every time,
        // and is told by the next look, which fails as well.
        kernelWaits_ = false;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    wake_.wait_for(lock, kPollInterval, [this] { return stopping_.load(); });
    return stopping_ ? Woken::Stopping : Woken::Looking;
}
