#pragma once

#include "audio/audiodevices.h"
#include "audio/virtualwaveservice.h"
#include "audio/wavedeviceerror.h"
#include "audio/waveenginehost.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "fakedialogs.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QTest>

#include <algorithm>
#include <cstring>

// The keyer's side of the engines, as plain flags a test sets.
class FakeWaveEngineHost final : public WaveEngineHost {
public:
    bool stop = true;
    bool timedOut = false;
    bool dialogVisible = false;
    int terminationRequests = 0;
    int deviceFailures = 0;

    bool stopRequested() const override { return stop; }
    bool bufferWaitTimedOut() const override { return timedOut; }
    bool soundCardDialogVisible() const override { return dialogVisible; }
    void requestTermination() override { ++terminationRequests; }
    void deviceFailed() override { ++deviceFailures; }
};

// Both engines on one wave service, with the policy, settings and doubles they need.
struct EngineRig {
    explicit EngineRig(WaveService& service)
        : out(service, devices, dialogs, host, policy),
          in(service, devices, dialogs, host, policy) {
        policy.attachInput(in);
    }

    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDevices devices;
    WaveDeviceErrorPolicy policy{host};
    WaveOutEngine out;
    WaveInEngine in;
};

// Distinct, recognisable sound for block number n.
inline QByteArray testBlock(int n) {
    QByteArray block(kWaveBufferBytes, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((n * 37 + i * 7 + i / 256) & 0xff);
    return block;
}

inline QList<QByteArray> testBlocks(int count) {
    QList<QByteArray> blocks;
    for (int n = 0; n < count; ++n)
        blocks << testBlock(n);
    return blocks;
}

// One failing device call of an engine: the step of the test that makes it, the call that is
// made to fail and the message it must show.
struct FailureRow {
    const char* name;
    int step;
    VirtualWaveService::Op op;
    const char* text;
};

// Each failure both while idle and while the engine's loop runs ("busy").
inline void addFailureRows(std::initializer_list<FailureRow> rows, const char* busy) {
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("op");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("stopRequested");
    for (const FailureRow& r : rows) {
        for (bool stop : {false, true}) {
            QTest::addRow("%s, %s", r.name, stop ? "idle" : busy)
                << r.step << static_cast<int>(r.op) << QString::fromLatin1(r.text) << stop;
        }
    }
}

// Plays the blocks in the calling order of the keyer's playback loop and waits until the last
// one has been played; returns the milliseconds from the first write to that moment.
inline qint64 playBlocks(WaveOutEngine& out, FakeWaveEngineHost& host,
                         const QList<QByteArray>& blocks) {
    auto fill = [&](Half h, const QByteArray& data) {
        std::memset(out.block(h), 0, kWaveBufferBytes);
        std::memcpy(out.block(h), data.constData(),
                    std::min<std::size_t>(static_cast<std::size_t>(data.size()), kWaveBufferBytes));
    };
    auto queue = [&](Half h) {
        out.RearmOutHeader(h);
        out.PrepareOutHeader(h);
        out.WriteOutHeader(h);
    };
    fill(Half::A, blocks.value(0));
    out.SetupWaveOut();
    out.OpenWaveOut();
    QElapsedTimer clock;
    clock.start();
    queue(Half::A);
    host.stop = false;
    Half sounding = Half::A;
    for (int next = 1;; ++next) {
        const bool more = next < blocks.size();
        if (more) {
            fill(other(sounding), blocks[next]);
            queue(other(sounding));
        }
        out.WaitOutHeader(sounding);
        if (host.stop || !more)
            break;
        out.UnprepareOutHeader(sounding);
        sounding = other(sounding);
    }
    const qint64 elapsed = clock.elapsed();
    out.ResetWaveOut();
    out.CloseWaveOut();
    host.stop = true;
    return elapsed;
}

// Records count blocks in the calling order of the keyer's recording loop; returns what was
// stored, block after block.
inline QByteArray recordBlocks(WaveInEngine& in, FakeWaveEngineHost& host, int count,
                               qint64* elapsedMs = nullptr) {
    auto queue = [&](Half h) {
        in.RearmInHeader(h);
        in.PrepareInHeader(h);
        in.AddInBuffer(h);
    };
    QByteArray stored;
    host.stop = false;
    in.SetupWaveIn();
    in.OpenWaveIn();
    QElapsedTimer clock;
    clock.start();
    queue(Half::A);
    in.StartWaveIn();
    Half filling = Half::A;
    for (int i = 0; i < count; ++i) {
        queue(other(filling));
        in.WaitInHeader(filling);
        if (host.stop)
            break;
        in.UnprepareInHeader(filling);
        stored.append(reinterpret_cast<const char*>(in.block(filling)), kWaveBufferBytes);
        filling = other(filling);
    }
    if (elapsedMs)
        *elapsedMs = clock.elapsed();
    in.ResetWaveIn();
    in.CloseWaveIn();
    host.stop = true;
    return stored;
}
