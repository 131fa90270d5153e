// What the program costs and how fast it answers, through the real window and the real ALSA
// layer on a sound server, side by side with ALSA's own aplay and arecord on the same device.
// Prints one Markdown table; bench/run.sh starts the sound server and runs it.
//
// Usage: bench_tavrin --program PATH [--runs N] [--load-seconds S] [--pcm NAME] [--soak-plays N]
#include "app/look.h"
#include "app/mainwindow.h"
#include "app/mainwindowui.h"
#include "app/station.h"
#include "benchwindow.h"
#include "childprocess.h"
#include "referencetools.h"
#include "series.h"
#include "soak.h"
#include "startup.h"
#include "tavrinmeasures.h"
#include "virtualwaveservice.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <sys/utsname.h>

namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct Options {
    std::string program;
    std::string pcm = "pulse";
    int runs = 5;
    int loadSeconds = 60;
    int soakPlays = 10000;
    std::string only; // "operator-ptt": that step alone
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
constexpr seconds FloorLength(20);
constexpr int IdleWindows = 3;
constexpr int LoopRepetitions = 6;
// The busy children stop themselves this long after the longest run they are meant for.
constexpr seconds LoadMargin(30);
constexpr double KbPerMb = 1024;
// The soak's first figures are read after this part of its plays (1 in 10), once what the
// program keeps for good (its caches, say) is in place.
constexpr int SoakFirstPart = 10;
// Linux keeps this many characters of a thread's name.
constexpr int MaxThreadNameLength = 15;

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
        else if (key == "--soak-plays")
            o.soakPlays = std::max(SoakFirstPart, std::atoi(value));
        else if (key == "--only")
            o.only = value;
        else
            throw std::runtime_error("unknown option " + key);
    }
    if (o.program.empty())
        throw std::runtime_error("usage: bench_tavrin --program PATH [--runs N] "
                                 "[--load-seconds S] [--pcm NAME] [--soak-plays N] "
                                 "[--only operator-ptt|exchange]");
    return o;
}

void progress(const char* what) {
    std::fprintf(stderr, "bench: %s\n", what);
}

std::string slotFile(BenchWindow& bench, int slot) {
    return bench.window().station().paths().slotFile(slot).toStdString();
}

// Where arecord's recordings go.
std::string arecordFile(BenchWindow& bench) {
    return slotFile(bench, RecordSlot) + ".arecord.wav";
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

// Every figure of the run, in the order of the printed table.
struct Results {
    Row startup = row("Start-up: process start to window created (ms)");
    Row inProcess = row("Start-up in process: construct, show, first paint (ms)");
    Row resident = row("Resident memory, Tavrin idle / aplay playing (MB)", "aplay");
    Row closing = row("Close: SIGTERM to process end (ms)");
    Row playCpu = row("CPU while playing (ms per s of sound)", "aplay", 2);
    Row playCpuInBlocks = row(
        "CPU while playing, against aplay in the keyer's blocks (ms per s of sound)", "aplay", 2);
    Row hiddenCpu = row("CPU while playing, window hidden (ms per s of sound)", "aplay", 2);
    Row recordCpu = row("CPU while recording (ms per s of sound)", "arecord", 2);
    Row idleCpu = row("CPU idle, ID alarm every 3 s (ms per s)", "", 2);
    Row firstBlock = row(
        "PLAY click to first block handed to ALSA / aplay start to device set up (ms)", "aplay");
    Row firstSound = row("PLAY click to first sample played by the sink (ms)");
    Row fKeyBlock = row("F-key to first block handed to ALSA (ms)");
    Row fKeySound = row("F-key to first sample played by the sink (ms)");
    Row remoteBlock = row("Remote Play call (D-Bus) to first block handed to ALSA (ms)");
    Row remoteSound = row("Remote Play call (D-Bus) to first sample played by the sink (ms)");
    Row leadBlock0 = row("PTT lead 0 ms: key-down to first block handed to ALSA (ms)");
    Row leadSound0 = row("PTT lead 0 ms: key-down to first sample played by the sink (ms)");
    Row tail0 = row("PTT tail 0 ms: last block played to key-up (ms)");
    Row leadBlock = row("PTT lead 200 ms: key-down to first block handed to ALSA (ms)");
    Row leadSound = row("PTT lead 200 ms: key-down to first sample played by the sink (ms)");
    Row tail = row("PTT tail 200 ms: last block played to key-up (ms)");
    Row virtualLead0 =
        row("PTT lead 0 ms, virtual device: key-down to first block handed over (ms)");
    Row virtualSound0 = row("PTT lead 0 ms, virtual device: key-down to first sample played (ms)");
    Row virtualTail0 = row("PTT tail 0 ms, virtual device: last block played to key-up (ms)");
    Row virtualLead =
        row("PTT lead 200 ms, virtual device: key-down to first block handed over (ms)");
    Row virtualSound = row("PTT lead 200 ms, virtual device: key-down to first sample played (ms)");
    Row virtualTail = row("PTT tail 200 ms, virtual device: last block played to key-up (ms)");
    Row stop = row("STOP click to device reset / aplay SIGINT to exit (ms)", "aplay");
    Row operatorPtt = row("Operator's PTT: CTS raised to DTR and RTS released (ms)", "", 2);
    Row operatorPttPolled =
        row("Operator's PTT, driver without TIOCMIWAIT (polled): the same (ms)", "", 2);
    Row exchange = row("Spoken exchange, 20 tokens: phrases read, joined, written (ms)", "", 2);
    Row playStretch = row("Playing time beyond the sound, 4 s message (ms)", "aplay", 0);
    Row underruns = row("Underruns", "aplay", 0);
    Row resets = row("Watchdog resets, same run", "", 0);
    Row loadStretch = row("Playing time beyond the sound, same run (ms)", "aplay", 0);
    Row loadCpu = row("CPU while playing, same run (ms per s of sound)", "aplay", 2);
    Row loadCpuInBlocks = row(
        "CPU while playing, same run, against aplay in the keyer's blocks (ms per s)", "aplay", 2);
    Row floorWake = row("Floor, same load: a bare window woken every 190 ms (ms per s)", "", 2);
    Row floorBar =
        row("Floor, same load: a bare window moving its bar every 190 ms (ms per s)", "", 2);
    Row overruns = row("Overruns, " + std::to_string(LoadRecordSeconds) +
                           " s recording, both cores busy, ID alarm every 3 s",
                       "arecord", 0);
    Row loopGap = row("Loop: last buffer done to KeyerIdle 1 (ms)", "", 2);
    Row loopPause = row("Loop: pause with Loop Delay 1 sec (s)", "", 2);
    // Named once the number of plays is known.
    Row soakResident = row({});
    Row soakGrowth = row({}, "", 2);
    Row soakFds = row({}, "", 0);
    Row soakThreads = row({}, "", 0);
    Row soakRefused = row("Soak: Play and Stop calls refused", "", 0);
    // Per kind of thread: CPU ms and wake-ups per second of sound.
    std::map<std::string, std::pair<Series, Series>> threads;
    std::map<std::string, std::pair<long, long>> residentByKind; // last start-up run
    int idleBells = 0;
    int loadBells = 0;

    std::vector<Row> rows() const {
        return {startup,
                inProcess,
                resident,
                closing,
                playCpu,
                playCpuInBlocks,
                hiddenCpu,
                recordCpu,
                idleCpu,
                firstBlock,
                firstSound,
                fKeyBlock,
                fKeySound,
                remoteBlock,
                remoteSound,
                leadBlock0,
                leadSound0,
                tail0,
                leadBlock,
                leadSound,
                tail,
                virtualLead0,
                virtualSound0,
                virtualTail0,
                virtualLead,
                virtualSound,
                virtualTail,
                operatorPtt,
                operatorPttPolled,
                exchange,
                stop,
                playStretch,
                underruns,
                resets,
                loadStretch,
                loadCpu,
                loadCpuInBlocks,
                floorWake,
                floorBar,
                overruns,
                loopGap,
                loopPause,
                soakResident,
                soakGrowth,
                soakFds,
                soakThreads,
                soakRefused};
    }
};

void measureStartup(Results& r, const Options& o) {
    progress("start-up");
    for (int i = 0; i < o.runs; ++i) {
        const StartupFigures s = startProgram(o.program, ProgramIdle);
        r.startup.ours.add(s.toWindowMs);
        r.resident.ours.add(static_cast<double>(s.idleResidentKb) / KbPerMb);
        r.closing.ours.add(s.closeMs);
        r.residentByKind = s.residentByKind;
        r.inProcess.ours.add(constructAndShowWindowMs());
    }
}

// Remote Play and Stop over D-Bus on the built program, two 1-second messages in turn, through
// ALSA's default device (the sound server).
void measureSoak(Results& r, const Options& o) {
    progress("soak of remote plays");
    const int first = o.soakPlays / SoakFirstPart;
    const SoakFigures f = soakRemotePlays(o.program, o.soakPlays, first);
    const std::string span =
        "plays " + std::to_string(first) + " to " + std::to_string(o.soakPlays);
    r.soakResident.measure =
        "Soak: resident memory after " + std::to_string(first) + " remote Play/Stop pairs (MB)";
    r.soakResident.ours.add(static_cast<double>(f.firstResidentKb) / KbPerMb);
    r.soakGrowth.measure = "Soak: resident memory growth, " + span + " (MB)";
    r.soakGrowth.ours.add(static_cast<double>(f.lastResidentKb - f.firstResidentKb) / KbPerMb);
    r.soakFds.measure = "Soak: open file descriptors, change over " + span;
    r.soakFds.ours.add(f.lastFds - f.firstFds);
    r.soakThreads.measure = "Soak: threads, change over " + span;
    r.soakThreads.ours.add(f.lastThreads - f.firstThreads);
    r.soakRefused.ours.add(f.refused);
}

void addThreadUse(Results& r, const PlayFigures& p) {
    const std::string program = QCoreApplication::applicationFilePath()
                                    .section(QLatin1Char('/'), -1)
                                    .left(MaxThreadNameLength)
                                    .toStdString();
    std::map<std::string, ThreadUse> byKind;
    for (const auto& [name, use] : p.threadsPerSecond) {
        ThreadUse& sum = byKind[threadKind(name, program)];
        sum.cpu += use.cpu;
        sum.wakeUps += use.wakeUps;
    }
    for (const auto& [kind, use] : byKind) {
        r.threads[kind].first.add(use.cpu);
        r.threads[kind].second.add(use.wakeUps);
    }
}

void measurePlaying(Results& r, BenchWindow& bench, const Options& o) {
    progress("playing");
    for (int i = 0; i < o.runs; ++i) {
        bench.window().hide();
        r.hiddenCpu.ours.add(playMessage(bench, ShortSlot).cpuMsPerSecond);
        bench.window().show();
        runEventLoop(ShowSettle);
        const PlayFigures p = playMessage(bench, ShortSlot);
        r.playCpu.ours.add(p.cpuMsPerSecond);
        r.firstBlock.ours.add(p.firstBlockMs);
        r.firstSound.ours.add(p.firstSoundMs);
        r.playStretch.ours.add((p.wallSeconds - p.soundSeconds) * 1000);
        addThreadUse(r, p);

        const ToolFigures a = runAplay(o.pcm, slotFile(bench, ShortSlot));
        r.playCpu.theirs.add(a.cpuSeconds * 1000 / ShortSeconds);
        r.hiddenCpu.theirs.add(a.cpuSeconds * 1000 / ShortSeconds);
        r.firstBlock.theirs.add(a.startMs);
        r.playStretch.theirs.add((a.wallSeconds - ShortSeconds) * 1000);
        r.resident.theirs.add(static_cast<double>(a.residentKb) / KbPerMb);
        r.playCpuInBlocks.ours.add(p.cpuMsPerSecond);
        r.playCpuInBlocks.theirs.add(
            runAplayInKeyerBlocks(o.pcm, slotFile(bench, ShortSlot)).cpuSeconds * 1000 /
            ShortSeconds);
    }
    progress("stopping");
    for (int i = 0; i < o.runs; ++i) {
        r.stop.ours.add(stopToResetMs(bench, ShortSlot, StopAfter));
        r.stop.theirs.add(runAplay(o.pcm, slotFile(bench, ShortSlot), StopAfter).stopMs);
    }
}

void addPtt(const PttFigures& f, Row& firstBlock, Row& firstSound, Row& keyUp) {
    firstBlock.ours.add(f.keyDownToFirstBlockMs);
    firstSound.ours.add(f.keyDownToFirstSoundMs);
    keyUp.ours.add(f.lastSoundToKeyUpMs);
}

// Other ways to start, and the transmitter's lead and tail, on the 1-second message.
void measureStarts(Results& r, BenchWindow& bench, const Options& o) {
    progress("F-key, remote Play, PTT lead and tail");
    constexpr milliseconds Delay(200);
    for (int i = 0; i < o.runs; ++i) {
        const StartFigures f = fKeyPlay(bench, LoopSlot);
        r.fKeyBlock.ours.add(f.firstBlockMs);
        r.fKeySound.ours.add(f.firstSoundMs);
        const StartFigures d = remotePlay(bench, LoopSlot);
        r.remoteBlock.ours.add(d.firstBlockMs);
        r.remoteSound.ours.add(d.firstSoundMs);
        addPtt(pttPlay(bench, LoopSlot, milliseconds(0), milliseconds(0)), r.leadBlock0,
               r.leadSound0, r.tail0);
        addPtt(pttPlay(bench, LoopSlot, Delay, Delay), r.leadBlock, r.leadSound, r.tail);
    }
    pttPlay(bench, LoopSlot, milliseconds(0), milliseconds(0));
}

// The same lead and tail on the virtual device, which completes each block in real time once it
// is due: what the keyer adds, without the sound server's buffering. The operator's foot switch
// on the same device: the port and the window's thread are what is measured, not the sound.
void measureVirtualPtt(Results& r, const Options& o) {
    progress("PTT lead and tail, and the operator's PTT, on the virtual device");
    constexpr milliseconds RaisedAfter(500);
    constexpr milliseconds Delay(200);
    VirtualWaveService device;
    device.setRealTime(true);
    BenchWindow bench(&device);
    bench.writeMessage(LoopSlot, LoopSeconds);
    for (int i = 0; i < o.runs; ++i) {
        if (o.only.empty()) {
            addPtt(pttPlay(bench, LoopSlot, milliseconds(0), milliseconds(0)), r.virtualLead0,
                   r.virtualSound0, r.virtualTail0);
            addPtt(pttPlay(bench, LoopSlot, Delay, Delay), r.virtualLead, r.virtualSound,
                   r.virtualTail);
        }
        r.operatorPtt.ours.add(operatorPttToUnkeyMs(bench, LoopSlot, RaisedAfter, true));
        r.operatorPttPolled.ours.add(operatorPttToUnkeyMs(bench, LoopSlot, RaisedAfter, false));
    }
}

// Assembling an exchange from phrases on the disk, as Say does before the message is keyed.
void measureExchange(Results& r, const Options& o) {
    progress("spoken exchange");
    QTemporaryDir dir;
    writePhrases(dir.path());
    for (int i = 0; i < o.runs; ++i)
        r.exchange.ours.add(exchangeReadyMs(dir.path()));
}

void measureRecording(Results& r, BenchWindow& bench, const Options& o) {
    progress("recording");
    for (int i = 0; i < o.runs; ++i) {
        r.recordCpu.ours.add(
            recordMessage(bench, RecordSlot, seconds(RecordSeconds)).cpuMsPerSecond);
        const ToolFigures a = runArecord(o.pcm, arecordFile(bench), RecordSeconds);
        r.recordCpu.theirs.add(a.cpuSeconds * 1000 / RecordSeconds);
    }
}

void measureIdle(Results& r, BenchWindow& bench) {
    progress("idle with the ID alarm on");
    for (int i = 0; i < IdleWindows; ++i) {
        int bells = 0;
        r.idleCpu.ours.add(idleCpuMsPerSecond(bench, IdleWindow, bells));
        r.idleBells += bells;
    }
}

// Both cores busy, the ID alarm on.
void measureUnderLoad(Results& r, BenchWindow& bench, const Options& o) {
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    r.underruns.measure = "Underruns, " + std::to_string(o.loadSeconds) +
                          " s message, both cores busy, ID alarm every 3 s";
    progress("playing under load");
    {
        const int bells0 = bench.beeper().count;
        CpuLoad load(cores, seconds(o.loadSeconds) + LoadMargin);
        const PlayFigures p = playMessage(bench, LongSlot);
        r.underruns.ours.add(static_cast<double>(p.underruns));
        r.resets.ours.add(p.watchdogResets);
        r.loadStretch.ours.add((p.wallSeconds - p.soundSeconds) * 1000);
        r.loadCpu.ours.add(p.cpuMsPerSecond);
        r.loadBells = bench.beeper().count - bells0;
    }
    {
        CpuLoad load(cores, seconds(o.loadSeconds) + LoadMargin);
        const ToolFigures a = runAplay(o.pcm, slotFile(bench, LongSlot));
        r.underruns.theirs.add(a.xruns);
        r.loadStretch.theirs.add((a.wallSeconds - o.loadSeconds) * 1000);
        r.loadCpu.theirs.add(a.cpuSeconds * 1000 / o.loadSeconds);
    }
    {
        CpuLoad load(cores, seconds(o.loadSeconds) + LoadMargin);
        r.loadCpuInBlocks.ours = r.loadCpu.ours;
        r.loadCpuInBlocks.theirs.add(
            runAplayInKeyerBlocks(o.pcm, slotFile(bench, LongSlot)).cpuSeconds * 1000 /
            o.loadSeconds);
    }
    progress("a bare window under load");
    for (const bool moveBar : {false, true}) {
        CpuLoad load(cores, FloorLength + LoadMargin);
        (moveBar ? r.floorBar : r.floorWake)
            .ours.add(tickingWindowCpuMsPerSecond(bench, FloorLength, moveBar));
    }
    progress("recording under load");
    {
        CpuLoad load(cores, seconds(LoadRecordSeconds) + LoadMargin);
        r.overruns.ours.add(static_cast<double>(
            recordMessage(bench, LoadRecordSlot, seconds(LoadRecordSeconds)).overruns));
    }
    {
        CpuLoad load(cores, seconds(LoadRecordSeconds) + LoadMargin);
        r.overruns.theirs.add(runArecord(o.pcm, arecordFile(bench), LoadRecordSeconds).xruns);
    }
}

void measureLoop(Results& r, BenchWindow& bench) {
    progress("loop");
    runEventLoop(StopAfter);
    const LoopFigures loop = loopMessage(bench, LoopSlot, LoopRepetitions);
    r.loopGap.ours = loop.soundEndToIdleMs;
    r.loopPause.ours = loop.pauseSeconds;
}

void print(const Results& r, BenchWindow& bench) {
    printTable(r.rows());
    std::printf("\nPer second of sound while playing the 4 s message, by thread of the program "
                "(median of the runs):\n\n| Thread | CPU ms | wake-ups |\n|---|---:|---:|\n");
    for (const auto& [kind, series] : r.threads)
        std::printf("| %s | %.2f | %.1f |\n", kind.c_str(), series.first.median(),
                    series.second.median());
    std::printf(
        "\nResident memory of the idle program by mapping (last start-up run, "
        "/proc/PID/smaps):\n\n| Mapping | resident MB | private dirty MB |\n|---|---:|---:|\n");
    for (const auto& [kind, kb] : r.residentByKind)
        std::printf("| %s | %.1f | %.1f |\n", kind.c_str(), static_cast<double>(kb.first) / KbPerMb,
                    static_cast<double>(kb.second) / KbPerMb);
    std::printf("\nID alarm bells while idle: %d in %d windows of %lld ms; during the playback "
                "under load: %d\n",
                r.idleBells, IdleWindows, static_cast<long long>(IdleWindow.count()), r.loadBells);
    std::printf("Message boxes shown: %lld%s\n",
                static_cast<long long>(bench.dialogs().messages.size()),
                bench.dialogs().messages.isEmpty() ? "" : " (see standard error)");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tavrin"));
    QApplication::setStyle(look::createStyle());
    try {
        const Options o = parse(argc, argv);
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            throw std::runtime_error("no sound server: run bench/run.sh");
        Results results;
        if (o.only == "exchange") {
            measureExchange(results, o);
            printTable({results.exchange});
            return 0;
        }
        if (o.only == "operator-ptt") {
            measureVirtualPtt(results, o);
            printTable({results.operatorPtt, results.operatorPttPolled});
            return 0;
        }
        measureStartup(results, o);
        measureSoak(results, o);

        BenchWindow bench;
        bench.writeMessage(ShortSlot, ShortSeconds);
        bench.writeMessage(LongSlot, o.loadSeconds);
        bench.writeMessage(LoopSlot, LoopSeconds);
        printMachine(bench, o);
        measurePlaying(results, bench, o);
        measureStarts(results, bench, o);
        measureVirtualPtt(results, o);
        measureExchange(results, o);
        measureRecording(results, bench, o);
        bench.setIdAlarm(true, AlarmSeconds);
        measureIdle(results, bench);
        measureUnderLoad(results, bench, o);
        bench.setIdAlarm(false, AlarmSeconds);
        measureLoop(results, bench);
        print(results, bench);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_tavrin: %s\n", e.what());
        return 1;
    }
}
