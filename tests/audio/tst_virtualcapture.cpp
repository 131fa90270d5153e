#include "audio/virtualwaveservice.h"

#include <QTest>

#include <vector>

namespace {
using Dir = WaveService::Direction;
constexpr std::uint8_t kStale = 0xA5; // what a block held before the device filled it
constexpr std::uint32_t kBlock = 2096;
} // namespace

// The virtual input device hands out the samples it was fed and silence after them. The case with
// nothing fed at all once passed a null source to memcpy: harmless in practice, undefined all
// the same, and what every recording of the program did before a sound card backend exists.
class VirtualCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void fillsBlocksWithTheFedSamplesThenSilence_data() {
        QTest::addColumn<int>("fed");
        QTest::newRow("nothing fed") << 0;
        QTest::newRow("part of a block") << 1000;
        QTest::newRow("more than a block") << 3000;
    }

    void fillsBlocksWithTheFedSamplesThenSilence() {
        QFETCH(int, fed);
        std::vector<std::uint8_t> samples(static_cast<std::size_t>(fed));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::uint8_t>(i % 251 + 1);

        VirtualWaveService wave;
        wave.setCapture(samples);
        WaveService::Handle handle = 0;
        QCOMPARE(wave.open(Dir::Input, handle, 0, WaveFormat{}), 0);

        std::vector<std::uint8_t> blocks[2];
        WaveHeader headers[2];
        for (int i = 0; i < 2; ++i) {
            blocks[i].assign(kBlock, kStale);
            headers[i].data = blocks[i].data();
            headers[i].bufferLength = kBlock;
            QCOMPARE(wave.prepare(handle, headers[i]), 0);
            QCOMPARE(wave.queue(handle, headers[i]), 0);
        }
        QCOMPARE(wave.start(handle), 0);
        QVERIFY(wave.completeNext(Dir::Input));
        QVERIFY(wave.completeNext(Dir::Input));

        std::vector<std::uint8_t> got(blocks[0]);
        got.insert(got.end(), blocks[1].begin(), blocks[1].end());
        std::vector<std::uint8_t> expected(samples);
        expected.resize(2 * kBlock, 0);
        QVERIFY(got == expected);
        for (const WaveHeader& h : headers) {
            QVERIFY(h.done());
            QCOMPARE(h.bytesRecorded.load(), kBlock);
        }

        for (WaveHeader& h : headers)
            QCOMPARE(wave.unprepare(handle, h), 0);
        QCOMPARE(wave.close(handle), 0);
    }
};

QTEST_GUILESS_MAIN(VirtualCaptureTest)
#include "tst_virtualcapture.moc"
