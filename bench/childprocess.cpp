#include "childprocess.h"

#include "procfs.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <stdexcept>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr std::chrono::milliseconds PollSlice(20);
// How often the end of a child that has closed its standard error is looked for.
constexpr std::chrono::milliseconds ReapSlice(2);

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// The benchmark's environment with the overrides applied.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> byName;
    auto add = [&](const std::string& entry) { byName[entry.substr(0, entry.find('='))] = entry; };
    for (char** e = environ; *e; ++e)
        add(*e);
    for (const auto& entry : extra)
        add(entry);
    std::vector<std::string> merged;
    for (const auto& [name, entry] : byName)
        merged.push_back(entry);
    return merged;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> list;
    for (auto& s : strings)
        list.push_back(s.data());
    list.push_back(nullptr);
    return list;
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& extraEnv) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

    std::vector<std::string> args = argv;
    std::vector<std::string> env = mergedEnvironment(extraEnv);
    started_ = Clock::now();
    const int err = posix_spawnp(&pid_, args.front().c_str(), &actions, nullptr,
                                 pointers(args).data(), pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (err != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start " + args.front() + ": " + std::strerror(err));
    }
    stderrFd_ = fds[0];
}

ChildProcess::~ChildProcess() {
    if (!reaped_ && pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (stderrFd_ >= 0)
        ::close(stderrFd_);
}

long ChildProcess::readStderr(std::chrono::milliseconds wait) {
    if (stderrFd_ < 0)
        return -1;
    pollfd p{stderrFd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(wait.count())) <= 0)
        return 0;
    char buffer[4096];
    const ssize_t n = ::read(stderrFd_, buffer, sizeof buffer);
    if (n <= 0) {
        ::close(stderrFd_);
        stderrFd_ = -1;
        return -1;
    }
    stderr_.append(buffer, static_cast<std::size_t>(n));
    return n;
}

std::optional<ChildProcess::Clock::time_point>
ChildProcess::waitForStderr(const std::string& text, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (stderr_.find(text) == std::string::npos) {
        if (Clock::now() >= deadline || readStderr(PollSlice) < 0)
            return std::nullopt;
    }
    return Clock::now();
}

void ChildProcess::readFor(std::chrono::milliseconds length) {
    const auto deadline = Clock::now() + length;
    while (Clock::now() < deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (readStderr(std::max(left, std::chrono::milliseconds(1))) < 0)
            std::this_thread::sleep_until(deadline);
    }
}

long ChildProcess::residentKb() const {
    return static_cast<long>(
        procStatusValue("/proc/" + std::to_string(pid_) + "/status", "VmRSS:"));
}

void ChildProcess::signal(int signalNumber) {
    if (!reaped_)
        ::kill(pid_, signalNumber);
}

ChildProcess::Ended ChildProcess::wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    Ended ended;
    int status = 0;
    rusage usage{};
    for (;;) {
        const pid_t done = ::wait4(pid_, &status, WNOHANG, &usage);
        if (done == pid_)
            break;
        if (Clock::now() >= deadline)
            ::kill(pid_, SIGKILL);
        if (readStderr(PollSlice) < 0)
            std::this_thread::sleep_for(ReapSlice);
    }
    ended.at = Clock::now();
    reaped_ = true;
    while (readStderr(std::chrono::milliseconds(0)) > 0) {
    }
    ended.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    ended.exitedNormally = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ended;
}

CpuLoad::CpuLoad(int children, std::chrono::seconds bound) {
    const pid_t parent = ::getpid();
    for (int i = 0; i < children; ++i) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            // Only system calls from here on: the parent has threads.
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (::getppid() != parent)
                ::_exit(0);
            ::alarm(static_cast<unsigned>(bound.count()));
            for (volatile unsigned long spin = 0;; spin = spin + 1) {
            }
        }
        if (pid > 0)
            pids_.push_back(pid);
    }
}

CpuLoad::~CpuLoad() {
    for (pid_t pid : pids_)
        ::kill(pid, SIGKILL);
    for (pid_t pid : pids_)
        ::waitpid(pid, nullptr, 0);
}
