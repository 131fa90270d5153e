// What the program costs and how fast it answers, through the real window and the real ALSA
// layer on a sound server, side by side with ALSA's own aplay and arecord on the same device.
// Prints one Markdown table; bench/run.sh starts the sound server and runs it.
//
// Usage: bench_tavrin --program PATH [--runs N] [--load-seconds S] [--pcm NAME]
#include "app/tavrin.h"
#include "app/tavrinui.h"
#include "benchwindow.h"
#include "childprocess.h"
#include "referencetools.h"
#include "series.h"
#include "startup.h"
#include "tavrinmeasures.h"

#include <QApplication>
#include <QEventLoop>
#include <QStyleFactory>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

#include <sys/utsname.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct Options {
    std::string program;
    std::string pcm = "pulse";
    int runs = 5;
    int loadSeconds = 60;
};

// Memory slots of the messages the benchmark plays and records.
constexpr int ShortSlot = 1;
constexpr double ShortSeconds = 4;
constexpr int LongSlot = 2;
constexpr int LoopSlot = 3;
constexpr double LoopSeconds = 1;
constexpr int RecordSlot = 4;
constexpr int LoadRecordSlot = 5;

constexpr milliseconds ProgramIdle(1500);
constexpr milliseconds StopAfter(1000);
// Lets a window shown again paint before the next measurement.
constexpr milliseconds ShowSettle(200);
constexpr int RecordSeconds = 3;
constexpr int LoadRecordSeconds = 10;
constexpr int AlarmSeconds = 3;
constexpr milliseconds IdleWindow(6000);
constexpr int IdleWindows = 3;
constexpr int LoopRepetitions = 6;
// The busy children stop themselves this long after the longest run they are meant for.
constexpr seconds LoadMargin(30);
constexpr double KbPerMb = 1024;

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--program")
            o.program = value;
        else if (key == "--runs")
            o.runs = std::max(1, std::atoi(value));
        else if (key == "--load-seconds")
            o.loadSeconds = std::max(5, std::atoi(value));
        else if (key == "--pcm")
            o.pcm = value;
        else
            throw std::runtime_error("unknown option " + key);
    }
    if (o.program.empty())
        throw std::runtime_error("usage: bench_tavrin --program PATH [--runs N] "
                                 "[--load-seconds S] [--pcm NAME]");
    return o;
}

void progress(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
}

void waitEvents(milliseconds length) {
    QEventLoop loop;
    QTimer::singleShot(length, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string slotFile(BenchWindow& bench, int slot) {
    return bench.window().paths().slotFile(slot).toStdString();
}

// The thread's name without its id, so that the device threads of different runs add up. The
// ALSA device thread has no name of its own: it carries the program's.
std::string threadKind(const std::string& name, const std::string& program) {
    const auto paren = name.rfind(" (");
    const std::string kind = paren == std::string::npos ? name : name.substr(0, paren);
    return kind == program ? "ALSA device thread (unnamed)" : kind;
}

void printMachine(BenchWindow& bench, const Options& o) {
    utsname u{};
    ::uname(&u);
    std::printf("Machine: %s %s, %u cores; Qt %s, platform %s\n", u.sysname, u.release,
                std::thread::hardware_concurrency(), qVersion(),
                qPrintable(QGuiApplication::platformName()));
    std::printf("Tavrin's output device 0: \"%s\" (ALSA default, the sound server); "
                "reference tools on ALSA PCM \"%s\"\n",
                bench.alsa().productName(WaveService::Direction::Output, 0).c_str(), o.pcm.c_str());
    std::printf("Runs per figure: %d; load runs: one each\n\n", o.runs);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    try {
        const Options o = parse(argc, argv);
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            throw std::runtime_error("no sound server: run bench/run.sh");

        Row startup = row("Start-up: process start to window created (ms)");
        Row inProcess = row("Start-up in process: construct, show, first paint (ms)");
        Row resident = row("Resident memory, Tavrin idle / aplay playing (MB)", "aplay");
        Row closing = row("Close: SIGTERM to process end (ms)");
        progress("start-up");
        for (int i = 0; i < o.runs; ++i) {
            const StartupFigures s = startProgram(o.program, ProgramIdle);
            startup.ours.add(s.toWindowMs);
            resident.ours.add(static_cast<double>(s.idleResidentKb) / KbPerMb);
            closing.ours.add(s.closeMs);
            inProcess.ours.add(constructAndShowWindowMs());
        }

        BenchWindow bench;
        bench.writeMessage(ShortSlot, ShortSeconds);
        bench.writeMessage(LongSlot, o.loadSeconds);
        bench.writeMessage(LoopSlot, LoopSeconds);
        printMachine(bench, o);

        Row playCpu = row("CPU while playing (ms per s of sound)", "aplay", 2);
        Row firstBlock =
            row("PLAY click to first block handed to ALSA / aplay start to device set up (ms)",
                "aplay");
        Row playStretch = row("Playing time beyond the sound, 4 s message (ms)", "aplay", 0);
        Row hiddenCpu = row("CPU while playing, window hidden (ms per s of sound)", "aplay", 2);
        std::map<std::string, Series> threadCpu;
        const std::string program = QCoreApplication::applicationFilePath()
                                        .section(QLatin1Char('/'), -1)
                                        .left(15)
                                        .toStdString();
        progress("playing");
        for (int i = 0; i < o.runs; ++i) {
            bench.window().hide();
            hiddenCpu.ours.add(playMessage(bench, ShortSlot).cpuMsPerSecond);
            bench.window().show();
            waitEvents(ShowSettle);
            const PlayFigures p = playMessage(bench, ShortSlot);
            playCpu.ours.add(p.cpuMsPerSecond);
            firstBlock.ours.add(p.firstBlockMs);
            playStretch.ours.add((p.wallSeconds - p.soundSeconds) * 1000);
            std::map<std::string, double> byKind;
            for (const auto& [name, ms] : p.threadCpuMsPerSecond)
                byKind[threadKind(name, program)] += ms;
            for (const auto& [kind, ms] : byKind)
                threadCpu[kind].add(ms);
            const ToolFigures a = runAplay(o.pcm, slotFile(bench, ShortSlot));
            playCpu.theirs.add(a.cpuSeconds * 1000 / ShortSeconds);
            hiddenCpu.theirs.add(a.cpuSeconds * 1000 / ShortSeconds);
            firstBlock.theirs.add(a.startMs);
            playStretch.theirs.add((a.wallSeconds - ShortSeconds) * 1000);
            resident.theirs.add(static_cast<double>(a.residentKb) / KbPerMb);
        }

        Row stop = row("STOP click to device reset / aplay SIGINT to exit (ms)", "aplay");
        progress("stopping");
        for (int i = 0; i < o.runs; ++i) {
            stop.ours.add(stopToResetMs(bench, ShortSlot, StopAfter));
            stop.theirs.add(runAplay(o.pcm, slotFile(bench, ShortSlot), StopAfter).stopMs);
        }

        Row recordCpu = row("CPU while recording (ms per s of sound)", "arecord", 2);
        progress("recording");
        const std::string recorded = slotFile(bench, RecordSlot) + ".arecord.wav";
        for (int i = 0; i < o.runs; ++i) {
            recordCpu.ours.add(
                recordMessage(bench, RecordSlot, seconds(RecordSeconds)).cpuMsPerSecond);
            const ToolFigures r = runArecord(o.pcm, recorded, RecordSeconds);
            recordCpu.theirs.add(r.cpuSeconds * 1000 / RecordSeconds);
        }

        Row idleCpu = row("CPU idle, ID alarm every 3 s (ms per s)", "", 2);
        progress("idle with the ID alarm on");
        bench.setIdAlarm(true, AlarmSeconds);
        int bells = 0;
        for (int i = 0; i < IdleWindows; ++i) {
            int windowBells = 0;
            idleCpu.ours.add(idleCpuMsPerSecond(bench, IdleWindow, windowBells));
            bells += windowBells;
        }

        const std::string loadTitle =
            std::to_string(o.loadSeconds) + " s message, both cores busy, ID alarm every 3 s";
        Row underruns = row("Underruns, " + loadTitle, "aplay", 0);
        Row resets = row("Watchdog resets, same run", "", 0);
        Row loadStretch = row("Playing time beyond the sound, same run (ms)", "aplay", 0);
        Row loadCpu = row("CPU while playing, same run (ms per s of sound)", "aplay", 2);
        Row overruns = row("Overruns, " + std::to_string(LoadRecordSeconds) +
                               " s recording, both cores busy, ID alarm every 3 s",
                           "arecord", 0);
        const int cores = static_cast<int>(std::thread::hardware_concurrency());
        progress("playing under load");
        {
            const int bells0 = bench.beeper().count;
            CpuLoad load(cores, seconds(o.loadSeconds) + LoadMargin);
            const PlayFigures p = playMessage(bench, LongSlot);
            underruns.ours.add(static_cast<double>(p.underruns));
            resets.ours.add(p.watchdogResets);
            loadStretch.ours.add((p.wallSeconds - p.soundSeconds) * 1000);
            loadCpu.ours.add(p.cpuMsPerSecond);
            std::fprintf(stderr, "bench: %d alarm bells during the loaded playback\n",
                         bench.beeper().count - bells0);
        }
        {
            CpuLoad load(cores, seconds(o.loadSeconds) + LoadMargin);
            const ToolFigures a = runAplay(o.pcm, slotFile(bench, LongSlot));
            underruns.theirs.add(a.xruns);
            loadStretch.theirs.add((a.wallSeconds - o.loadSeconds) * 1000);
            loadCpu.theirs.add(a.cpuSeconds * 1000 / o.loadSeconds);
        }
        progress("recording under load");
        {
            CpuLoad load(cores, seconds(LoadRecordSeconds) + LoadMargin);
            overruns.ours.add(static_cast<double>(
                recordMessage(bench, LoadRecordSlot, seconds(LoadRecordSeconds)).overruns));
        }
        {
            CpuLoad load(cores, seconds(LoadRecordSeconds) + LoadMargin);
            overruns.theirs.add(runArecord(o.pcm, recorded, LoadRecordSeconds).xruns);
        }
        bench.setIdAlarm(false, AlarmSeconds);

        progress("loop");
        waitEvents(StopAfter);
        const LoopFigures loop = loopMessage(bench, LoopSlot, LoopRepetitions);
        Row loopGap = row("Loop: last buffer done to KeyerIdle 1 (ms)", "", 2);
        loopGap.ours = loop.soundEndToIdleMs;
        Row loopPause = row("Loop: pause with Loop Delay 1 sec (s)", "", 2);
        loopPause.ours = loop.pauseSeconds;

        printTable({startup, inProcess, resident, closing, playCpu, hiddenCpu, recordCpu, idleCpu,
                    firstBlock, stop, playStretch, underruns, resets, loadStretch, loadCpu,
                    overruns, loopGap, loopPause});

        std::printf("\nCPU per second of sound while playing, by thread of the program "
                    "(median of the runs):\n\n| Thread | ms per s |\n|---|---:|\n");
        for (const auto& [kind, series] : threadCpu)
            std::printf("| %s | %.2f |\n", kind.c_str(), series.median());
        std::printf("\nID alarm bells while idle: %d in %d windows of %lld ms\n", bells,
                    IdleWindows, static_cast<long long>(IdleWindow.count()));
        std::printf("Message boxes shown: %lld%s\n",
                    static_cast<long long>(bench.dialogs().messages.size()),
                    bench.dialogs().messages.isEmpty() ? "" : " (see standard error)");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_tavrin: %s\n", e.what());
        return 1;
    }
}
