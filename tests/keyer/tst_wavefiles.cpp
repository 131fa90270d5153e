// Wave files as other programs write them: any rate, layout and sample coding.
#include "audiopump.h"
#include "windowharness.h"

#include <QtTest>

#include <cmath>
#include <cstring>

namespace {
constexpr int kDeviceRate = 11025;
constexpr double kToneHz = 1000;

// A 1 kHz tone over a steady offset, so that no sample of the message is silent: the last
// non-zero sample that reaches the device marks the message's end.
WaveBytes toneFile(quint16 tag, quint16 channels, quint32 rate, quint16 bits, int frames) {
    WaveBytes wave;
    wave.formatTag = tag;
    wave.channels = channels;
    wave.samplesPerSecond = rate;
    wave.bitsPerSample = bits;
    const int bytes = (bits + 7) / 8;
    wave.blockAlign = static_cast<quint16>(channels * bytes);
    wave.bytesPerSecond = rate * wave.blockAlign;
    for (int f = 0; f < frames; ++f) {
        const double v = 0.25 + 0.12 * std::sin(2 * M_PI * kToneHz * f / rate);
        for (int c = 0; c < channels; ++c) {
            char raw[8];
            if (tag == 3 && bits == 32) {
                const float x = static_cast<float>(v);
                std::memcpy(raw, &x, 4);
            } else if (tag == 3) {
                std::memcpy(raw, &v, 8);
            } else if (bits == 8) {
                raw[0] = static_cast<char>(128 + std::lround(v * 127));
            } else {
                const qint32 x = static_cast<qint32>(std::lround(v * 2147483647.0));
                const QByteArray le = WaveBytes::le32(static_cast<quint32>(x));
                std::memcpy(raw, le.constData() + 4 - bytes, bytes);
            }
            wave.samples.append(raw, bytes);
        }
    }
    return wave;
}

} // namespace

class WaveFilesTest : public QObject {
    Q_OBJECT

private slots:
    void playsAnyPcmOrFloatFileAtItsOwnSpeed_data() {
        QTest::addColumn<int>("tag");
        QTest::addColumn<int>("channels");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("refusal"); // empty: it plays
        QTest::newRow("44.1 kHz stereo") << 1 << 2 << 44100 << 16 << QString();
        QTest::newRow("48 kHz") << 1 << 1 << 48000 << 16 << QString();
        QTest::newRow("8-bit 8 kHz") << 1 << 1 << 8000 << 8 << QString();
        QTest::newRow("24-bit 22.05 kHz stereo") << 1 << 2 << 22050 << 24 << QString();
        QTest::newRow("float") << 3 << 1 << 16000 << 32 << QString();
        QTest::newRow("double 11025") << 3 << 1 << 11025 << 64 << QString();
        QTest::newRow("ADPCM") << 2 << 1 << 8000 << 4 << "ADPCM, 4 bits, 1 channel, 8000 Hz";
        QTest::newRow("mu-law") << 7 << 2 << 8000 << 8 << "mu-law, 8 bits, 2 channels, 8000 Hz";
        QTest::newRow("16-bit float")
            << 3 << 1 << 8000 << 16 << "float, 16 bits, 1 channel, 8000 Hz";
    }

    void playsAnyPcmOrFloatFileAtItsOwnSpeed() {
        QFETCH(int, tag);
        QFETCH(int, channels);
        QFETCH(int, rate);
        QFETCH(int, bits);
        QFETCH(QString, refusal);
        const int frames = rate * 7 / 10 + 3; // 0.7 s, not a whole number of device samples
        WindowHarness h;
        QVERIFY(writeBytes(h.slotPath(1), toneFile(tag, channels, rate, bits, frames).bytes()));
        TTavrin& w = h.open();
        w.ui().Printer1->trigger();
        click(w.ui().TransmitBtn);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { click(w.ui().PlayBtn); }); // pause: the rest follows on resume
        click(w.ui().PlayBtn);

        if (!refusal.isEmpty()) {
            QCOMPARE(h.dialogs.texts(),
                     QStringList{"Cannot play a wave file in this format: " + refusal});
            QVERIFY(!h.everKeyed() && !h.wave.isOpen(Dir::Output) && h.wave.played().isEmpty());
            return;
        }
        click(w.ui().PlayBtn);
        QVERIFY(h.dialogs.messages.isEmpty());
        const QByteArray bytes = h.wave.played();
        QVector<qint16> out(int(bytes.size() / 2));
        std::memcpy(out.data(), bytes.data(), bytes.size());
        int length = out.size();
        while (length > 0 && out[length - 1] == 0)
            --length;
        // The message lasts as long as the file, to the nearest sample of the device.
        QVERIFY2(std::abs(2.0 * length * rate - 2.0 * frames * kDeviceRate) <= rate,
                 qPrintable(QString::number(length)));
        // Its pitch: the tone's crossings of its mean, away from the converter's edges.
        const int from = 50, to = length - 50;
        double mean = 0;
        for (int i = from; i < to; ++i)
            mean += out[i];
        mean /= to - from;
        int crossings = 0;
        for (int i = from + 1; i < to; ++i)
            crossings += (out[i - 1] < mean) != (out[i] < mean);
        const double hz = crossings / 2.0 * kDeviceRate / (to - from);
        QVERIFY2(std::abs(hz - kToneHz) <= kToneHz / 100, qPrintable(QString::number(hz)));
    }
};

QTEST_MAIN(WaveFilesTest)
#include "tst_wavefiles.moc"
