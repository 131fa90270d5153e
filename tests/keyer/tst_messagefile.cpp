#include "keyer/messagefile.h"

#include "wavebytes.h"

#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

namespace {

// The header a recording of 10000 bytes starts with, written out by hand.
const QByteArray kExpectedHeader = QByteArray::fromHex("52494646"   // "RIFF"
                                                       "34270000"   // 10036
                                                       "57415645"   // "WAVE"
                                                       "666d7420"   // "fmt "
                                                       "10000000"   // 16
                                                       "0100"       // PCM
                                                       "0100"       // mono
                                                       "112b0000"   // 11025
                                                       "22560000"   // 22050
                                                       "0200"       // block align
                                                       "1000"       // 16 bits
                                                       "64617461"   // "data"
                                                       "10270000"); // 10000

QByteArray samplePattern(int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(i * 7 + 3);
    return bytes;
}

QByteArray readRest(std::FILE* file) {
    QByteArray rest;
    char chunk[4096];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        rest.append(chunk, static_cast<int>(got));
    return rest;
}

} // namespace

class TestMessageFile : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }
    OpenedMessage openBytes(const QByteArray& bytes) {
        const QString file = path("message.wav");
        if (!writeBytes(file, bytes))
            qFatal("cannot write the test file");
        return openMessageFile(file);
    }

private slots:
    void writesTheHeaderFieldByField() {
        auto file = openFile(path("new.wav"), "wb");
        QVERIFY(writeMessageHeader(file.get(), kMessageFormat, 10000));
        file.reset();
        QCOMPARE(readBytes(path("new.wav")), kExpectedHeader);

        WaveHeaderFormat stereo8;
        stereo8.channels = 2;
        stereo8.bitsPerSample = 8;
        file = openFile(path("other.wav"), "wb");
        QVERIFY(writeMessageHeader(file.get(), stereo8, 0));
        file.reset();
        const QByteArray other = readBytes(path("other.wav"));
        QCOMPARE(other.mid(22, 2), QByteArray::fromHex("0200"));
        QCOMPARE(other.mid(34, 2), QByteArray::fromHex("0800"));
        QCOMPARE(other.mid(4, 4), QByteArray::fromHex("24000000"));
    }

    void completesBothSizes() {
        const QByteArray samples = samplePattern(2 * 2096);
        auto file = openFile(path("rec.wav"), "wb");
        QVERIFY(writeMessageHeader(file.get(), kMessageFormat, 10000));
        QCOMPARE(std::fwrite(samples.constData(), 1, samples.size(), file.get()),
                 std::size_t(samples.size()));
        QVERIFY(completeMessageHeader(file.get(), 4192));
        file.reset();
        const QByteArray written = readBytes(path("rec.wav"));
        QCOMPARE(written.size(), 44 + 4192);
        QCOMPARE(written.mid(4, 4), QByteArray::fromHex("84100000"));  // 4228
        QCOMPARE(written.mid(40, 4), QByteArray::fromHex("60100000")); // 4192
        QCOMPARE(written.mid(44), samples);

        // Stopped before the first block completed: a 44-byte file with sizes 36 and 0.
        file = openFile(path("empty.wav"), "wb");
        QVERIFY(writeMessageHeader(file.get(), kMessageFormat, 4192));
        QVERIFY(completeMessageHeader(file.get(), 0));
        file.reset();
        const QByteArray empty = readBytes(path("empty.wav"));
        QCOMPARE(empty.size(), 44);
        QCOMPARE(empty.mid(4, 4), QByteArray::fromHex("24000000"));
        QCOMPARE(empty.mid(40, 4), QByteArray::fromHex("00000000"));
    }

    void reportsWriteFailures() {
        // /dev/full fails every write with "no space left", as a full disk does. (Message files
        // themselves are only ever regular files.)
        FileHandle full(std::fopen("/dev/full", "wb"));
        QVERIFY(full);
        QVERIFY(!writeMessageHeader(full.get(), kMessageFormat, 0));
        QVERIFY(!completeMessageHeader(full.get(), 0));

        QVERIFY(writeBytes(path("ro.wav"), kExpectedHeader));
        auto readOnly = openFile(path("ro.wav"), "rb");
        QVERIFY(!writeMessageHeader(readOnly.get(), kMessageFormat, 0));
        QVERIFY(!completeMessageHeader(readOnly.get(), 0));
    }

    // Each file is accepted whatever its format says, positioned at its first sample, with a
    // data size no larger than what it holds after the header.
    void readsTheHeaderOfAGoodFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<quint32>("dataBytes");
        QTest::addColumn<QByteArray>("rest");
        const auto row = [](const char* name, const WaveBytes& wave, quint32 dataBytes,
                            int restFrom = 0) {
            QTest::newRow(name) << wave.bytes() << dataBytes << wave.samples.mid(restFrom);
        };
        WaveBytes recorded;
        recorded.samples = samplePattern(2096);
        row("recorded", recorded, 2096);

        WaveBytes fact = recorded;
        fact.fmtSize = 18;
        fact.fmtExtra = QByteArray(2, '\0');
        fact.beforeData = WaveBytes::factChunk(1048);
        row("18-byte fmt and fact", fact, 2096);

        WaveBytes noFact = fact;
        noFact.beforeData.clear();
        row("18-byte fmt without fact", noFact, 2096);

        WaveBytes other;
        other.channels = 2;
        other.bitsPerSample = 8;
        other.samplesPerSecond = 44100;
        other.samples = samplePattern(300);
        row("stereo 8-bit", other, 300);

        WaveBytes claims = recorded;
        claims.dataSize = 5000;
        row("claims more than held", claims, 2096);
        claims.dataSize = 0xFFFFFFFFu;
        row("claims a negative size", claims, 2096);
        claims.dataSize = 1000;
        row("claims less than held", claims, 1000);
        claims.samples = "xyz";
        claims.dataSize = 3;
        row("claims half a sample more", claims, 2); // only whole samples are played
    }
    void readsTheHeaderOfAGoodFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(quint32, dataBytes);
        QFETCH(QByteArray, rest);
        auto opened = openBytes(bytes);
        QCOMPARE(opened.result, HeaderResult::Ok);
        QCOMPARE(opened.dataBytes, dataBytes);
        QCOMPARE(readRest(opened.file.get()), rest);
    }

    void refusesWhatIsNotAWaveFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<HeaderResult>("result");
        WaveBytes wave;
        wave.samples = samplePattern(100);
        const QByteArray good = wave.bytes();
        const auto with = [&](int at, const char* tag) {
            return QByteArray(good).replace(at, 4, tag, 4);
        };
        QTest::newRow("text") << QByteArray("CQ CQ CQ de DL1ABC\n") << HeaderResult::NotRiff;
        QTest::newRow("lower case riff") << with(0, "riff") << HeaderResult::NotRiff;
        QTest::newRow("NUL in RIFF") << with(0, "RIF\0") << HeaderResult::NotRiff;
        QTest::newRow("AVI") << with(8, "AVI ") << HeaderResult::NotWave;
        QTest::newRow("NUL in WAVE") << with(8, "WAV\0") << HeaderResult::NotWave;
        QTest::newRow("no fmt") << with(12, "LIST") << HeaderResult::FmtIncorrect;
        QTest::newRow("fmt without space") << with(12, "fmt\0") << HeaderResult::FmtIncorrect;
        QTest::newRow("fmt chunk of 15")
            << QByteArray(good).replace(16, 4, WaveBytes::le32(15)) << HeaderResult::FmtIncorrect;
        QTest::newRow("fmt chunk beyond the file")
            << QByteArray(good).replace(16, 4, WaveBytes::le32(0xFFFFFFF0))
            << HeaderResult::Incomplete;
    }
    void refusesWhatIsNotAWaveFile() {
        QFETCH(QByteArray, bytes);
        QFETCH(HeaderResult, result);
        const auto opened = openBytes(bytes);
        QCOMPARE(opened.result, result);
        QCOMPARE(opened.dataBytes, 0u);
        QVERIFY(!opened.file);
    }

    void refusesAMissingFile() {
        const auto opened = openMessageFile(path("memory7.wav"));
        QCOMPARE(opened.result, HeaderResult::CannotOpen);
        QVERIFY(!opened.file);
        QCOMPARE(openMessageFile(QString()).result, HeaderResult::CannotOpen);
    }

    void namesEachRefusalWithItsMessage() {
        const auto check = [](HeaderResult r, const char* text, const char* title) {
            const auto message = headerFailureMessage(r);
            QVERIFY(message);
            QCOMPARE(QString(message->text), QString(text));
            QCOMPARE(QString(message->title), QString(title));
        };
        check(HeaderResult::CannotOpen, "Could not open the file", "File Open Error Message");
        check(HeaderResult::NotRiff, "Not a RIFF file", "File Error Message");
        check(HeaderResult::NotWave, "Not a WAVE file", "File Error Message");
        check(HeaderResult::FmtIncorrect, "fmt incorrect", "File Error Message");
        check(HeaderResult::Incomplete, "fmt incorrect", "File Error Message");
        QVERIFY(!headerFailureMessage(HeaderResult::Ok));
    }

    // A file cut inside its header fails the check of the tag it cuts, and is refused as
    // incomplete once it is cut after "fmt ". Only the whole header is accepted, with no data.
    void refusesAFileCutInsideItsHeader() {
        WaveBytes wave;
        wave.dataSize = 50000;
        const QByteArray plain = wave.bytes();
        wave.fmtSize = 18;
        wave.fmtExtra = QByteArray(2, '\0');
        wave.beforeData = WaveBytes::factChunk(0);
        const QByteArray withFact = wave.bytes();
        for (const QByteArray& header : {plain, withFact}) {
            for (int length = 0; length <= header.size(); ++length) {
                const auto opened = openBytes(header.left(length));
                const HeaderResult expected = length < 4               ? HeaderResult::NotRiff
                                              : length < 12            ? HeaderResult::NotWave
                                              : length < 16            ? HeaderResult::FmtIncorrect
                                              : length < header.size() ? HeaderResult::Incomplete
                                                                       : HeaderResult::Ok;
                QVERIFY2(opened.result == expected, qPrintable(QString::number(length)));
                QCOMPARE(opened.dataBytes, 0u);
                QCOMPARE(bool(opened.file), expected == HeaderResult::Ok);
            }
        }
    }

    void keepsHugeDataWithinASignedCounter() {
        WaveBytes wave;
        wave.dataSize = 0xFFFFFFF0u;
        const QString file = path("huge.wav");
        QVERIFY(writeBytes(file, wave.bytes()));
        QCOMPARE(::truncate(QFile::encodeName(file).constData(), 44 + 3LL * 1024 * 1024 * 1024), 0);
        const auto opened = openMessageFile(file);
        QCOMPARE(opened.result, HeaderResult::Ok);
        QCOMPARE(opened.dataBytes, kMaxPlayableBytes - 1); // whole 2-byte samples
        QVERIFY(static_cast<std::int32_t>(opened.dataBytes) > 0);
        QFile::remove(file);
    }
};

QTEST_GUILESS_MAIN(TestMessageFile)
#include "tst_messagefile.moc"
