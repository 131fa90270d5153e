// The Linux port layer on what this machine has: pseudo-terminals, files and no parallel port.
#include "support/uniquefd.h"
#include "fakedialogs.h"
#include "tx/keyingline.h"
#include "tx/linuxparallel.h"
#include "tx/linuxportio.h"
#include "tx/linuxserial.h"
#include "wavebytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <termios.h>

namespace {
// Descriptors of this process that refer to the path.
int descriptorsOn(const QString& path) {
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
        count += fd.symLinkTarget() == QFileInfo(path).canonicalFilePath() ? 1 : 0;
    return count;
}
} // namespace

class LinuxPortsTest : public QObject {
    Q_OBJECT

private slots:
    // A pseudo-terminal as COM3 (never a real serial port: the first is this machine's console).
    // It is held locked against other programs, keyed without any change to its settings (a pty
    // refuses the modem lines, which must simply be ignored), and let go at the end.
    void aTerminalIsHeldExclusivelyAndKeyedWithoutNewSettings() {
        int master = -1, slave = -1;
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        const UniqueFd masterFd(master), slaveFd(slave);
        const QString slavePath = QString::fromLocal8Bit(::ttyname(slave));
        QTemporaryDir dir;
        QVERIFY(QFile::link(slavePath, dir.filePath("COM3")));
        termios before{}, after{};
        QCOMPARE(::tcgetattr(slave, &before), 0);
        LinuxPortIo io(dir.path());
        FakeDialogs dialogs;
        {
            KeyingLine line(io, dialogs, {});
            line.COM3Click();
            QCOMPARE(line.KeyingPortName(), QString("COM3"));
            QVERIFY(!io.openSerial("COM3"));
            const UniqueFd other(
                ::open(QFile::encodeName(slavePath).constData(), O_RDWR | O_NOCTTY));
            QCOMPARE(::flock(other.get(), LOCK_EX | LOCK_NB), -1);
            line.drive(KeyingLine::Keyed);
            line.Invert1Click();
            line.drive(KeyingLine::Unkeyed);
            KeyingLine second(io, dialogs, {});
            second.COM3Click();
            QCOMPARE(second.KeyingPortName(), QString("NONE"));
        }
        QCOMPARE(dialogs.texts(), QStringList{"Failed to open the comms device"});
        QCOMPARE(descriptorsOn(slavePath), 1);
        QCOMPARE(::tcgetattr(slave, &after), 0);
        QVERIFY(before.c_iflag == after.c_iflag && before.c_oflag == after.c_oflag &&
                before.c_cflag == after.c_cflag && before.c_lflag == after.c_lflag);
    }

    // A file that is no terminal is let go silently and left untouched; a missing one is reported.
    void whatIsNoTerminalFallsBackToVox() {
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("plain"), "x"));
        QVERIFY(QFile::link(dir.filePath("plain"), dir.filePath("COM2")));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM5")));
        LinuxPortIo io(dir.path());
        FakeDialogs dialogs;
        KeyingLine line(io, dialogs, {});
        line.COM2Click();
        QCOMPARE(line.KeyingPortName(), QString("NONE"));
        QVERIFY(dialogs.messages.isEmpty());
        QCOMPARE(descriptorsOn(dir.filePath("plain")), 0);
        line.drive(KeyingLine::Keyed);
        QCOMPARE(readBytes(dir.filePath("plain")), QByteArray("x"));
        line.COM5Click();
        QCOMPARE(dialogs.texts(), QStringList{"Failed to open the comms device"});
    }

    void parallelAccessIsRefusedWithoutAPort() {
        if (openLinuxParallel(0x378))
            QSKIP("this machine can reach a parallel port");
        LinuxPortIo io(QString{});
        FakeDialogs dialogs;
        KeyingLine line(io, dialogs, {});
        line.Printer1Click();
        QCOMPARE(dialogs.messages.size(), 1);
        QCOMPARE(line.KeyingPortName(), QString("NONE"));
    }
};

QTEST_MAIN(LinuxPortsTest)
#include "tst_linuxports.moc"
