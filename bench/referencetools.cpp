#include "referencetools.h"

#include "childprocess.h"

#include "audio/wavetypes.h"

#include <csignal>
#include <vector>

namespace {

using Clock = ChildProcess::Clock;
using std::chrono::milliseconds;

// The last line of the PCM setup that -v prints once the device is configured.
const char* const SetupDumpEnd = "boundary";
constexpr milliseconds LongestSetup(5000);
// The resident memory is read this long after the device is set up.
constexpr milliseconds ResidentReadAfter(500);
constexpr milliseconds LongestRun(10 * 60 * 1000);

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int count(const std::string& text, const std::string& word) {
    int n = 0;
    for (std::size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1))
        ++n;
    return n;
}

ToolFigures run(const std::vector<std::string>& argv, const char* xrunWord,
                std::optional<milliseconds> stopAfter) {
    ToolFigures f;
    ChildProcess child(argv, {});
    if (const auto setUp = child.waitForStderr(SetupDumpEnd, LongestSetup))
        f.startMs = msBetween(child.started(), *setUp);
    Clock::time_point stopped;
    if (stopAfter) {
        const auto at = child.started() + *stopAfter;
        child.readFor(std::chrono::duration_cast<milliseconds>(at - Clock::now()) / 2);
        f.residentKb = child.residentKb();
        child.readFor(std::chrono::duration_cast<milliseconds>(at - Clock::now()));
        stopped = Clock::now();
        child.signal(SIGINT);
    } else {
        child.readFor(ResidentReadAfter);
        f.residentKb = child.residentKb();
    }
    const ChildProcess::Ended ended = child.wait(LongestRun);
    f.cpuSeconds = ended.cpuSeconds;
    f.wallSeconds = msBetween(child.started(), ended.at) / 1000;
    if (stopAfter)
        f.stopMs = msBetween(stopped, ended.at);
    f.xruns = count(child.stderrText(), xrunWord);
    return f;
}

} // namespace

ToolFigures runAplay(const std::string& pcm, const std::string& file,
                     std::optional<milliseconds> stopAfter) {
    return run({"aplay", "-v", "-D", pcm, file}, "underrun", stopAfter);
}

ToolFigures runAplayInKeyerBlocks(const std::string& pcm, const std::string& file) {
    const std::string period = std::to_string(kWaveBufferSamples);
    const std::string buffer = std::to_string(2 * kWaveBufferSamples);
    return run(
        {"aplay", "-v", "-D", pcm, "--period-size=" + period, "--buffer-size=" + buffer, file},
        "underrun", std::nullopt);
}

ToolFigures runArecord(const std::string& pcm, const std::string& file, int seconds) {
    return run({"arecord", "-v", "-D", pcm, "-f", "S16_LE", "-r", "11025", "-c", "1", "-d",
                std::to_string(seconds), file},
               "overrun", std::nullopt);
}
