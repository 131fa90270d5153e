// What a blind operator hears: the built program under a real Orca, on a desktop of the test's
// own, driven from the keyboard. The sound goes to the test's sound server.
#include "windowharness.h"

#include <QtTest>

namespace {
constexpr int kSkip = 77; // the screen reader's desktop cannot be had here
constexpr int kTimeoutMs = 120000;
constexpr int kMessageBlocks = 5; // half a second of sound, shorter than a pause in speech
} // namespace

class ScreenReaderTest : public QObject {
    Q_OBJECT

private slots:
    // Keys typed in turn, and what Orca says after the last of them, in that order (other lines
    // may come between). From the note box, five Tabs reach LOOP and six TUNE, one Shift+Tab
    // memory 12.
    void whatTheOperatorHears_data() {
        columns<QStringList, QStringList>("keys", "said");
        const auto row = [](int tabs, QStringList keys, QStringList said) {
            keys = QStringList(tabs, "Tab") + keys;
            QTest::newRow(qPrintable(keys.join(' '))) << keys << said;
        };
        // A switch says its new state under the focus, whatever toggled it.
        row(5, {"space"}, {"checked"});
        row(5, {"space", "space"}, {"not checked"});
        row(6, {"C-t"}, {"checked", "notification Transmitting."});
        row(6, {"Return", "Return"}, {"not checked", "notification Receiving."});
        // Keying and the message are said wherever the focus is.
        row(0, {"C-e", "F1"},
            {"notification Transmitting.", "Playing memory 1.", "notification Receiving.",
             "Playback ended."});
        // A memory chosen under the focus.
        row(0, {"S-Tab", "S-F12"}, {"notification Memory 12, selected, empty."});
    }
    void whatTheOperatorHears() {
        QFETCH(QStringList, keys);
        QFETCH(QStringList, said);
        QTemporaryDir home;
        WaveBytes message;
        message.samples = pattern(kMessageBlocks * kBlock);
        QVERIFY(writeBytes(home.filePath("memory1.wav"), message.bytes()));
        QProcess reader;
        reader.start(QStringLiteral(SCREENREADER),
                     keys + QStringList{"--", TAVRIN_EXECUTABLE, "--home", home.path()});
        QVERIFY(reader.waitForFinished(kTimeoutMs));
        const QString out = QString::fromUtf8(reader.readAllStandardOutput());
        if (reader.exitCode() == kSkip && qEnvironmentVariableIsEmpty("CI"))
            QSKIP(qPrintable(out)); // in CI, scripts/deps.sh has installed the desktop
        QVERIFY2(reader.exitCode() == 0, qPrintable(out + reader.readAllStandardError()));
        // The lines printed after the last key, each indented, hold the expected ones in order.
        QStringList heard;
        for (const QString& line : out.split('\n', Qt::SkipEmptyParts))
            line.startsWith("  ") ? void(heard << line.mid(2)) : heard.clear();
        qsizetype at = 0;
        for (const QString& expected : said)
            QVERIFY2((at = heard.indexOf(expected, at)) >= 0,
                     qPrintable(expected + " in:\n" + out));
    }
};

QTEST_MAIN(ScreenReaderTest)
#include "tst_screenreader.moc"
