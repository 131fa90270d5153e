#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

// Another program run by the benchmark: its start is timed, its standard error read with the
// time each piece arrives, and its CPU time taken from the kernel when it ends. The child is
// killed if it is still running when this object goes.
class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    struct Ended {
        Clock::time_point at;
        double cpuSeconds = 0; // user + system
        bool exitedNormally = false;
    };

    // Starts argv[0] (looked up in PATH) with the benchmark's environment plus "NAME=value"
    // entries of extraEnv, which override. Throws std::runtime_error when it cannot start.
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    Clock::time_point started() const { return started_; }

    // Reads standard error until it holds text; the time the piece holding it arrived.
    std::optional<Clock::time_point> waitForStderr(const std::string& text,
                                                   std::chrono::milliseconds timeout);
    const std::string& stderrText() const { return stderr_; }
    // Keeps reading standard error for the given time.
    void readFor(std::chrono::milliseconds length);
    // Resident memory from /proc, in kB; 0 when it cannot be read.
    long residentKb() const;
    void signal(int signalNumber);
    // Waits for the end, reading standard error meanwhile. Kills the child after the timeout.
    Ended wait(std::chrono::milliseconds timeout);

private:
    // Reads what standard error holds, waiting up to wait for something: the bytes read, 0 when
    // none came, -1 at its end.
    long readStderr(std::chrono::milliseconds wait);

    pid_t pid_ = -1;
    int stderrFd_ = -1;
    bool reaped_ = false;
    Clock::time_point started_;
    std::string stderr_;
};

// Keeps every core busy with children that spin: each stops itself after `bound` and dies with
// the benchmark, and all are killed when this object goes.
class CpuLoad {
public:
    CpuLoad(int children, std::chrono::seconds bound);
    ~CpuLoad();
    CpuLoad(const CpuLoad&) = delete;
    CpuLoad& operator=(const CpuLoad&) = delete;

private:
    std::vector<pid_t> pids_;
};
