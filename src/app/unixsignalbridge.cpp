#include "app/unixsignalbridge.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace {

std::atomic<int> signalPipe{-1};

extern "C" void forwardSignal(int signalNumber) {
    const int savedErrno = errno;
    const unsigned char number = static_cast<unsigned char>(signalNumber);
    // Non-blocking: with the pipe full the signal is dropped, but one already waiting in the
    // pipe starts the shutdown anyway.
    (void)::write(signalPipe.load(), &number, 1);
    errno = savedErrno;
}

} // namespace

UnixSignalBridge::UnixSignalBridge(std::initializer_list<int> caught, QObject* parent)
    : QObject(parent) {
    int fds[2];
    if (signalPipe.load() >= 0 || ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    readEnd_.reset(fds[0]);
    writeEnd_.reset(fds[1]);
    signalPipe.store(writeEnd_.get());

    notifier_ = new QSocketNotifier(readEnd_.get(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UnixSignalBridge::drain);

    active_ = true;
    for (int signalNumber : caught) {
        struct sigaction action {};
        action.sa_handler = forwardSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        Previous previous{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &previous.action) == 0)
            previous_.push_back(previous);
        else
            active_ = false;
    }
}

UnixSignalBridge::~UnixSignalBridge() {
    for (const Previous& previous : previous_)
        ::sigaction(previous.signalNumber, &previous.action, nullptr);
    if (writeEnd_)
        signalPipe.store(-1);
    delete notifier_; // before the descriptor it watches is closed
}

void UnixSignalBridge::drain() {
    unsigned char numbers[16];
    for (;;) {
        const ssize_t got = ::read(readEnd_.get(), numbers, sizeof numbers);
        if (got <= 0)
            return;
        for (ssize_t i = 0; i < got; ++i)
            emit signalReceived(numbers[i]);
    }
}
