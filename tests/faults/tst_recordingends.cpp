// However a recording ends, its file must say truthfully what it holds: a header whose sizes
// match the file's length, followed by whole blocks of what was captured. Until it ends, the
// old message stands and the part recorded so far is playable beside it.
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QRandomGenerator>
#include <QTextEdit>
#include <QtTest>

#include <limits>
#include <map>

namespace {
constexpr int kHeader = 44;
constexpr quint32 kSeed = 0x7A5A1;
const QByteArray kCaptured = pattern(64 * kBlock, 11);
const char* const kWays[] = {"STOP", "RST", "Escape", "close box", "device failure"};
// The device calls a recording makes; open and start only once, so only their first can fail.
const std::pair<Op, bool> kFailingCalls[] = {{Op::Open, true},
                                             {Op::Prepare, false},
                                             {Op::Queue, false},
                                             {Op::Start, true},
                                             {Op::Unprepare, false}};

// The file holds a header for exactly its whole blocks of the captured sound.
void checkWholeFile(const QByteArray& file) {
    QVERIFY(file.size() >= kHeader);
    const int dataBytes = file.size() - kHeader;
    QCOMPARE(dataBytes % kBlock, 0);
    WaveBytes expected;
    expected.samples = kCaptured.left(dataBytes);
    QCOMPARE(file, expected.bytes());
}
} // namespace

class RecordingEndsTest : public QObject {
    Q_OBJECT

private slots:
    void everyEndLeavesAWholeFile_data() {
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("blocks");  // blocks captured before the end comes
        QTest::addColumn<int>("delayMs"); // after the completion of the last of them
        QTest::addColumn<Op>("failing");
        QTest::addColumn<int>("occurrence");
        QRandomGenerator random(kSeed);
        for (int run = 0; run < 40; ++run) {
            const QString way = kWays[run % std::size(kWays)];
            const int blocks = random.bounded(0, 12);
            const int delayMs = way == "device failure" ? 0 : random.bounded(0, 4);
            const auto [op, once] = kFailingCalls[random.bounded(int(std::size(kFailingCalls)))];
            const int occurrence = once ? 1 : random.bounded(1, blocks + 2);
            QTest::addRow("run %d: %s after %d blocks + %d ms, call %d fails at %d", run,
                          qPrintable(way), blocks, delayMs, int(op), occurrence)
                << way << blocks << delayMs << op << occurrence;
        }
    }
    void everyEndLeavesAWholeFile() {
        QFETCH(QString, way);
        QFETCH(int, blocks);
        QFETCH(int, delayMs);
        QFETCH(Op, failing);
        QFETCH(int, occurrence);
        const bool failure = way == "device failure";
        WindowHarness h;
        if (!failure)
            h.writeMessage(1, QByteArray(kBlock, 'o'));
        const QByteArray old = readBytes(h.slotPath(1));
        TTavrin& w = h.open();
        h.wave.setCapture(kCaptured);
        QByteArray messageThen, partThen; // as a power cut or a kill at the end would leave them
        const std::map<QString, std::function<void()>> actions{
            {"STOP", [&] { click(w.ui().StopBtn); }},
            {"RST", [&] { click(w.ui().ResetBtn); }},
            {"Escape", [&] { QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape); }},
            {"close box", [&] { w.close(); }},
        };
        AudioPump pump(h.wave, Dir::Input);
        if (failure) {
            h.wave.failOn(Dir::Input, failing, occurrence);
            pump.after(40, [&] { click(w.ui().StopBtn); }); // only if the failure never came
        } else {
            // While the block after them is being filled, or a few ms later.
            pump.after(blocks + 1, [&] {
                messageThen = readBytes(h.slotPath(1));
                partThen = readBytes(h.slotPath(1) + ".part");
                if (delayMs == 0)
                    actions.at(way)();
                else
                    QTimer::singleShot(delayMs, &w, actions.at(way));
            });
        }
        // An end that does not end the recording would leave it running for ever: 5 s at most.
        bool overdue = false;
        QTimer::singleShot(5000, &pump, [&] {
            overdue = true;
            click(w.ui().StopBtn);
        });
        click(w.ui().RecordBtn);

        QVERIFY(!overdue && !w.keyerState().recordActive() && !w.keyerState().recordFileOpen());
        QVERIFY(!h.wave.isOpen(Dir::Input));
        const QByteArray file = readBytes(h.slotPath(1));
        checkWholeFile(file);
        const int dataBytes = file.size() - kHeader;
        QVERIFY(!QFile::exists(h.slotPath(1) + ".part"));
        if (!failure) {
            QCOMPARE(messageThen, old);
            QCOMPARE(partThen.size(), kHeader + blocks * kBlock);
            checkWholeFile(partThen);
        }
        if (failure) {
            // The recording ends where the call failed.
            QVERIFY(w.terminationRequested() && dataBytes <= occurrence * kBlock);
        } else if (delayMs == 0) {
            QCOMPARE(dataBytes, blocks * kBlock); // the block being filled is not kept
        } else {
            QVERIFY(dataBytes >= blocks * kBlock);
        }
    }

    void aFailedWriteNeverClaimsMoreThanTheFile_data() {
        QTest::addColumn<int>("limit"); // bytes the disk takes
        for (int limit :
             {0, 1, 8, 43, kHeader, kHeader + 1, kHeader + kBlock - 1, kHeader + kBlock})
            QTest::addRow("%d bytes", limit) << limit;
        QRandomGenerator random(kSeed);
        for (int run = 0; run < 24; ++run)
            QTest::addRow("run %d", run) << random.bounded(kHeader + 6 * kBlock);
    }
    void aFailedWriteNeverClaimsMoreThanTheFile() {
        QFETCH(int, limit);
        WindowHarness h;
        TTavrin& w = h.open();
        h.wave.setCapture(kCaptured);
        {
            FileSizeLimit disk(static_cast<rlim_t>(limit));
            AudioPump pump(h.wave, Dir::Input);
            pump.after(10, [&] { click(w.ui().StopBtn); }); // the disk is full well before
            click(w.ui().RecordBtn);
        }
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not write the Wave file"});
        QVERIFY(!w.keyerState().busy() && !h.wave.isOpen(Dir::Input));
        const QByteArray file = readBytes(h.slotPath(1));
        QVERIFY(file.size() <= limit);
        if (file.size() >= 8)
            QVERIFY(le32At(file, 4) <= quint32(file.size() - 8));
        if (file.size() >= kHeader)
            checkWholeFile(file);
    }
    void theLongestRecordingEndsAsStopDoes() {
        WindowHarness h;
        TTavrin& w = h.open();
        h.wave.setCapture(kCaptured);
        AudioPump pump(h.wave, Dir::Input);
        // Two blocks before the 32-bit sizes are full; STOP only if the recording runs on.
        pump.after(2, [&] {
            w.findChild<KeyerState*>()->setRecordedBytes(std::numeric_limits<std::int32_t>::max() -
                                                         2 * kBlock);
        });
        pump.after(10, [&] { click(w.ui().StopBtn); });
        click(w.ui().RecordBtn);
        QCOMPARE(pump.completed(), 3);
        QCOMPARE(h.dialogs.texts(), QStringList{"The recording reached the longest message a file "
                                                "can hold and was stopped"});
        QVERIFY(w.keyerState().keyerStopped() && !h.wave.isOpen(Dir::Input));
        QCOMPARE(readBytes(h.slotPath(1)).size(), kHeader + 3 * kBlock);
        QCOMPARE(le32At(readBytes(h.slotPath(1)), 40),
                 quint32(std::numeric_limits<std::int32_t>::max()));
    }
};

QTEST_MAIN(RecordingEndsTest)
#include "tst_recordingends.moc"
