// Sound files from audio editors: imported into a memory, copied in by hand, saved out again.
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "tonefile.h"
#include "windowharness.h"

#include <QProgressDialog>
#include <QtTest>

#include <cstring>
#include <sys/stat.h>
#include <sys/sysmacros.h>

constexpr int kRate = 11025;
const QByteArray kOldMessage = pattern(3 * kBlock, 5);

// Puts at path what a row names: a message, a named pipe, a link to a device node, or nothing.
bool place(const QString& path, const QString& kind) {
    if (kind == "pipe")
        return ::mkfifo(QFile::encodeName(path), 0644) == 0;
    if (kind == "device")
        return ::mknod(QFile::encodeName(path + ".node"), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
               QFile::link(path + ".node", path);
    WaveBytes old;
    old.samples = kOldMessage;
    return kind.isEmpty() || writeBytes(path, old.bytes());
}
// What lies at path, without opening anything that could block.
QByteArray describe(const QString& path) {
    struct stat link = {};
    ::lstat(QFile::encodeName(path).constData(), &link);
    return QByteArray::number(link.st_mode, 8) + (S_ISREG(link.st_mode) ? readBytes(path) : "");
}

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    // Container and coding, rate, channels, amplitude (over 0.75 goes past full scale).
    void anySoundFileKeepsLengthAndPitch_data() {
        columns<int, int, int, double>("format", "rate", "channels", "amplitude");
        const auto row = [](const char* name, int format, int rate, int channels,
                            double amplitude) {
            QTest::addRow("%s, %d Hz", name, rate) << format << rate << channels << amplitude;
        };
        row("WAV U8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 22050, 1, .2);
        row("WAV 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, .2);
        row("WAV 24", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 48000, 1, .2);
        row("WAV float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 1.5);
        row("FLAC 16", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, .2);
        row("FLAC 24", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 22050, 1, .2);
        row("OGG VORBIS", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2, .2);
        row("AIFF float", SF_FORMAT_AIFF | SF_FORMAT_FLOAT, 11025, 1, 1.5);
        row("WAV double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 8000, 1, .2);
        row("WAV 16", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 768000, 1, .2);
        row("WAV float", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 11025, 1, .75);
    }

    // Imported into memory 1 over an old message, then saved as FLAC; copied by hand as memory 2,
    // played, paused and resumed. Length: frames × 11025 / rate, halves rounded up, exactly.
    void anySoundFileKeepsLengthAndPitch() {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(double, amplitude);
        const int frames = rate * 7 / 10 + 2; // 22.05 kHz gives a half, 48 kHz rounds up
        const int expected = int((qint64{frames} * kRate + rate / 2) / rate);
        WindowHarness h;
        const QString source = h.home.filePath("edited"), saved = h.home.filePath("out.FLAC");
        QVERIFY(writeTone(source, format, rate, channels, frames, amplitude));
        for (int slot : {1, 3})
            h.writeMessage(slot, kOldMessage);
        QVERIFY(QFile::copy(source, h.slotPath(2)));
        MainWindow& w = h.open();
        h.dialogs.fileAnswers << h.slotPath(3) << source; // a file opened, then the import
        h.dialogs.yesNoAnswers << true;
        h.dialogs.saveAnswers << saved;
        item(w, "RetrieveWave1")->trigger();
        item(w, "ImportMessage1")->trigger(); // the window goes on while it converts
        QTRY_VERIFY(item(w, "ImportMessage1")->isEnabled());
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

        click(w.ui().memoryButtons[1]);
        AudioPump pump(h.wave, Dir::Output);
        pump.after(2, [&] { click(w.ui().playButton); });
        click(w.ui().playButton);
        click(w.ui().playButton);
        QVERIFY(h.dialogs.messages.size() == 2 && w.station().keyerState().keyerStopped());
        std::vector<short> played(h.wave.played().size() / 2);
        std::memcpy(played.data(), h.wave.played().constData(), played.size() * 2);
        while (!played.empty() && played.back() == 0)
            played.pop_back();
        QCOMPARE(int(played.size()), expected);
        QVERIFY(std::abs(toneHz(played, kRate) - 1000) <= 10);
    }

    // Import Message… and Save Wave replace only a regular file the operator agreed to replace,
    // extension and all. Whatever is wrong with the source, the target or the disk, and after
    // Cancel on a long import (the window goes on meanwhile), what was there stays, nothing is
    // left beside it, and the operator is told why.
    void aFileIsReplacedOnlyWhenItShould_data() {
        columns<QString, QString, QString, QString, QString>("action", "kind", "there", "answer",
                                                             "told");
        const auto row = [](const char* action, const char* kind, const char* there,
                            const char* answer, const QString& told) {
            QTest::addRow("%s %s onto %s, %s", action, kind, *there ? there : "nothing", answer)
                << action << kind << there << answer << told;
        };
        const QString refused = "Could not import the file: ",
                      noSound = refused + "it holds no sound",
                      tooLarge = "Could not write the Wave file: File too large",
                      notRegular = "Could not write the Wave file: not a regular file";
        row("import", "text", "old", "no", refused + "Format not recognised.");
        row("import", "tone", "old", "no",
            "Memory 1 holds a message. Replace it with this one of 0.10 s?");
        row("import", "tone", "old", "full", tooLarge);
        row("import", "1 Hz", "old", "no",
            refused + "its sound is 1 Hz, outside the rates Tavrin converts (1000 to 768000 Hz).");
        row("import", "missing", "old", "no", refused + "the file cannot be opened: No such");
        row("import", "pipe", "old", "no",
            refused + "the file cannot be opened: not a regular file");
        for (const char* kind : {"FLAC cut to 42 bytes", "half an Ogg", "header only"})
            row("import", kind, "old", "no", noSound);
        row("import", "27 h at 1 kHz", "old", "no",
            refused + "it is longer than the longest message a memory keeps (27.1 h)");
        for (const char* there : {"pipe", "device"})
            row("import", "tone", there, "yes", notRegular);
        for (const char* answer : {"cancel", "close"})
            row("import", "long", "old", answer, "");
        for (const char* answer : {"no", "yes"})
            row("save", "keepme", "old", answer, "keepme.wav already exists.");
        row("save", "keepme>flac", "old", "no", "keepme.flac already exists.");
        row("save", "new.flac", "", "no", "");
        for (const char* answer : {"full", "full from the start"})
            row("save", "keepme", "old", answer, tooLarge);
        row("save", "keepme.wav", "pipe", "yes", notRegular);
        row("save", "keepme>flac", "device", "yes", notRegular);
    }
    void aFileIsReplacedOnlyWhenItShould() {
        QFETCH(QString, action);
        QFETCH(QString, kind);
        QFETCH(QString, there);
        QFETCH(QString, answer);
        QFETCH(QString, told);
        const bool save = action == "save", flac = kind.endsWith(">flac");
        WindowHarness h;
        const QString typed = kind.section('>', 0, 0), source = h.home.filePath("edited");
        const QString path =
            save ? h.home.filePath(typed.contains('.') ? typed : typed + (flac ? ".flac" : ".wav"))
                 : h.slotPath(1);
        constexpr int kFlacHeader = 42, kHoursFrames = 98'000'000; // 98 000 s at 1000 Hz
        WaveBytes wave;
        QVERIFY(kind != "text" || writeBytes(source, "CQ contest"));
        QVERIFY((kind != "tone" && kind != "1 Hz") ||
                writeTone(source, SF_FORMAT_WAV | SF_FORMAT_PCM_16, kind == "tone" ? 8000 : 1, 1,
                          800, 0.2));
        QVERIFY(kind != "pipe" || place(source, "pipe"));
        QVERIFY(kind != "long" || // about 3 s to convert
                writeTone(source, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 2, 44100 * 60, 0.2));
        if (kind.startsWith("FLAC") || kind.startsWith("half"))
            QVERIFY(writeTone(source,
                              kind.startsWith("FLAC") ? SF_FORMAT_FLAC | SF_FORMAT_PCM_16
                                                      : SF_FORMAT_OGG | SF_FORMAT_VORBIS,
                              44100, 2, 100000, 0.2) &&
                    QFile(source).resize(kind.startsWith("FLAC") ? kFlacHeader
                                                                 : QFileInfo(source).size() / 2));
        QVERIFY(kind != "header only" || writeBytes(source, wave.bytes()));
        if (kind.startsWith("27 h")) { // a sparse file: nothing of it needs reading
            wave.samplesPerSecond = 1000;
            QVERIFY(
                writeBytes(source, wave.bytes().chopped(4) + WaveBytes::le32(2 * kHoursFrames)) &&
                QFile(source).resize(44 + 2 * qint64(kHoursFrames)));
        }
        if (save) // the message saved, unlike what is there
            h.writeMessage(1, pattern(2 * kBlock, 9));
        QVERIFY(place(path, there));
        const QByteArray before = describe(path);
        MainWindow& w = h.open();
        h.dialogs.fileAnswers << source;
        h.dialogs.saveAnswers << h.home.filePath(typed);
        h.dialogs.saveFileType = flac ? 1 : 0;
        const bool full = answer.startsWith("full");
        h.dialogs.yesNoAnswers << (answer == "yes" || full || answer == "close");
        {
            std::unique_ptr<FileSizeLimit> disk(
                full ? new FileSizeLimit(answer == "full" ? 1000 : 0) : nullptr);
            item(w, save ? "SaveWave1" : "ImportMessage1")->trigger();
            if (answer == "cancel") {
                click(w.ui().memoryButtons[1]);
                const QPointer<QProgressDialog> progress = w.findChild<QProgressDialog*>();
                QVERIFY(progress && w.station().keyerState().selectedMemory() == 2);
                QVERIFY(!w.station().importMessage(source)); // one import at a time
                QTRY_VERIFY(progress && progress->isVisible() && progress->value() > 0);
                QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
            }
            if (answer == "close") { // the program's end abandons the import, without a question
                QVERIFY(w.close());
                QTest::qWait(6000); // longer than the import would take
            }
            QTRY_VERIFY_WITH_TIMEOUT(answer == "close" || item(w, "ImportMessage1")->isEnabled(),
                                     30000);
        }
        const QString last = h.dialogs.texts().value(h.dialogs.texts().size() - 1);
        QVERIFY2(told.isEmpty() ? last.isEmpty() : last.startsWith(told), qPrintable(last));
        QCOMPARE(describe(path) != before,
                 save && (there.isEmpty() || (there == "old" && answer == "yes")));
        QVERIFY(QDir(QFileInfo(path).path())
                    .entryList({"." + QFileInfo(path).fileName() + "*"}, QDir::Files | QDir::Hidden)
                    .isEmpty());
    }
};

QTEST_MAIN(ImportTest)
#include "tst_import.moc"
