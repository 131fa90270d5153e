// How much CPU the keyer's thread spends per second of playback while it waits for the sound
// device, when the device reports each completion to the event loop (as the keyer waits) and
// with a wait that polls the done flag in a loop.
//
// Usage: bench_waitcpu [seconds] [alsa PCM name]
// Without a PCM name the virtual device plays, paced in real time.
#include "audio/alsawaveservice.h"
#include "audio/audiodevices.h"
#include "audio/waveout.h"
#include "virtualwaveservice.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>

namespace {

// Shows a failed device call; true when the call succeeded.
bool ok(const WaveStatus& status) {
    if (!status.ok())
        std::fprintf(stderr, "Wave Device Message: %s\n", qPrintable(status.text().source()));
    return status.ok();
}

double seconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Figures {
    double wall;
    double cpu;
};

enum class Wait { Sleeping, Spinning };

// The playback loop's order of calls, with silence for sound.
Figures play(WaveOutEngine& out, int buffers, Wait how) {
    // A failure inside the loop ends it, as it ends the program.
    bool stop = false;
    auto queue = [&](Half h) { stop = !ok(out.queueBlock(h)) || stop; };
    auto wait = [&](Half h) {
        if (how == Wait::Spinning) {
            while (!out.header(h).done())
                QCoreApplication::processEvents();
        } else {
            QEventLoop loop;
            QObject receiver;
            out.reportCompletionsTo(&receiver, [&] {
                if (out.header(h).done())
                    loop.quit();
            });
            if (!out.header(h).done())
                loop.exec();
        }
    };
    std::memset(out.block(Half::A), 0, kWaveBufferBytes);
    std::memset(out.block(Half::B), 0, kWaveBufferBytes);
    out.prepareOutput();
    ok(out.openOutput());
    const double wall0 = seconds(CLOCK_MONOTONIC);
    const double cpu0 = seconds(CLOCK_THREAD_CPUTIME_ID);
    queue(Half::A);
    Half sounding = Half::A;
    for (int i = 1; i < buffers && !stop; ++i) {
        queue(other(sounding));
        wait(sounding);
        sounding = other(sounding);
    }
    wait(sounding);
    const Figures f{seconds(CLOCK_MONOTONIC) - wall0, seconds(CLOCK_THREAD_CPUTIME_ID) - cpu0};
    ok(out.resetOutput());
    ok(out.closeOutput());
    return f;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double playSeconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    std::unique_ptr<WaveService> service;
    const char* deviceName = "virtual device, paced in real time";
    if (argc > 2) {
        service = std::make_unique<AlsaWaveService>(
            std::vector<AlsaPcm>{{argv[2], QString::fromLocal8Bit(argv[2])}},
            std::vector<AlsaPcm>{});
        deviceName = argv[2];
    } else {
        auto virtualDevice = std::make_unique<VirtualWaveService>();
        virtualDevice->setRealTime(true);
        service = std::move(virtualDevice);
    }
    AudioDevices devices;
    WaveOutEngine out(*service, devices);
    const double rate = WaveFormat{}.samplesPerSecond;
    const int buffers = static_cast<int>(playSeconds * rate / kWaveBufferSamples + 0.5);

    std::printf("%d buffers (%.2f s of sound) on %s\n", buffers,
                buffers * kWaveBufferSamples / rate, deviceName);
    std::printf("%-10s %10s %12s %22s\n", "wait", "wall s", "CPU ms", "CPU ms per s of sound");
    for (Wait how : {Wait::Sleeping, Wait::Spinning}) {
        const Figures f = play(out, buffers, how);
        std::printf("%-10s %10.3f %12.1f %22.2f\n", how == Wait::Sleeping ? "reported" : "spinning",
                    f.wall, f.cpu * 1000, f.cpu * 1000 / f.wall);
    }
    return 0;
}
