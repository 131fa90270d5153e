#pragma once

#include "audio/waveenginehost.h"
#include "audio/waveinengine.h"
#include "audio/waveoutengine.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <algorithm>
#include <cstring>

// The keyer's side of the engines, as plain flags a test sets.
class FakeWaveEngineHost final : public WaveEngineHost {
public:
    bool stop = true;
    bool timedOut = false;
    bool dialogVisible = false;
    int terminationRequests = 0;

    bool stopRequested() const override { return stop; }
    bool bufferWaitTimedOut() const override { return timedOut; }
    bool soundCardDialogVisible() const override { return dialogVisible; }
    void requestTermination() override { ++terminationRequests; }
};

inline WaveBuffer otherBuffer(WaveBuffer b) {
    return b == WaveBuffer::A ? WaveBuffer::B : WaveBuffer::A;
}

// Distinct, recognisable sound for block number n.
inline QByteArray testBlock(int n) {
    QByteArray block(wave::BufferBytes, Qt::Uninitialized);
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>((n * 37 + i * 7 + i / 256) & 0xff);
    return block;
}

// Plays the blocks in the calling order of the keyer's playback loop and waits until the last
// one has been played; returns the milliseconds from the first write to that moment.
inline qint64 playBlocks(WaveOutEngine& out, FakeWaveEngineHost& host,
                         const QList<QByteArray>& blocks) {
    auto fill = [&](WaveBuffer b, const QByteArray& data) {
        std::memset(out.block(b), 0, wave::BufferBytes);
        std::memcpy(out.block(b), data.constData(),
                    std::min<size_t>(static_cast<size_t>(data.size()), wave::BufferBytes));
    };
    auto queue = [&](WaveBuffer b) {
        if (b == WaveBuffer::A) {
            out.RearmOutHeaderA();
            out.PrepareOutHeaderA();
            out.WriteOutHeaderA();
        } else {
            out.RearmOutHeaderB();
            out.PrepareOutHeaderB();
            out.WriteOutHeaderB();
        }
    };
    fill(WaveBuffer::A, blocks.value(0));
    out.SetupWaveOut();
    out.OpenWaveOut();
    QElapsedTimer clock;
    clock.start();
    queue(WaveBuffer::A);
    host.stop = false;
    WaveBuffer sounding = WaveBuffer::A;
    for (int next = 1;; ++next) {
        const bool more = next < blocks.size();
        if (more) {
            fill(otherBuffer(sounding), blocks[next]);
            queue(otherBuffer(sounding));
        }
        if (sounding == WaveBuffer::A)
            out.WaitOutHeaderA();
        else
            out.WaitOutHeaderB();
        if (host.stop || !more)
            break;
        if (sounding == WaveBuffer::A)
            out.UnprepareOutHeaderA();
        else
            out.UnprepareOutHeaderB();
        sounding = otherBuffer(sounding);
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
    auto queue = [&](WaveBuffer b) {
        if (b == WaveBuffer::A) {
            in.RearmInHeaderA();
            in.PrepareInHeaderA();
            in.AddInBufferA();
        } else {
            in.RearmInHeaderB();
            in.PrepareInHeaderB();
            in.AddInBufferB();
        }
    };
    QByteArray stored;
    host.stop = false;
    in.SetupWaveIn();
    in.OpenWaveIn();
    QElapsedTimer clock;
    clock.start();
    queue(WaveBuffer::A);
    in.StartWaveIn();
    WaveBuffer filling = WaveBuffer::A;
    for (int i = 0; i < count; ++i) {
        queue(otherBuffer(filling));
        if (filling == WaveBuffer::A)
            in.WaitInHeaderA();
        else
            in.WaitInHeaderB();
        if (host.stop)
            break;
        if (filling == WaveBuffer::A)
            in.UnprepareInHeaderA();
        else
            in.UnprepareInHeaderB();
        stored.append(in.block(filling), wave::BufferBytes);
        filling = otherBuffer(filling);
    }
    if (elapsedMs)
        *elapsedMs = clock.elapsed();
    in.ResetWaveIn();
    in.CloseWaveIn();
    host.stop = true;
    return stored;
}
