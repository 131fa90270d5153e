#pragma once

#include "audio/waveservice.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

// The rules every wave device keeps, checked on an input device: input buffers stay queued until
// the device is started, so what reset and close hand back can be seen.
namespace wavecontract {

inline bool waitDone(const WaveHeader& h, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (!h.isDone() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return h.isDone();
}

struct Buffer {
    std::vector<char> memory = std::vector<char>(wave::BufferBytes);
    WaveHeader header;
    Buffer() {
        header.data = memory.data();
        header.length = wave::BufferBytes;
    }
};

inline void closedHandlesFailWithoutEffect(WaveService& service, int inputDevice) {
    Buffer b;
    for (WaveHandle h : {NoWaveHandle, WaveHandle(4711)}) {
        QVERIFY(service.prepareHeader(h, b.header) != waveresult::Ok);
        QVERIFY(service.queueBuffer(h, b.header) != waveresult::Ok);
        QVERIFY(service.start(h) != waveresult::Ok);
        QVERIFY(service.reset(h) != waveresult::Ok);
        QVERIFY(service.unprepareHeader(h, b.header) != waveresult::Ok);
        QVERIFY(service.close(h) != waveresult::Ok);
        QCOMPARE(b.header.flags.load(), 0u);
    }
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Input, inputDevice, keyerWaveFormat(), {}, h),
             waveresult::Ok);
    QVERIFY(h != NoWaveHandle);
    QCOMPARE(service.close(h), waveresult::Ok);
    QVERIFY(service.prepareHeader(h, b.header) != waveresult::Ok);
    QVERIFY(service.close(h) != waveresult::Ok);
    QCOMPARE(b.header.flags.load(), 0u);
}

inline void headersFollowPrepareQueueUnprepare(WaveService& service, int inputDevice) {
    Buffer a;
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(WaveDirection::Input, inputDevice, keyerWaveFormat(), {}, h),
             waveresult::Ok);
    QVERIFY(service.queueBuffer(h, a.header) != waveresult::Ok); // not prepared
    QCOMPARE(service.prepareHeader(h, a.header), waveresult::Ok);
    QCOMPARE(service.queueBuffer(h, a.header), waveresult::Ok);
    QVERIFY(service.queueBuffer(h, a.header) != waveresult::Ok);     // already queued
    QVERIFY(service.unprepareHeader(h, a.header) != waveresult::Ok); // still queued
    QVERIFY(!a.header.isDone());
    QCOMPARE(service.reset(h), waveresult::Ok);
    QVERIFY(a.header.isDone());
    QCOMPARE(service.unprepareHeader(h, a.header), waveresult::Ok);
    QCOMPARE(service.close(h), waveresult::Ok);
}

// Reset hands back every queued buffer done and leaves the device taking new ones; close hands
// back what is still queued.
inline void resetAndCloseHandBackEveryBuffer(WaveService& service, int inputDevice,
                                             const std::function<void()>& deliver) {
    Buffer a, b, c;
    std::atomic<int> notified{0};
    WaveHandle h = NoWaveHandle;
    QCOMPARE(service.open(
                 WaveDirection::Input, inputDevice, keyerWaveFormat(), [&] { ++notified; }, h),
             waveresult::Ok);
    for (Buffer* x : {&a, &b}) {
        QCOMPARE(service.prepareHeader(h, x->header), waveresult::Ok);
        QCOMPARE(service.queueBuffer(h, x->header), waveresult::Ok);
    }
    QVERIFY(!a.header.isDone() && !b.header.isDone());
    QCOMPARE(service.reset(h), waveresult::Ok);
    QVERIFY(a.header.isDone() && b.header.isDone());
    QVERIFY(notified > 0);

    QCOMPARE(service.prepareHeader(h, c.header), waveresult::Ok);
    QCOMPARE(service.queueBuffer(h, c.header), waveresult::Ok);
    QCOMPARE(service.start(h), waveresult::Ok);
    if (deliver)
        deliver();
    QVERIFY(waitDone(c.header, std::chrono::seconds(5)));

    QCOMPARE(service.reset(h), waveresult::Ok); // stopped again: nothing fills what follows
    for (Buffer* x : {&a, &b}) {
        QCOMPARE(service.unprepareHeader(h, x->header), waveresult::Ok);
        x->header.flags = 0;
        QCOMPARE(service.prepareHeader(h, x->header), waveresult::Ok);
        QCOMPARE(service.queueBuffer(h, x->header), waveresult::Ok);
    }
    QVERIFY(!a.header.isDone() && !b.header.isDone());
    QCOMPARE(service.close(h), waveresult::Ok);
    QVERIFY(a.header.isDone() && b.header.isDone());
    QVERIFY(!(a.header.flags.load() & WaveHeader::InQueue));
}

} // namespace wavecontract
