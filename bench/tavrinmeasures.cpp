#include "tavrinmeasures.h"

#include "app/mainwindow.h"
#include "app/mainwindowui.h"
#include "app/meterbar.h"
#include "app/remotecontrol.h"
#include "app/station.h"
#include "audio/wavetypes.h"
#include "benchwindow.h"
#include "devicestandins.h"
#include "keyer/exchange.h"
#include "keyer/keyerstate.h"
#include "keyer/messageedit.h"
#include "keyer/messagefile.h"
#include "messagewait.h"
#include "procfs.h"
#include "support/uniquefd.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "tx/transmitcontrols.h"
#include "tx/txstate.h"

#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

using Clock = TimedWaveService::Clock;
using std::chrono::milliseconds;

constexpr double BytesPerSecond = 22050;
constexpr double BlockMs = 1000.0 * kWaveBufferSamples / 11025;
const QString RemoteInstance = QStringLiteral("bench");
// Far longer than the short messages played by remote call.
constexpr milliseconds LongestRemotePlay(20000);
// How long before the end of the sound the threads' CPU is read, while they all still run.
constexpr milliseconds ThreadReadBeforeEnd(300);
// Each time a thread sleeps and is woken again counts one voluntary context switch.
const std::string WakeUpsKey = "voluntary_ctxt_switches:";

double msBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

double messageSeconds(BenchWindow& bench, int slot) {
    const qint64 bytes = QFileInfo(bench.window().station().paths().slotFile(slot)).size();
    return static_cast<double>(bytes - kMessageHeaderBytes) / BytesPerSecond;
}

StartFigures startFigures(BenchWindow& bench, Clock::time_point started) {
    return {msBetween(started, bench.wave().firstQueue()),
            msBetween(started, bench.wave().firstCompletion()) - BlockMs};
}

// Runs the event loop until the keyer is idle again, or gives up after `longest`.
void waitForIdle(BenchWindow& bench, milliseconds longest) {
    QEventLoop loop;
    QTimer::singleShot(longest, &loop, &QEventLoop::quit);
    const auto connection = QObject::connect(&bench.window().station().keyerState(),
                                             &KeyerState::keyerIdleChanged, [&](bool idle) {
                                                 if (idle)
                                                     loop.quit();
                                             });
    loop.exec();
    QObject::disconnect(connection);
}

} // namespace

StartFigures fKeyPlay(BenchWindow& bench, int slot) {
    bench.wave().clearMarks();
    const Clock::time_point pressed = Clock::now();
    QTest::keyClick(&bench.window(), static_cast<Qt::Key>(Qt::Key_F1 + slot - 1));
    untilMessageEnds(bench.window());
    return startFigures(bench, pressed);
}

StartFigures remotePlay(BenchWindow& bench, int slot) {
    static RemoteControl* remote = nullptr;
    if (!remote) {
        remote = new RemoteControl(bench.window().station(), bench.window().noteBox());
        QString error;
        if (!remote->publish(QDBusConnection::sessionBus(), remote::serviceName(RemoteInstance),
                             error))
            throw std::runtime_error("remote control: " + error.toStdString());
    }
    // Another connection, so that the call goes through the bus as a logger's does.
    QDBusConnection caller =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("caller"));
    QDBusMessage call =
        QDBusMessage::createMethodCall(remote::serviceName(RemoteInstance), remote::kObjectPath,
                                       remote::kInterface, QStringLiteral("Play"));
    call << slot;
    bench.wave().clearMarks();
    const Clock::time_point called = Clock::now();
    caller.asyncCall(call);
    waitForIdle(bench, LongestRemotePlay);
    return startFigures(bench, called);
}

PttFigures pttPlay(BenchWindow& bench, int slot, milliseconds lead, milliseconds tail) {
    const MainWindowUi& ui = bench.window().ui();
    bench.dialogs().answer = QString::number(lead.count());
    ui.pttLeadItem->trigger();
    bench.dialogs().answer = QString::number(tail.count());
    ui.pttTailItem->trigger();
    ui.voxItem->trigger();
    const TxState& tx = bench.window().station().transmitControls().state();
    if (!tx.txEnabled())
        BenchWindow::click(ui.txEnableButton);
    Clock::time_point down, up;
    const auto connection = QObject::connect(&tx, &TxState::transmittingChanged,
                                             [&](bool on) { (on ? down : up) = Clock::now(); });
    bench.selectMemory(slot);
    bench.wave().clearMarks();
    BenchWindow::click(ui.playButton);
    QObject::disconnect(connection);
    BenchWindow::click(ui.txEnableButton);
    const StartFigures start = startFigures(bench, down);
    return {start.firstBlockMs, start.firstSoundMs, msBetween(bench.wave().lastCompletion(), up)};
}

void runEventLoop(milliseconds length) {
    QEventLoop loop;
    QTimer::singleShot(length, &loop, &QEventLoop::quit);
    loop.exec();
}

std::map<std::string, ThreadUse> threadUse() {
    std::map<std::string, ThreadUse> threads;
    const QString mainId = QString::number(::getpid());
    const QStringList ids =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& id : ids) {
        const std::string dir = "/proc/self/task/" + id.toStdString();
        // schedstat: nanoseconds on the CPU, first field.
        const std::string runtime = procFirstLine(dir + "/schedstat");
        if (runtime.empty())
            continue;
        const std::string name = id == mainId
                                     ? std::string("main")
                                     : procFirstLine(dir + "/comm") + " (" + id.toStdString() + ")";
        threads[name] = {std::stod(runtime) / 1e9, procStatusValue(dir + "/status", WakeUpsKey)};
    }
    return threads;
}

PlayFigures playMessage(BenchWindow& bench, int slot) {
    PlayFigures f;
    bench.selectMemory(slot);
    f.soundSeconds = messageSeconds(bench, slot);
    const std::uint64_t underruns0 = bench.alsa().underruns();
    const auto threads0 = threadUse();
    std::map<std::string, ThreadUse> threads1;
    QTimer::singleShot(milliseconds(static_cast<long>(f.soundSeconds * 1000)) - ThreadReadBeforeEnd,
                       [&threads1] { threads1 = threadUse(); });
    bench.wave().clearMarks();
    const double cpu0 = processCpuSeconds();
    const Clock::time_point clicked = Clock::now();
    BenchWindow::click(bench.window().ui().playButton);
    const Clock::time_point returned = Clock::now();
    const double cpu1 = processCpuSeconds();

    f.wallSeconds = msBetween(clicked, returned) / 1000;
    f.cpuMsPerSecond = (cpu1 - cpu0) * 1000 / f.soundSeconds;
    f.firstBlockMs = msBetween(clicked, bench.wave().firstQueue());
    f.firstSoundMs = msBetween(clicked, bench.wave().firstCompletion()) - BlockMs;
    f.watchdogResets = bench.wave().resets() - 1;
    f.underruns = bench.alsa().underruns() - underruns0;
    const double measured = f.soundSeconds - ThreadReadBeforeEnd.count() / 1000.0;
    for (const auto& [name, used] : threads1) {
        const auto found = threads0.find(name);
        const ThreadUse before = found == threads0.end() ? ThreadUse{} : found->second;
        f.threadsPerSecond[name] = {(used.cpu - before.cpu) * 1000 / measured,
                                    (used.wakeUps - before.wakeUps) / measured};
    }
    return f;
}

void writePhrases(const QString& folder) {
    constexpr int Rate = 11025, ToneSamples = Rate * 350 / 1000, Silence = Rate * 50 / 1000;
    QDir().mkpath(folder + QStringLiteral("/phrases"));
    QStringList tokens{QStringLiteral("slash")};
    for (char c : std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"))
        tokens << QString(QLatin1Char(c));
    for (int k = 0; k < tokens.size(); ++k) {
        std::vector<std::int16_t> samples(std::size_t(Silence), 0);
        for (int i = 0; i < ToneSamples; ++i)
            samples.push_back(std::int16_t(8000 * std::sin(2 * M_PI * (300 + 40 * k) * i / Rate)));
        samples.insert(samples.end(), std::size_t(Silence), 0);
        if (!writeMessage(folder + "/phrases/" + tokens[k] + ".wav", samples.data(),
                          samples.size()))
            throw std::runtime_error("cannot write the phrases");
    }
}

double exchangeReadyMs(const QString& folder) {
    QElapsedTimer clock;
    clock.start();
    const SpokenExchange exchange = spokenExchange(PhraseBook(folder + QStringLiteral("/phrases")),
                                                   QStringLiteral("DL1ABC/P DK9XYZ 599012"));
    const Notice why = joinPieces(exchange, folder + QStringLiteral("/exchange.wav"));
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    if (exchange.files.size() != 20 || !why.isEmpty())
        throw std::runtime_error("the exchange was not joined: " + why.source().toStdString());
    return ms;
}

double operatorPttToUnkeyMs(BenchWindow& bench, int slot, milliseconds after, bool kernelWaits) {
    int master = -1, slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
        throw std::runtime_error("no pseudo-terminal for the operator's PTT");
    const UniqueFd ends[] = {UniqueFd(master), UniqueFd(slave)};
    const QString terminal = QString::fromLocal8Bit(::ttyname(slave));
    const QString com3 = bench.window().station().paths().dir() + QStringLiteral("/COM3");
    QFile::remove(com3);
    QFile::link(terminal, com3);
    modemlines::standIn(terminal,
                        kernelWaits ? modemlines::Wait::Kernel : modemlines::Wait::Refused);
    const MainWindowUi& ui = bench.window().ui();
    ui.comItems[2]->trigger();
    ui.operatorPttItems[1]->trigger();
    if (!bench.window().station().transmitControls().state().txEnabled())
        BenchWindow::click(ui.txEnableButton);
    Clock::time_point raised, released;
    QTimer::singleShot(after, [&] {
        raised = Clock::now();
        modemlines::setInputs(TIOCM_CTS);
    });
    // Released in the same call that clears DTR and RTS.
    const auto connection = QObject::connect(&bench.window().station().transmitControls().state(),
                                             &TxState::transmittingChanged, [&](bool on) {
                                                 if (!on)
                                                     released = Clock::now();
                                             });
    bench.selectMemory(slot);
    BenchWindow::click(ui.playButton);
    QObject::disconnect(connection);
    ui.operatorPttItems[0]->trigger();
    ui.voxItem->trigger();
    BenchWindow::click(ui.txEnableButton);
    return modemlines::outputs() == 0 ? msBetween(raised, released) : NAN;
}

double stopToResetMs(BenchWindow& bench, int slot, milliseconds after) {
    bench.selectMemory(slot);
    Clock::time_point stopClicked;
    QTimer::singleShot(after, [&] {
        stopClicked = Clock::now();
        BenchWindow::click(bench.window().ui().stopButton);
    });
    bench.wave().clearMarks();
    BenchWindow::click(bench.window().ui().playButton);
    return msBetween(stopClicked, bench.wave().lastResetDone());
}

RecordFigures recordMessage(BenchWindow& bench, int slot, milliseconds length) {
    RecordFigures f;
    bench.selectMemory(slot);
    const std::uint64_t overruns0 = bench.alsa().overruns();
    QTimer::singleShot(length, [&] { BenchWindow::click(bench.window().ui().stopButton); });
    const double cpu0 = processCpuSeconds();
    BenchWindow::click(bench.window().ui().recordButton);
    const double cpu1 = processCpuSeconds();
    f.soundSeconds = bench.window().station().keyerState().recordedBytes() / BytesPerSecond;
    f.cpuMsPerSecond = f.soundSeconds > 0 ? (cpu1 - cpu0) * 1000 / f.soundSeconds : 0;
    f.overruns = bench.alsa().overruns() - overruns0;
    return f;
}

double idleCpuMsPerSecond(BenchWindow& bench, milliseconds length, int& bells) {
    const int bells0 = bench.beeper().count;
    const double cpu0 = processCpuSeconds();
    runEventLoop(length);
    const double cpu1 = processCpuSeconds();
    bells = bench.beeper().count - bells0;
    return (cpu1 - cpu0) * 1000 / (static_cast<double>(length.count()) / 1000);
}

double tickingWindowCpuMsPerSecond(BenchWindow& bench, milliseconds length, bool moveBar) {
    constexpr int kSteps = 1000;
    // Lets the new window paint once before the measurement.
    constexpr milliseconds kFirstPaint(200);
    const auto blockTime = std::chrono::duration_cast<milliseconds>(std::chrono::duration<double>(
        static_cast<double>(kWaveBufferSamples) / WaveFormat{}.samplesPerSecond));
    QWidget window;
    window.resize(bench.window().size());
    auto* bar = new MeterBar(&window);
    bar->setRange(0, kSteps);
    bar->setTextVisible(false);
    bar->setGeometry(bench.window().ui().progressBar->geometry());
    window.show();
    runEventLoop(kFirstPaint);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    int step = 0;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (moveBar)
            bar->setValue(++step % kSteps);
    });
    tick.start(blockTime);
    const double cpu0 = processCpuSeconds();
    runEventLoop(length);
    const double cpu1 = processCpuSeconds();
    return (cpu1 - cpu0) * 1000 / (static_cast<double>(length.count()) / 1000);
}

LoopFigures loopMessage(BenchWindow& bench, int slot, int repetitions) {
    LoopFigures f;
    bench.selectMemory(slot);
    const MainWindowUi& ui = bench.window().ui();
    const KeyerState& state = bench.window().station().keyerState();
    QEventLoop loop;
    int ended = 0;
    Clock::time_point idleAt;
    bool idleSeen = false;
    const auto connection = QObject::connect(&state, &KeyerState::keyerIdleChanged, [&](bool idle) {
        const Clock::time_point now = Clock::now();
        if (!idle) {
            // A repetition starts: its first block is marked once it has been queued.
            bench.wave().clearMarks();
            return;
        }
        f.soundEndToIdleMs.add(msBetween(bench.wave().lastCompletion(), now));
        if (idleSeen && bench.wave().queued() > 0)
            f.pauseSeconds.add(msBetween(idleAt, bench.wave().firstQueue()) / 1000);
        idleAt = now;
        idleSeen = true;
        if (++ended == repetitions)
            loop.quit();
    });
    ui.loopDelayItems.front()->trigger();
    BenchWindow::click(ui.loopButton);
    bench.wave().clearMarks();
    BenchWindow::click(ui.playButton);
    if (ended < repetitions)
        loop.exec();
    QObject::disconnect(connection);
    BenchWindow::click(ui.resetButton);
    BenchWindow::click(ui.loopButton);
    return f;
}
