// The configuration file as it lies on disk: notes kept byte for byte, full slot paths under a
// long home directory, and files that must be neither read nor replaced.
#include "audiopump.h"
#include "config/configrecord.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
constexpr int kEntryBytes = 256;
constexpr int kLoopDelayOffset = 6668;
constexpr std::int32_t kStoredDelay = 90;
const QString kNoticeTitle = QStringLiteral("Configuration File Error Message");

enum class Kind { Regular, LinkToRegular, ReadOnly, Fifo, LinkToDevice, Unreadable };

QByteArray recordWithNotes(const QByteArray& note) {
    ConfigRecord r;
    r.loopDelay = kStoredDelay;
    QByteArray bytes = r.serialize();
    for (int slot : {1, 2})
        bytes.replace(slot * kEntryBytes, note.size(), note);
    return bytes;
}

// What lies at path, without opening anything that could block: the link, the kind and mode
// of its target and the bytes of a regular one.
QString describe(const QString& path) {
    struct stat link {
    }, target{};
    const QByteArray name = QFile::encodeName(path);
    ::lstat(name.constData(), &link);
    const bool resolved = ::stat(name.constData(), &target) == 0;
    const bool regular = resolved && S_ISREG(target.st_mode);
    return QStringLiteral("%1 -> %2 %3 %4")
        .arg(link.st_mode, 0, 8)
        .arg(QFileInfo(path).symLinkTarget())
        .arg(target.st_mode, 0, 8)
        .arg(QString::fromLatin1(regular ? readBytes(path).toHex() : QByteArray()));
}
} // namespace

class ConfigFilesTest : public QObject {
    Q_OBJECT

private slots:
    void notesComeBackByteForByte_data() {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QString>("shown");
        const QByteArray e = QStringLiteral("é").toUtf8();
        QTest::newRow("UTF-8 lines") << QByteArray("Grüße\r\n73") << QStringLiteral("Grüße\n73");
        QTest::newRow("Latin-1") << QByteArray(255, '\xE9') << QString(255, QChar(0xE9));
        QTest::newRow("stray byte")
            << QByteArray("Grüße \xB0") << QString::fromLatin1("Grüße \xB0");
        QTest::newRow("cut character") << e.repeated(127) + e.left(1) << QString(127, QChar(0xE9));
    }
    void notesComeBackByteForByte() {
        QFETCH(QByteArray, stored);
        QFETCH(QString, shown);
        WindowHarness h;
        QVERIFY(writeBytes(h.installDir() + "Tavrin.cfg", recordWithNotes(stored)));
        TTavrin& w = h.open();
        QCOMPARE(w.ui().MessageWindow->toPlainText(), shown);
        QTest::mouseClick(w.ui().MemBtn[1], Qt::LeftButton);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), shown);
        QTest::mouseClick(w.ui().MemBtn[0], Qt::LeftButton);
        QVERIFY(w.close());
        const QByteArray written = readBytes(h.installDir() + "Tavrin.cfg");
        for (int slot : {1, 2})
            QCOMPARE(written.mid(slot * kEntryBytes, kEntryBytes),
                     stored + QByteArray(kEntryBytes - stored.size(), '\0'));
    }

    void theNoteBoxKeepsAnEditedNoteWithinItsEntry_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("ASCII") << QString(300, 'a') << QString(255, 'a');
        QTest::newRow("two bytes") << QString(200, QChar(0xE9)) << QString(127, QChar(0xE9));
        // A line break is stored as CR LF: the last one no longer fits, one more letter does.
        QTest::newRow("lines") << QStringLiteral("ab\n").repeated(70)
                               << QStringLiteral("ab\n").repeated(63) + "aba";
    }
    void theNoteBoxKeepsAnEditedNoteWithinItsEntry() {
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        WindowHarness h;
        TTavrin& w = h.open();
        for (const QChar c : typed)
            QTest::sendKeyEvent(QTest::Click, w.ui().MessageWindow,
                                c == '\n' ? Qt::Key_Return : Qt::Key_A, c, Qt::NoModifier);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), kept);
        QVERIFY(w.close());
        const QByteArray written = readBytes(h.installDir() + "Tavrin.cfg");
        QCOMPARE(written.mid(kEntryBytes, kEntryBytes).split('\0').first(),
                 QString(kept).replace("\n", "\r\n").toUtf8());
    }

    void aLongHomePathStillPlays_data() {
        QTest::addColumn<int>("depth");
        QTest::newRow("short") << 0;
        QTest::newRow("300 bytes") << 300;
    }
    void aLongHomePathStillPlays() {
        QFETCH(int, depth);
        WindowHarness h;
        for (int length = 0; length < depth; length += 100)
            h.homePath += "/" + QString(99, 'h');
        QVERIFY(QDir().mkpath(h.installDir()));
        WaveBytes wave;
        wave.samples = QByteArray(1000, 'x');
        QVERIFY(writeBytes(h.installDir() + "memory1.wav", wave.bytes()));
        TTavrin& w = h.open();
        AudioPump pump(h.wave, WaveService::Direction::Output);
        QTest::mouseClick(w.ui().PlayBtn, Qt::LeftButton);
        QCOMPARE(h.dialogs.texts(), QStringList());
        QCOMPARE(pump.completed(), 1);
    }

    void onlyARegularFileIsReadAndReplaced_data() {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("notice");
        QTest::addColumn<bool>("applied");
        QTest::newRow("regular") << Kind::Regular << QString() << true;
        QTest::newRow("link to a regular file") << Kind::LinkToRegular << QString() << true;
        QTest::newRow("read-only") << Kind::ReadOnly << "read-only" << true;
        QTest::newRow("named pipe") << Kind::Fifo << "not a regular file" << false;
        QTest::newRow("link to a device") << Kind::LinkToDevice << "not a regular file" << false;
        QTest::newRow("unreadable")
            << Kind::Unreadable << QString::fromLocal8Bit(strerror(EIO)) << false;
    }
    void onlyARegularFileIsReadAndReplaced() {
        QFETCH(Kind, kind);
        QFETCH(QString, notice);
        QFETCH(bool, applied);
        WindowHarness h;
        const QString cfg = h.installDir() + "Tavrin.cfg";
        const QString aside = h.installDir() + "aside";
        const QByteArray record = recordWithNotes({});
        const QByteArray target = QFile::encodeName(aside);
        int pipeWriter = -1;
        switch (kind) {
        case Kind::Regular:
        case Kind::ReadOnly:
            QVERIFY(writeBytes(cfg, record));
            QVERIFY(kind == Kind::Regular || ::chmod(QFile::encodeName(cfg), 0444) == 0);
            break;
        case Kind::LinkToRegular:
            QVERIFY(writeBytes(aside, record) && QFile::link(aside, cfg));
            break;
        case Kind::Fifo:
            // Held open with a whole record in it, so that a reader that blocks is not stuck.
            QCOMPARE(::mkfifo(QFile::encodeName(cfg), 0644), 0);
            pipeWriter = ::open(QFile::encodeName(cfg), O_RDWR | O_NONBLOCK);
            QCOMPARE(::write(pipeWriter, record.constData(), record.size()), record.size());
            break;
        case Kind::LinkToDevice:
            QCOMPARE(::mknod(target, S_IFCHR | 0666, makedev(1, 3)), 0);
            QVERIFY(QFile::link(aside, cfg));
            break;
        case Kind::Unreadable:
            QVERIFY(QFile::link("/proc/self/mem", cfg));
            break;
        }
        const QString before = describe(cfg);
        const bool link = QFileInfo(cfg).isSymLink();
        TTavrin& w = h.open();
        QCOMPARE(w.keyerState().loopDelay(), applied ? kStoredDelay : 10);
        QCOMPARE(h.dialogs.messages.size(), notice.isEmpty() ? 0 : 1);
        if (!notice.isEmpty()) {
            QVERIFY2(h.dialogs.messages[0].text.contains(notice),
                     qPrintable(h.dialogs.messages[0].text));
            QCOMPARE(h.dialogs.messages[0].title, kNoticeTitle);
        }
        w.findChild<QAction*>("N7sec1")->trigger();
        QVERIFY(w.close());
        if (pipeWriter >= 0)
            ::close(pipeWriter);
        QCOMPARE(h.dialogs.messages.size(), notice.isEmpty() ? 0 : 1);
        if (notice.isEmpty())
            QCOMPARE(le32At(readBytes(cfg), kLoopDelayOffset), 70u);
        else
            QCOMPARE(describe(cfg), before);
        QCOMPARE(QFileInfo(cfg).isSymLink(), link);
    }
};

QTEST_MAIN(ConfigFilesTest)
#include "tst_configfiles.moc"
