#include "tx/emergencyunkey.h"

#include <atomic>
#include <cerrno>

#include <sys/ioctl.h>
#include <unistd.h>

#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define TAVRIN_HAVE_PORT_IO 1
#endif

namespace {

// Two records: the next one is filled while the handler may still read the current one, then
// made current with one atomic store.
LineWrite records[2];
std::atomic<int> current{0};
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler reads it");

extern "C" void unkeyAndDie(int signalNumber) {
    const int savedErrno = errno;
    records[current.load()].perform();
    errno = savedErrno;
    // SA_RESETHAND has restored the default action: delivered again once this returns.
    (void)::raise(signalNumber);
}

} // namespace

void LineWrite::perform() const {
    switch (kind) {
    case Kind::IoctlInt: {
        int value = argument;
        (void)::ioctl(fd, request, &value);
        break;
    }
    case Kind::IoctlByte: {
        unsigned char value = static_cast<unsigned char>(argument);
        (void)::ioctl(fd, request, &value);
        break;
    }
    case Kind::Bytes:
        (void)!::write(fd, bytes, length);
        break;
    case Kind::PortByte:
#ifdef TAVRIN_HAVE_PORT_IO
        ::outb(static_cast<unsigned char>(argument), address);
#endif
        break;
    case Kind::None:
        break;
    }
}

void setEmergencyUnkey(const LineWrite& write) {
    const int next = 1 - current.load();
    records[next] = write;
    current.store(next);
}

FatalSignalUnkey::FatalSignalUnkey(std::initializer_list<int> caught) {
    for (int signalNumber : caught) {
        struct sigaction action {};
        action.sa_handler = unkeyAndDie;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        Previous previous{signalNumber, {}};
        if (::sigaction(signalNumber, &action, &previous.action) == 0)
            previous_.push_back(previous);
    }
}

FatalSignalUnkey::~FatalSignalUnkey() {
    for (const Previous& previous : previous_)
        ::sigaction(previous.signalNumber, &previous.action, nullptr);
}
