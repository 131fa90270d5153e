#include "startup.h"

#include "childprocess.h"

#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = ChildProcess::Clock;
using std::chrono::milliseconds;

constexpr milliseconds LongestStart(20000);
constexpr milliseconds LongestClose(10000);
const std::string InstallDirName = "Tavrin";
const std::string ConfigName = "Tavrin.cfg";

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// Watches a new home directory for the installation directory and the configuration file put
// into it, with inotify, so that nothing polls while the program starts.
class ConfigWatch {
public:
    explicit ConfigWatch(std::string home) : home_(std::move(home)) {
        fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
        if (fd_ < 0 || ::inotify_add_watch(fd_, home_.c_str(), IN_CREATE | IN_MOVED_TO) < 0)
            throw std::runtime_error("inotify on " + home_);
    }
    ~ConfigWatch() { ::close(fd_); }
    ConfigWatch(const ConfigWatch&) = delete;
    ConfigWatch& operator=(const ConfigWatch&) = delete;

    // The moment the configuration file was seen in place.
    std::optional<Clock::time_point> wait(milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        const std::string dir = home_ + "/" + InstallDirName;
        const std::string config = dir + "/" + ConfigName;
        while (Clock::now() < deadline) {
            pollfd p{fd_, POLLIN, 0};
            const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
            if (::poll(&p, 1, static_cast<int>(left.count()) + 1) <= 0)
                continue;
            alignas(inotify_event) char buffer[4096];
            const ssize_t n = ::read(fd_, buffer, sizeof buffer);
            const Clock::time_point now = Clock::now();
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                const std::string name = event->len ? event->name : "";
                if (name == InstallDirName && !dirWatched_) {
                    dirWatched_ = true;
                    ::inotify_add_watch(fd_, dir.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE);
                    // The file may have come before the watch did.
                    if (exists(config))
                        return Clock::now();
                } else if (name == ConfigName) {
                    return now;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return std::nullopt;
    }

private:
    std::string home_;
    int fd_ = -1;
    bool dirWatched_ = false;
};

std::string mappingKind(const std::string& path) {
    const auto has = [&path](const char* part) { return path.find(part) != std::string::npos; };
    if (path.empty())
        return "anonymous (other heaps, thread stacks)";
    if (path == "[heap]")
        return "heap";
    if (has("libQt6"))
        return "Qt libraries";
    if (has("/plugins/"))
        return "Qt plugins";
    if (has(".ttf") || has(".otf") || has(".pfb") || has("fontconfig"))
        return "fonts and font cache";
    if (has(".so"))
        return "other libraries (C++, glib, ALSA, D-Bus ...)";
    if (path.front() == '/')
        return "program and other files";
    return "other (" + path + ")";
}

// Resident and private dirty kB per kind of mapping, from /proc/PID/smaps.
std::map<std::string, std::pair<long, long>> residentByKind(pid_t pid) {
    std::map<std::string, std::pair<long, long>> kinds;
    std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
    std::string line, kind;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string first;
        words >> first;
        long kb = 0;
        if (first == "Rss:" && words >> kb)
            kinds[kind].first += kb;
        else if (first == "Private_Dirty:" && words >> kb)
            kinds[kind].second += kb;
        else if (first.find('-') != std::string::npos && first.back() != ':') {
            // A mapping's header: range, permissions, offset, device, inode, path.
            std::string field, path;
            for (int i = 0; i < 4; ++i)
                words >> field;
            std::getline(words >> std::ws, path);
            kind = mappingKind(path);
        }
    }
    return kinds;
}

} // namespace

StartupFigures startProgram(const std::string& program, milliseconds idle) {
    StartupFigures f;
    QTemporaryDir home;
    const std::string homePath = home.path().toStdString();
    ConfigWatch watch(homePath);
    ChildProcess child({program}, {"HOME=" + homePath, "QT_QPA_PLATFORM=offscreen"});
    if (const auto shown = watch.wait(LongestStart))
        f.toWindowMs = msBetween(child.started(), *shown);
    child.readFor(idle);
    f.idleResidentKb = child.residentKb();
    f.residentByKind = residentByKind(child.pid());
    const Clock::time_point terminated = Clock::now();
    child.signal(SIGTERM);
    const ChildProcess::Ended ended = child.wait(LongestClose);
    f.closeMs = msBetween(terminated, ended.at);
    return f;
}
