// However a recording ends, its file must say truthfully what it holds: a header whose sizes
// match the file's length, followed by whole blocks of what was captured.
#include "audiopump.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "keyer/messagefile.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QPushButton>
#include <QRandomGenerator>
#include <QTextEdit>
#include <QtTest>

#include <functional>
#include <limits>
#include <map>

namespace {
constexpr int kBlock = 2096;
constexpr int kHeader = 44;
// The same runs every time; change it to explore other moments.
constexpr quint32 kSeed = 0x7A5A1;
using Dir = WaveService::Direction;
using Op = VirtualWaveService::Op;

QByteArray captured() {
    QByteArray data(64 * kBlock, '\0');
    for (int i = 0; i < data.size(); ++i)
        data[i] = static_cast<char>((i * 11 + i / 397) & 0xFF);
    return data;
}

std::vector<std::uint8_t> asSamples(const QByteArray& bytes) {
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// The header a recording of dataBytes writes.
QByteArray headerFor(int dataBytes) {
    WaveBytes wave;
    wave.samples = QByteArray(dataBytes, '\0');
    return wave.bytes().left(kHeader);
}

void click(QPushButton* button) {
    QTest::mouseClick(button, Qt::LeftButton);
}

const char* const kWays[] = {"STOP", "RST", "Escape", "close box", "device failure"};

struct FailingCall {
    Op op;
    const char* name;
    bool once; // made once per recording, so only its first occurrence can fail
};
const FailingCall kFailingCalls[] = {
    {Op::Open, "open", true},   {Op::Prepare, "prepare", false},     {Op::Queue, "queue", false},
    {Op::Start, "start", true}, {Op::Unprepare, "unprepare", false},
};

} // namespace

Q_DECLARE_METATYPE(Op)

class RecordingEndsTest : public QObject {
    Q_OBJECT

private slots:
    void everyEndLeavesAWholeFile_data();
    void everyEndLeavesAWholeFile();
    void aFailedWriteNeverClaimsMoreThanTheFile_data();
    void aFailedWriteNeverClaimsMoreThanTheFile();
    void aRecordingCutOffLeavesTheOldMessageAndAPlayablePart_data();
    void aRecordingCutOffLeavesTheOldMessageAndAPlayablePart();
    void theLongestRecordingEndsAsStopDoes();
};

void RecordingEndsTest::everyEndLeavesAWholeFile_data() {
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("blocks");  // blocks captured before the end comes
    QTest::addColumn<int>("delayMs"); // after the completion of the last of them
    QTest::addColumn<Op>("failing");
    QTest::addColumn<int>("occurrence");

    QRandomGenerator random(kSeed);
    for (int run = 0; run < 40; ++run) {
        const QString way = QString::fromLatin1(kWays[run % std::size(kWays)]);
        const int blocks = random.bounded(0, 12);
        const int delayMs = random.bounded(0, 4);
        const FailingCall& call = kFailingCalls[random.bounded(int(std::size(kFailingCalls)))];
        const int occurrence = call.once ? 1 : random.bounded(1, blocks + 2);
        if (way == "device failure")
            QTest::addRow("run %d: %s fails at call %d", run, call.name, occurrence)
                << way << blocks << 0 << call.op << occurrence;
        else
            QTest::addRow("run %d: %s after %d blocks + %d ms", run, qPrintable(way), blocks,
                          delayMs)
                << way << blocks << delayMs << Op::Open << 0;
    }
}

void RecordingEndsTest::everyEndLeavesAWholeFile() {
    QFETCH(QString, way);
    QFETCH(int, blocks);
    QFETCH(int, delayMs);
    QFETCH(Op, failing);
    QFETCH(int, occurrence);

    WindowHarness h;
    TTavrin& w = h.open();
    const QByteArray samples = captured();
    h.wave.setCapture(asSamples(samples));
    const std::map<QString, std::function<void()>> actions{
        {"STOP", [&] { click(w.ui().StopBtn); }},
        {"RST", [&] { click(w.ui().ResetBtn); }},
        {"Escape", [&] { QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape); }},
        {"close box", [&] { w.close(); }},
    };
    AudioPump pump(h.wave, Dir::Input);
    if (way == "device failure") {
        h.wave.failOn(Dir::Input, failing, occurrence);
        pump.after(40, [&] { click(w.ui().StopBtn); }); // only if the failure never came
    } else {
        // While the block after them is being filled, or a few ms later.
        pump.after(blocks + 1, [&] {
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

    QVERIFY(!overdue);
    QVERIFY(!w.keyerState().recordActive());
    QVERIFY(!w.keyerState().recordFileOpen);
    QVERIFY(!h.wave.isOpen(Dir::Input));
    const QByteArray file = readBytes(h.installDir() + "memory1.wav");
    QVERIFY(file.size() >= kHeader);
    const int dataBytes = file.size() - kHeader;
    QCOMPARE(dataBytes % kBlock, 0);
    QCOMPARE(file.left(kHeader), headerFor(dataBytes));
    QCOMPARE(file.mid(kHeader), samples.left(dataBytes));
    if (way == "device failure") {
        QVERIFY(w.terminationRequested());
        // The call fails within the first cycles, and the recording ends there.
        QVERIFY(dataBytes <= occurrence * kBlock);
    } else if (delayMs == 0) {
        QCOMPARE(dataBytes, blocks * kBlock); // the block being filled is not kept
    } else {
        QVERIFY(dataBytes >= blocks * kBlock);
    }
}

void RecordingEndsTest::aFailedWriteNeverClaimsMoreThanTheFile_data() {
    QTest::addColumn<int>("limit"); // bytes the disk takes

    for (int limit : {0, 1, 8, 43, kHeader, kHeader + 1, kHeader + kBlock - 1, kHeader + kBlock})
        QTest::addRow("%d bytes", limit) << limit;
    QRandomGenerator random(kSeed);
    for (int run = 0; run < 24; ++run) {
        const int limit = random.bounded(0, kHeader + 6 * kBlock);
        QTest::addRow("run %d: %d bytes", run, limit) << limit;
    }
}

void RecordingEndsTest::aFailedWriteNeverClaimsMoreThanTheFile() {
    QFETCH(int, limit);
    WindowHarness h;
    TTavrin& w = h.open();
    const QByteArray samples = captured();
    h.wave.setCapture(asSamples(samples));
    {
        FileSizeLimit disk(static_cast<rlim_t>(limit));
        AudioPump pump(h.wave, Dir::Input);
        pump.after(10, [&] { click(w.ui().StopBtn); }); // the disk is full well before
        click(w.ui().RecordBtn);
    }
    QCOMPARE(h.dialogs.texts(), QStringList{"Could not write the Wave file"});
    QVERIFY(!w.keyerState().recordActive());
    QVERIFY(w.keyerState().keyerStopped());
    QVERIFY(!h.wave.isOpen(Dir::Input));

    const QByteArray file = readBytes(h.installDir() + "memory1.wav");
    QVERIFY(file.size() <= limit);
    if (file.size() >= 8)
        QVERIFY2(le32At(file, 4) <= quint32(file.size() - 8),
                 qPrintable(QString::number(le32At(file, 4))));
    if (file.size() >= kHeader) {
        const int dataBytes = file.size() - kHeader;
        QCOMPARE(dataBytes % kBlock, 0);
        QCOMPARE(file.left(kHeader), headerFor(dataBytes));
        QCOMPARE(file.mid(kHeader), samples.left(dataBytes));
    }
}

void RecordingEndsTest::aRecordingCutOffLeavesTheOldMessageAndAPlayablePart_data() {
    QTest::addColumn<int>("blocks"); // written when the program dies
    for (int blocks : {0, 1, 7})
        QTest::addRow("%d blocks", blocks) << blocks;
}

void RecordingEndsTest::aRecordingCutOffLeavesTheOldMessageAndAPlayablePart() {
    QFETCH(int, blocks);
    WindowHarness h;
    const QString message = h.installDir() + "memory1.wav";
    const QByteArray old = headerFor(kBlock) + QByteArray(kBlock, 'o');
    QVERIFY(writeBytes(message, old));
    TTavrin& w = h.open();
    const QByteArray samples = captured();
    h.wave.setCapture(asSamples(samples));
    QByteArray messageThen, partThen;
    AudioPump pump(h.wave, Dir::Input);
    // What a kill leaves on disk is what the files hold between two blocks.
    pump.after(blocks + 1, [&] {
        messageThen = readBytes(message);
        partThen = readBytes(message + ".part");
        click(w.ui().StopBtn);
    });
    click(w.ui().RecordBtn);

    QCOMPARE(messageThen, old);
    const QByteArray recorded = headerFor(blocks * kBlock) + samples.left(blocks * kBlock);
    QCOMPARE(partThen, recorded);
    QCOMPARE(readBytes(message), recorded); // STOP puts it in the message's place
    QVERIFY(!QFile::exists(message + ".part"));
}

void RecordingEndsTest::theLongestRecordingEndsAsStopDoes() {
    WindowHarness h;
    TTavrin& w = h.open();
    AudioPump pump(h.wave, Dir::Input);
    // Two blocks before the 32-bit sizes are full; STOP only if the recording runs on.
    pump.after(2, [&] {
        w.keyerState().recordedBytes = std::numeric_limits<std::int32_t>::max() - 2 * kBlock;
    });
    pump.after(10, [&] { click(w.ui().StopBtn); });
    click(w.ui().RecordBtn);

    QCOMPARE(pump.completed(), 3);
    QCOMPARE(h.dialogs.texts(), QStringList{"The recording reached the longest message a file "
                                            "can hold and was stopped"});
    QVERIFY(w.keyerState().keyerStopped());
    QVERIFY(!w.keyerState().recordFileOpen);
    QVERIFY(!h.wave.isOpen(Dir::Input));
    const QByteArray file = readBytes(h.installDir() + "memory1.wav");
    QCOMPARE(file.size(), kHeader + 3 * kBlock);
    QCOMPARE(le32At(file, 40), quint32(std::numeric_limits<std::int32_t>::max()));
}

QTEST_MAIN(RecordingEndsTest)
#include "tst_recordingends.moc"
