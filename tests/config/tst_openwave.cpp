#include "config/openwave.h"

#include "wavebytes.h"

#include <QTemporaryDir>
#include <QTest>

class TestOpenWave : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString file(const QString& name, const QByteArray& bytes) const {
        const QString path = dir.filePath(name);
        if (!writeBytes(path, bytes))
            qFatal("cannot write the test file");
        return path;
    }

    static void compareMessage(const std::optional<MessageBoxText>& message, const char* text,
                               const char* title) {
        QVERIFY(message);
        QCOMPARE(QString(message->text), QString(text));
        QCOMPARE(QString(message->title), QString(title));
    }

private slots:
    void passesAWaveFile() {
        WaveBytes wave;
        wave.channels = 2;
        wave.blockAlign = 4;
        wave.samples = QByteArray(1000, 'x');
        QVERIFY(!checkWaveFile(file("elsewhere.wav", wave.bytes())));
    }

    void namesWhatIsWrongWithAFile() {
        compareMessage(checkWaveFile(dir.filePath("missing.wav")), "Could not open the wave file",
                       "File Open Error Message");
        compareMessage(checkWaveFile(file("notes.txt", "73 de DL1ABC")), "Not a RIFF file",
                       "File Error Message");
        WaveBytes avi;
        avi.wave = "AVI ";
        compareMessage(checkWaveFile(file("clip.avi", avi.bytes())), "Not a WAVE file",
                       "File Error Message");
        WaveBytes noFmt;
        noFmt.fmt = "LIST";
        compareMessage(checkWaveFile(file("list.wav", noFmt.bytes())), "fmt incorrect",
                       "File Error Message");
        compareMessage(checkWaveFile(file("cut.wav", WaveBytes().bytes().left(30))),
                       "fmt incorrect", "File Error Message");
    }

    void leavesAPlayingMessageFileAlone() {
        WaveBytes wave;
        wave.samples = QByteArray(100, 's');
        const QString path = file("memory1.wav", wave.bytes());
        OpenedMessage playing = openMessageFile(path);
        QCOMPARE(playing.result, HeaderResult::Ok);
        QVERIFY(!checkWaveFile(path));
        QVERIFY(checkWaveFile(file("other.txt", "text")));
        char sample = 0;
        QCOMPARE(std::fread(&sample, 1, 1, playing.file.get()), std::size_t(1));
        QCOMPARE(sample, 's');
    }
};

QTEST_GUILESS_MAIN(TestOpenWave)
#include "tst_openwave.moc"
