#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

// One write that puts a keying line in a given state, made with async-signal-safe calls only,
// so that a fatal signal's handler can still leave the transmitter unkeyed.
struct LineWrite {
    enum class Kind { None, IoctlInt, IoctlByte, Bytes, PortByte };
    static constexpr std::size_t kMaxBytes = 32;

    Kind kind = Kind::None;
    int fd = -1;
    unsigned long request = 0;  // IoctlInt, IoctlByte
    int argument = 0;           // IoctlInt: the int; IoctlByte, PortByte: the byte
    std::uint16_t address = 0;  // PortByte
    char bytes[kMaxBytes] = {}; // Bytes: written to fd
    std::size_t length = 0;

    // Async-signal-safe.
    void perform() const;
};

// The write that unkeys the line in use, made by the fatal-signal handler; a default
// LineWrite when no line is driven. One keying line per process.
void setEmergencyUnkey(const LineWrite& write);

// While it lives, the fatal signals that would otherwise end the program without its shutdown
// first unkey the line, then end it as they would have (core dump included).
class FatalSignalUnkey {
public:
    explicit FatalSignalUnkey(std::initializer_list<int> caught = {
                                  SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGUSR1, SIGUSR2});
    ~FatalSignalUnkey();
    FatalSignalUnkey(const FatalSignalUnkey&) = delete;
    FatalSignalUnkey& operator=(const FatalSignalUnkey&) = delete;

private:
    struct Previous {
        int signalNumber;
        struct sigaction action;
    };
    std::vector<Previous> previous_;
};
