// The Linux port layer on what this machine has: pseudo-terminals, files and no parallel port.
#include "devicestandins.h"
#include "support/uniquefd.h"
#include "tx/keyingline.h"
#include "tx/linuxparallel.h"
#include "tx/linuxportio.h"
#include "tx/linuxserial.h"
#include "tx/serialports.h"
#include "windowharness.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>

namespace {
// Descriptors of this process that refer to the path.
int descriptorsOn(const QString& path) {
    int count = 0;
    for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::System))
        count += fd.symLinkTarget() == QFileInfo(path).canonicalFilePath() ? 1 : 0;
    return count;
}

// A UUCP lock file naming the process: ten characters and a newline.
QByteArray lockText(pid_t pid) {
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

// Direct I/O ports with or without a port at the address; a missing port's bus reads 0xFF.
struct FakeIoPorts final : IoPorts {
    explicit FakeIoPorts(bool present) : present(present) {}
    bool grant(std::uint16_t) override { return true; }
    void revoke(std::uint16_t) override {}
    void out(std::uint16_t, std::uint8_t value) override { writes.push_back(latch = value); }
    std::uint8_t in(std::uint16_t) override { return present ? latch : 0xFF; }

    bool present;
    std::uint8_t latch = KeyingLine::Keyed; // the unkeyed level under Invert
    std::vector<std::uint8_t> writes;
};
} // namespace

class LinuxPortsTest : public QObject {
    Q_OBJECT

private slots:
    // USB adapters are offered under their by-id names, each device once.
    void usbSerialPortsAreListed() {
        const Pty adapter, modem;
        QTemporaryDir dev;
        QVERIFY(QDir(dev.path()).mkpath("serial/by-id"));
        const QString byId = dev.filePath("serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2-if00-port0");
        QVERIFY(QFile::link(adapter.path(), byId));
        QVERIFY(QFile::link(adapter.path(), dev.filePath("ttyUSB0")));
        QVERIFY(QFile::link(modem.path(), dev.filePath("ttyACM0")));
        QStringList listed;
        for (const SerialPortEntry& port : listSerialPorts(dev.path()))
            listed << port.label + " = " + port.path;
        QCOMPARE(listed, QStringList({"FTDI FT232R USB UART A1B2 = " + byId,
                                      "ttyACM0 = " + dev.filePath("ttyACM0")}));
    }

    // A serial port, COMn or a USB adapter chosen by a link to it, is opened only after its UUCP
    // lock file is taken: a port another program holds is never opened (the open alone raises DTR
    // and RTS on a real UART), and the refusal names its holder, or the lock file when its owner
    // cannot be shown to be gone; only then is a lock taken over. It is then held exclusively,
    // keyed without any change to its settings (a pty refuses the modem lines, which must simply be
    // ignored), and let go at the end. Earlier lock ("live"/"gone": a UUCP lock of a live or gone
    // process, "binary ...": its pid in four bytes, else the text), how the port is chosen or its
    // lock kept, what the refusal tells ("init": process 1; empty: the port opens).
    void serialPortIsLockedHeldAndLetGo_data() {
        columns<QString, QString, QString>("earlier", "lock", "told");
        const auto row = [](const char* name, const char* earlier, const char* lock,
                            const QString& told) {
            QTest::newRow(name) << earlier << lock << told;
        };
        const QString init = "process 1 (" + readBytes("/proc/1/comm").trimmed() + ')';
        row("no lock", "", "", "");
        row("by path", "", "by path", "");
        row("live", "live", "", init);
        row("text 0001", "0001", "", init);
        row("padded text 1", "  1\n", "", init);
        row("binary live", "binary live", "", init);
        row("binary gone", "binary gone", "", "names no process");
        row("text minicom", "minicom\n", "", "names no process");
        row("pipe", "", "pipe", "not a regular file");
        row("gone", "gone", "", "");
        row("no lock directory", "", "no directory", "");
    }
    void serialPortIsLockedHeldAndLetGo() {
        QFETCH(QString, earlier);
        QFETCH(QString, lock);
        QFETCH(QString, told);
        const pid_t gone = ::fork();
        if (gone == 0)
            ::_exit(0);
        ::waitpid(gone, nullptr, 0);
        const qint32 pid = earlier.endsWith("live") ? 1 : gone;
        const QByteArray existing = earlier.isEmpty() ? QByteArray()
                                    : earlier.startsWith("binary")
                                        ? QByteArray(reinterpret_cast<const char*>(&pid), 4)
                                    : pid == 1 || earlier == "gone" ? lockText(pid)
                                                                    : earlier.toLatin1();
        const bool opens = told.isEmpty();
        const Pty pty;
        QTemporaryDir locks;
        const QString lockDir = lock == "no directory" ? locks.filePath("missing") : locks.path();
        const QString lockPath = lockDir + "/LCK.." + pty.path().mid(5).replace('/', '_');
        QVERIFY(lock == "pipe" ? ::mkfifo(QFile::encodeName(lockPath), 0644) == 0
                               : existing.isNull() || writeBytes(lockPath, existing));
        UniqueFd opensSeen(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        QVERIFY(::inotify_add_watch(opensSeen.get(), pty.path().toLocal8Bit(), IN_OPEN) >= 0);
        termios before{}, after{};
        QCOMPARE(::tcgetattr(pty.slave, &before), 0);
        LinuxPortIo io(pty.dir.path(), lockDir);
        FakeDialogs dialogs;
        {
            KeyingLine line(io, dialogs, {});
            const QString name = lock == "by path" ? pty.dir.filePath("COM3") : "COM3";
            lock == "by path" ? line.selectSerialDevice(name) : line.chooseCom3();
            QCOMPARE(line.portName(), opens ? name : QString("NONE"));
            char event[256];
            QCOMPARE(::read(opensSeen.get(), event, sizeof event) > 0, opens);
            if (!opens) {
                QVERIFY(QFileInfo::exists(lockPath) &&
                        (lock == "pipe" || readBytes(lockPath) == existing));
                QVERIFY2(dialogs.texts().value(0).contains(told),
                         qPrintable(dialogs.texts().value(0)));
                return;
            }
            QCOMPARE(readBytes(lockPath), lockDir == locks.path() ? lockText(::getpid()) : "");
            // Another program's exclusive lock on the device is refused.
            const UniqueFd other(
                ::open(QFile::encodeName(pty.path()).constData(), O_RDWR | O_NOCTTY));
            QCOMPARE(::flock(other.get(), LOCK_EX | LOCK_NB), -1);
            int exclusive = 0;
            QVERIFY(::ioctl(pty.slave, TIOCGEXCL, &exclusive) == 0 && exclusive == 1);
            line.drive(KeyingLine::Keyed);
            line.chooseInvertedPolarity();
            line.drive(KeyingLine::Unkeyed);
        }
        QVERIFY(dialogs.messages.isEmpty() && !QFile::exists(lockPath));
        QCOMPARE(descriptorsOn(pty.path()), 1);
        QCOMPARE(::tcgetattr(pty.slave, &after), 0);
        QVERIFY(before.c_iflag == after.c_iflag && before.c_oflag == after.c_oflag &&
                before.c_cflag == after.c_cflag && before.c_lflag == after.c_lflag);
    }

    // The ppdev device of the parallel port at an I/O address, found among the base addresses
    // the kernel lists ("888\t1912": the base, then the extended-mode base).
    void parallelPortIsFoundByItsAddress_data() {
        QTest::addColumn<int>("address");
        QTest::addColumn<QString>("device");
        QTest::newRow("second") << 0x378 << "/dev/parport1";
        QTest::newRow("first") << 0x278 << "/dev/parport0";
        QTest::newRow("none") << 0x3bc << "";
    }
    void parallelPortIsFoundByItsAddress() {
        QFETCH(int, address);
        QFETCH(QString, device);
        QTemporaryDir proc;
        for (const auto& [name, base] : {std::pair{"parport0", "632\t1656\n"},
                                         {"parport1", "888\t1912\n"},
                                         {"parportx", "956\n"}})
            QVERIFY(QDir(proc.path()).mkdir(name) &&
                    writeBytes(proc.filePath(QString(name) + "/base-addr"), base));
        QCOMPARE(ppdevDeviceFor(std::uint16_t(address), proc.path(), "/dev"), device);
    }

    // A port that cannot key is let go and keying falls back to VOX: a file that is no terminal
    // silently and untouched; a missing device, a parallel port the system refuses (as here) or one
    // that direct access (the double) finds no port at, with the reason. A parallel port is used
    // only when its data register reads back what was written.
    void onlyAPortThatAnswersIsUsed_data() {
        columns<QString, QString>("port", "told");
        QTest::newRow("COM2") << "COM2" << QString();
        QTest::newRow("COM5") << "COM5" << QString("COM5: No such file");
        QTest::newRow("LPT1") << "LPT1" << QString("I/O address 0x378");
        QTest::newRow("LPT1 direct")
            << "LPT1 direct" << QString("no port answers at I/O address 0x378");
        QTest::newRow("LPT1 direct answering") << "LPT1 direct answering" << QString();
    }
    void onlyAPortThatAnswersIsUsed() {
        QFETCH(QString, port);
        QFETCH(QString, told);
        const bool direct = port.contains("direct"), present = port.endsWith("answering");
        if (port == "LPT1" ? bool(openLinuxParallel(0x378).line)
                           : direct && !ppdevDeviceFor(0x378).isEmpty())
            QSKIP("this machine has a parallel port");
        QTemporaryDir dir;
        QVERIFY(writeBytes(dir.filePath("plain"), "x"));
        QVERIFY(QFile::link(dir.filePath("plain"), dir.filePath("COM2")));
        QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM5")));
        FakeIoPorts ports(present);
        LinuxPortIo io(dir.path(), QString{}, direct ? ports : machineIoPorts());
        FakeDialogs dialogs;
        KeyingLine line(io, dialogs, {});
        line.chooseInvertedPolarity();
        port == "COM2" ? line.chooseCom2() : port == "COM5" ? line.chooseCom5() : line.chooseLpt1();
        QCOMPARE(line.portName(), present ? QString("LPT1") : QString("NONE"));
        const QString named = told.startsWith("COM") ? dir.filePath(told) : told;
        QCOMPARE(dialogs.messages.size(), int(!named.isEmpty()));
        QVERIFY2(named.isEmpty() || dialogs.texts()[0].contains(named), qPrintable(named));
        QCOMPARE(descriptorsOn(dir.filePath("plain")), 0);
        // Probing never moves the keying bits D0 and D1 away from their unkeyed level.
        for (std::uint8_t value : ports.writes)
            QCOMPARE(value & KeyingLine::Keyed, int(KeyingLine::Keyed));
        line.drive(KeyingLine::Keyed);
        QCOMPARE(ports.latch & KeyingLine::Keyed, present ? 0 : int(KeyingLine::Keyed));
        QCOMPARE(readBytes(dir.filePath("plain")), QByteArray("x"));
    }
};

QTEST_MAIN(LinuxPortsTest)
#include "tst_linuxports.moc"
