#pragma once

#include "audio/waveservice.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// The rules every wave device keeps, checked on an input device: input buffers stay queued until
// the device is started, so what reset and close do with them can be seen.
namespace wavecontract {

using Dir = WaveService::Direction;

inline bool waitDone(const WaveHeader& h, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!h.done() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return h.done();
}

struct Buffer {
    std::vector<std::uint8_t> memory = std::vector<std::uint8_t>(kWaveBufferBytes);
    WaveHeader header;
    Buffer() {
        header.data = memory.data();
        header.bufferLength = kWaveBufferBytes;
    }
};

inline void closedHandlesFailWithoutEffect(WaveService& service) {
    Buffer b;
    for (WaveService::Handle h : {WaveService::Handle(0), WaveService::Handle(4711)}) {
        QVERIFY(service.prepare(h, b.header) != 0);
        QVERIFY(service.queue(h, b.header) != 0);
        QVERIFY(service.start(h) != 0);
        QVERIFY(service.reset(h) != 0);
        QVERIFY(service.unprepare(h, b.header) != 0);
        QVERIFY(service.close(h) != 0);
        QCOMPARE(b.header.flags.load(), 0u);
    }
    WaveService::Handle h = 0;
    QCOMPARE(service.open(Dir::Input, h, 0, WaveFormat{}), 0);
    QVERIFY(h != 0);
    QCOMPARE(service.close(h), 0);
    QVERIFY(service.prepare(h, b.header) != 0);
    QVERIFY(service.close(h) != 0);
    QCOMPARE(b.header.flags.load(), 0u);
}

inline void headersFollowPrepareQueueUnprepare(WaveService& service) {
    Buffer a;
    WaveService::Handle h = 0;
    QCOMPARE(service.open(Dir::Input, h, 0, WaveFormat{}), 0);
    QVERIFY(service.queue(h, a.header) != 0); // not prepared
    QCOMPARE(service.prepare(h, a.header), 0);
    QCOMPARE(service.queue(h, a.header), 0);
    QVERIFY(service.unprepare(h, a.header) != 0); // still queued
    QVERIFY(!a.header.done());
    // A device is not closed under its queued buffers.
    QVERIFY(service.close(h) != 0);
    QVERIFY(!a.header.done());
    QCOMPARE(service.reset(h), 0);
    QVERIFY(a.header.done());
    QCOMPARE(service.unprepare(h, a.header), 0);
    QCOMPARE(service.close(h), 0);
}

// Reset hands back every queued buffer done, wakes the waiting thread and leaves the device
// taking new buffers.
inline void resetHandsBackEveryBuffer(WaveService& service, const std::function<void()>& deliver) {
    Buffer a, b, c;
    std::atomic<int> notified{0};
    service.setCompletionNotifier([&] { ++notified; });
    WaveService::Handle h = 0;
    QCOMPARE(service.open(Dir::Input, h, 0, WaveFormat{}), 0);
    for (Buffer* x : {&a, &b}) {
        QCOMPARE(service.prepare(h, x->header), 0);
        QCOMPARE(service.queue(h, x->header), 0);
    }
    QVERIFY(!a.header.done() && !b.header.done());
    QCOMPARE(service.reset(h), 0);
    QVERIFY(a.header.done() && b.header.done());
    QVERIFY(notified > 0);

    QCOMPARE(service.prepare(h, c.header), 0);
    QCOMPARE(service.queue(h, c.header), 0);
    QCOMPARE(service.start(h), 0);
    if (deliver)
        deliver();
    QVERIFY(waitDone(c.header, std::chrono::seconds(5)));
    QCOMPARE(c.header.bytesRecorded.load(), std::uint32_t(kWaveBufferBytes));
    QCOMPARE(service.close(h), 0);
    service.setCompletionNotifier({});
}

} // namespace wavecontract
