// Sound files from audio editors: imported into a memory, copied in by hand, saved out again.
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "tonefile.h"
#include "windowharness.h"

#include <QtTest>

#include <cstring>

constexpr int kRate = 11025;
const QByteArray kOldMessage = pattern(3 * kBlock, 5);

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void anySoundFileKeepsLengthAndPitch_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<double>("amplitude"); // over 0.75 goes past full scale
        QTest::newRow("WAV 8-bit 22k") << (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) << 22050 << 1 << .2;
        QTest::newRow("WAV 16 44k 2ch") << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 44100 << 2 << .2;
        QTest::newRow("WAV 24-bit 48k") << (SF_FORMAT_WAV | SF_FORMAT_PCM_24) << 48000 << 1 << .2;
        QTest::newRow("WAV float hot") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 44100 << 2 << 1.5;
        QTest::newRow("FLAC 16 48k 2ch") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 48000 << 2 << .2;
        QTest::newRow("FLAC 24-bit 22k") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_24) << 22050 << 1 << .2;
        QTest::newRow("Ogg 44k 2ch") << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << 44100 << 2 << .2;
        QTest::newRow("AIFF float hot") << (SF_FORMAT_AIFF | SF_FORMAT_FLOAT) << 11025 << 1 << 1.5;
        QTest::newRow("WAV double 8k") << (SF_FORMAT_WAV | SF_FORMAT_DOUBLE) << 8000 << 1 << .2;
        QTest::newRow("WAV float at full scale")
            << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 11025 << 1 << .75;
    }

    // Imported into memory 1 over an old message, then saved as FLAC; copied by hand as memory 2,
    // played, paused and resumed. Length: frames × 11025 / rate, halves rounded up, exactly.
    void anySoundFileKeepsLengthAndPitch() {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, amplitude);
        const int frames = rate * 7 / 10 + 2; // 22.05 kHz gives a half, 48 kHz rounds up
        const int expected = (frames * kRate + rate / 2) / rate;
        WindowHarness h;
        const QString source = h.home.filePath("edited"), saved = h.home.filePath("out.FLAC");
        QVERIFY(writeTone(source, format, rate, channels, frames, amplitude));
        h.writeMessage(1, kOldMessage);
        h.writeMessage(3, kOldMessage);
        QVERIFY(QFile::copy(source, h.slotPath(2)));
        TTavrin& w = h.open();
        h.dialogs.fileAnswers << h.slotPath(3) << source; // a file opened, then the import
        h.dialogs.yesNoAnswers << true;
        h.dialogs.saveAnswers << saved;
        item(w, "RetrieveWave1")->trigger();
        item(w, "ImportMessage1")->trigger();
        item(w, "SaveWave1")->trigger();

        QCOMPARE(h.dialogs.messages.value(1).text.contains("clipped"), amplitude > 0.75);
        SF_INFO info, flac;
        const std::vector<short> imported = readSound(h.slotPath(1), info);
        QCOMPARE(QList<int>({info.samplerate, info.channels, int(imported.size())}),
                 QList<int>({kRate, 1, expected}));
        QVERIFY(std::abs(toneHz(imported, kRate) - 1000) <= 10);
        const auto [low, high] = std::minmax_element(imported.begin(), imported.end());
        QCOMPARE(*high == 32767 && *low == -32768, amplitude > 0.75); // clipped, not wrapped
        QVERIFY(amplitude > 0.75 ||
                std::abs(*high / 32768.0 - 0.25 - amplitude) < 0.02); // mixed, not summed
        QVERIFY(readSound(saved, flac) == imported &&
                flac.format == (SF_FORMAT_FLAC | SF_FORMAT_PCM_16));

        click(w.ui().MemBtn[1]);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { click(w.ui().PlayBtn); });
        click(w.ui().PlayBtn);
        click(w.ui().PlayBtn);
        QVERIFY(h.dialogs.messages.size() == 2 && w.keyerState().keyerStopped());
        std::vector<short> played(h.wave.played().size() / 2);
        std::memcpy(played.data(), h.wave.played().constData(), played.size() * 2);
        while (!played.empty() && played.back() == 0)
            played.pop_back();
        QCOMPARE(int(played.size()), expected);
        QVERIFY(std::abs(toneHz(played, kRate) - 1000) <= 10);
    }

    // The rate of a sound file (none: text), replacing answered Yes (on a disk that is full), the
    // last message.
    void failedImportKeepsOldMessage_data() {
        rows({"||Could not import the file: ", "8000||Memory 1 holds a message. Replace",
              "8000|replace|Could not write the Wave file",
              "1||Could not import the file: its sound is 1 Hz, outside the rates Tavrin converts "
              "(1000 to 768000 Hz)."});
    }

    void failedImportKeepsOldMessage() {
        QFETCH(QStringList, row);
        const bool sound = !row[0].isEmpty(), replace = !row[1].isEmpty();
        const QString told = row[2];
        WindowHarness h;
        const QString source = h.home.filePath("edited.wav");
        QVERIFY(
            sound ? writeTone(source, SF_FORMAT_WAV | SF_FORMAT_PCM_16, row[0].toInt(), 1, 800, 0.2)
                  : writeBytes(source, "CQ contest"));
        h.writeMessage(1, kOldMessage);
        TTavrin& w = h.open();
        h.dialogs.fileAnswers << source;
        h.dialogs.yesNoAnswers << replace;
        {
            std::unique_ptr<FileSizeLimit> disk(replace ? new FileSizeLimit(1000) : nullptr);
            item(w, "ImportMessage1")->trigger();
        }
        QVERIFY2(h.dialogs.texts().last().startsWith(told), qPrintable(h.dialogs.texts().last()));
        QVERIFY(readBytes(h.slotPath(1)).endsWith(kOldMessage));
        QCOMPARE(QDir(h.installDir()).entryList({"memory*"}, QDir::Files | QDir::Hidden),
                 QStringList{"memory1.wav"});
    }
};

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
