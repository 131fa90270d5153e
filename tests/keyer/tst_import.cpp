// Sound files from audio editors: imported into a memory, copied in by hand, and saved out.
#include "audiopump.h"
#include "filesizelimit.h"
#include "tonefile.h"
#include "windowharness.h"

#include <QtTest>

#include <cstring>

namespace {
constexpr int kDeviceRate = 11025;
const QByteArray kOldMessage = pattern(3 * kBlock, 5);
} // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void anySoundFileKeepsLengthAndPitch_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("amplitude"); // over 0.75 goes past full scale
        QTest::newRow("WAV 8-bit 22.05 kHz")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) << 22050 << 1 << 0.2;
        QTest::newRow("WAV 16-bit 44.1 kHz stereo")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 44100 << 2 << 0.2;
        QTest::newRow("WAV 24-bit 48 kHz")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_24) << 48000 << 1 << 0.2;
        QTest::newRow("WAV float hot") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 44100 << 2 << 1.5;
        QTest::newRow("FLAC 16-bit 48 kHz stereo")
            << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 48000 << 2 << 0.2;
        QTest::newRow("FLAC 24-bit 22.05 kHz")
            << (SF_FORMAT_FLAC | SF_FORMAT_PCM_24) << 22050 << 1 << 0.2;
        QTest::newRow("Ogg Vorbis 44.1 kHz stereo")
            << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << 44100 << 2 << 0.2;
        QTest::newRow("AIFF float 11025 Hz hot")
            << (SF_FORMAT_AIFF | SF_FORMAT_FLOAT) << 11025 << 1 << 1.5;
    }

    // Imported into memory 1 over an old message, and copied by hand as memory 2 and played: the
    // length is frames × 11025 / rate, halves rounded up, to the sample, the pitch within 1 %.
    void anySoundFileKeepsLengthAndPitch() {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, amplitude);
        const int frames = rate * 7 / 10 + 2; // 22.05 kHz gives a half, 48 kHz rounds up
        const int expected = (frames * kDeviceRate + rate / 2) / rate;
        WindowHarness h;
        const QString source = h.home.filePath(QStringLiteral("edited"));
        QVERIFY(writeTone(source, format, rate, channels, frames, amplitude));
        h.writeMessage(1, kOldMessage);
        QVERIFY(QFile::copy(source, h.slotPath(2)));
        TTavrin& w = h.open();
        h.dialogs.fileAnswers << source;
        h.dialogs.yesNoAnswers << true;
        item(w, "ImportMessage1")->trigger();

        QCOMPARE(h.dialogs.messages.size(), 2); // the question, then the outcome
        QCOMPARE(h.dialogs.messages[1].text.contains("clipped"), amplitude > 0.75);
        const Sound imported = readSound(h.slotPath(1));
        QCOMPARE(imported.info.samplerate, kDeviceRate);
        QCOMPARE(imported.info.channels, 1);
        QCOMPARE(int(imported.samples.size()), expected);
        QVERIFY(std::abs(toneHz(imported.samples, kDeviceRate) - 1000) <= 10);
        const auto [low, high] =
            std::minmax_element(imported.samples.begin(), imported.samples.end());
        QCOMPARE(*high == 32767 && *low == -32768, amplitude > 0.75);

        click(w.ui().MemBtn[1]);
        AudioPump pump(h.wave, Dir::Output);
        click(w.ui().PlayBtn);
        const QByteArray bytes = h.wave.played();
        std::vector<short> played(bytes.size() / 2);
        std::memcpy(played.data(), bytes.data(), bytes.size());
        while (!played.empty() && played.back() == 0)
            played.pop_back();
        QCOMPARE(int(played.size()), expected);
        QVERIFY(std::abs(toneHz(played, kDeviceRate) - 1000) <= 10);
    }

    void failedImportKeepsOldMessage_data() {
        QTest::addColumn<bool>("sound");
        QTest::addColumn<bool>("replace"); // on a disk that is full
        QTest::addColumn<QString>("told"); // the start of the last message
        QTest::newRow("not a sound file") << false << false << "Could not import the file: ";
        QTest::newRow("replacing refused") << true << false << "Memory 1 holds a message. Replace";
        QTest::newRow("disk full") << true << true << "Could not write the Wave file";
    }

    void failedImportKeepsOldMessage() {
        QFETCH(bool, sound);
        QFETCH(bool, replace);
        QFETCH(QString, told);
        WindowHarness h;
        const QString source = h.home.filePath(QStringLiteral("edited.wav"));
        QVERIFY(sound ? writeTone(source, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 8000, 1, 800, 0.2)
                      : writeBytes(source, "CQ contest"));
        h.writeMessage(1, kOldMessage);
        const QByteArray old = readBytes(h.slotPath(1));
        TTavrin& w = h.open();
        h.dialogs.fileAnswers << source;
        h.dialogs.yesNoAnswers << replace;
        {
            std::unique_ptr<FileSizeLimit> disk(replace ? new FileSizeLimit(1000) : nullptr);
            item(w, "ImportMessage1")->trigger();
        }
        QVERIFY2(h.dialogs.texts().last().startsWith(told), qPrintable(h.dialogs.texts().last()));
        QCOMPARE(readBytes(h.slotPath(1)), old);
        QCOMPARE(QDir(h.installDir()).entryList({"memory*"}, QDir::Files | QDir::Hidden),
                 QStringList{"memory1.wav"});
    }

    void saveWaveReadsBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("major");
        QTest::newRow("WAV") << "out.wav" << int(SF_FORMAT_WAV);
        QTest::newRow("FLAC") << "out.FLAC" << int(SF_FORMAT_FLAC);
    }

    void saveWaveReadsBack() {
        QFETCH(QString, name);
        QFETCH(int, major);
        WindowHarness h;
        h.writeMessage(1, kOldMessage);
        TTavrin& w = h.open();
        h.dialogs.saveAnswers << h.home.filePath(name);
        item(w, "SaveWave1")->trigger();
        QVERIFY(h.dialogs.messages.isEmpty());
        const Sound saved = readSound(h.home.filePath(name));
        QCOMPARE(saved.info.format & SF_FORMAT_TYPEMASK, major);
        QCOMPARE(saved.info.samplerate, kDeviceRate);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(saved.samples.data()),
                            int(saved.samples.size() * 2)),
                 kOldMessage);
    }
};

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
