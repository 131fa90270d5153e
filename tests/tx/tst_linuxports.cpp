#include "app/uniquefd.h"
#include "fakedialogs.h"
#include "tx/keyingline.h"
#include "tx/linuxparallel.h"
#include "tx/linuxportio.h"
#include "tx/linuxserial.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#if defined(__x86_64__) || defined(__i386__)
#include <sys/io.h>
#define HAVE_IOPERM 1
#endif
#include <termios.h>

namespace {

const QString commsErrorTitle = QStringLiteral("Communications I/O Error");

// Descriptors of this process that refer to the path.
int descriptorsOn(const QString& path) {
    const QString target = QFileInfo(path).canonicalFilePath();
    int count = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::System))
        if (fd.symLinkTarget() == target)
            ++count;
    return count;
}

bool sameSettings(const termios& a, const termios& b) {
    return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag &&
           a.c_lflag == b.c_lflag && std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0 &&
           cfgetospeed(&a) == cfgetospeed(&b);
}

// A pseudo-terminal reachable as "COM3" through the installation directory, so that no real
// serial port (the first of which is this machine's console) is ever touched.
struct PtyPort {
    PtyPort() {
        int master = -1, slave = -1;
        if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0)
            return;
        masterFd.reset(master);
        slaveFd.reset(slave);
        slavePath = QString::fromLocal8Bit(::ttyname(slave));
        QFile::link(slavePath, installDir.filePath(QStringLiteral("COM3")));
    }
    QTemporaryDir installDir;
    UniqueFd masterFd;
    UniqueFd slaveFd;
    QString slavePath;
};

// A UUCP lock file naming the process: ten characters and a newline.
QByteArray lockText(pid_t pid) {
    return QByteArray::number(pid).rightJustified(10, ' ') + '\n';
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Direct I/O ports with or without a port at the address; a missing port's bus reads 0xFF.
struct FakeIoPorts final : IoPorts {
    explicit FakeIoPorts(bool present) : present(present) {}
    bool grant(std::uint16_t) override { return granted = true; }
    void revoke(std::uint16_t) override { granted = false; }
    void out(std::uint16_t, std::uint8_t value) override { writes.push_back(latch = value); }
    std::uint8_t in(std::uint16_t) override { return present ? latch : 0xFF; }

    bool present;
    bool granted = false;
    std::uint8_t latch = KeyingLine::Keyed; // the unkeyed level under Invert
    std::vector<std::uint8_t> writes;
};

} // namespace

class LinuxPortsTest : public QObject {
    Q_OBJECT

private slots:
    void portNamesMapToDevices();
    void pseudoTerminalOpensExclusively();
    void pseudoTerminalKeysWithoutChangingSettings();
    void plainFileIsNoCommDevice();
    void missingDeviceFailsToOpen();
    void ppdevDeviceFoundByBaseAddress();
    void parallelAccessRefusedWithoutAPort();
    void serialLockFileGuardsTheDevice_data();
    void serialLockFileGuardsTheDevice();
    void directParallelPortMustAnswer_data();
    void directParallelPortMustAnswer();
};

void LinuxPortsTest::portNamesMapToDevices() {
    QTemporaryDir dir;
    QCOMPARE(serialDevicePath(dir.path(), "COM1"), QString("/dev/ttyS0"));
    QCOMPARE(serialDevicePath(dir.path(), "COM6"), QString("/dev/ttyS5"));
    QCOMPARE(serialDevicePath(QString(), "COM2"), QString("/dev/ttyS1"));
    // An entry in the installation directory wins, even a link whose adapter is unplugged.
    QVERIFY(QFile::link("/dev/serial/by-id/unplugged-adapter", dir.filePath("COM2")));
    QCOMPARE(serialDevicePath(dir.path(), "COM2"), dir.filePath("COM2"));
    QCOMPARE(serialDevicePath(dir.path(), "COM1"), QString("/dev/ttyS0"));
    for (const char* name : {"NONE", "LPT1", "COM0", "com1", "COM", "COM1 ", "/dev/ttyS0"})
        QVERIFY2(serialDevicePath(dir.path(), name).isEmpty(), name);
    QVERIFY(!openLinuxSerial(QString(), QString()).line);
}

void LinuxPortsTest::pseudoTerminalOpensExclusively() {
    PtyPort pty;
    QVERIFY(pty.masterFd.valid());
    LinuxPortIo io(pty.installDir.path(), pty.installDir.path());

    auto first = io.openSerial("COM3").line;
    QVERIFY(first);
    QVERIFY(first->isCommDevice());
    QVERIFY(!io.openSerial("COM3").line);
    // Another process's lock on its own descriptor is what flock sees; this one stands for it.
    UniqueFd other(::open(pty.slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY));
    QCOMPARE(::flock(other.get(), LOCK_EX | LOCK_NB), -1);
    first.reset();
    QCOMPARE(::flock(other.get(), LOCK_EX | LOCK_NB), 0);
    QVERIFY(!io.openSerial("COM3").line);
    QCOMPARE(::flock(other.get(), LOCK_UN), 0);
    QVERIFY(io.openSerial("COM3").line);

    // Two keyers: the second sees the port as in use and falls back to VOX.
    FakeDialogs dialogs;
    KeyingLine holder(io, dialogs, {});
    KeyingLine second(io, dialogs, {});
    holder.COM3Click();
    QCOMPARE(holder.KeyingPortName(), QString("COM3"));
    second.COM3Click();
    QCOMPARE(dialogs.messages.size(), 1);
    QCOMPARE(dialogs.messages[0].title, commsErrorTitle);
    QCOMPARE(dialogs.messages[0].text, QString("Failed to open the comms device\nThe port is held "
                                               "by process %1 (tst_linuxports).")
                                           .arg(::getpid()));
    QCOMPARE(second.KeyingPortName(), QString("NONE"));
    holder.VOX1Click();
    second.COM3Click();
    QCOMPARE(second.KeyingPortName(), QString("COM3"));
    QCOMPARE(dialogs.messages.size(), 1);
}

void LinuxPortsTest::pseudoTerminalKeysWithoutChangingSettings() {
    PtyPort pty;
    QVERIFY(pty.masterFd.valid());
    termios before{};
    QCOMPARE(::tcgetattr(pty.slaveFd.get(), &before), 0);

    LinuxPortIo io(pty.installDir.path(), pty.installDir.path());
    FakeDialogs dialogs;
    {
        KeyingLine line(io, dialogs, {});
        line.COM3Click();
        // A pty has no modem lines: every DTR/RTS request fails and must simply be ignored.
        line.drive(KeyingLine::Keyed);
        line.Invert1Click();
        line.drive(KeyingLine::Unkeyed);
        QCOMPARE(line.KeyingPortName(), QString("COM3"));
        QCOMPARE(line.KeyingPortKind(), 1);
        QCOMPARE(descriptorsOn(pty.slavePath), 2); // ours and the keying line's
    }
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(descriptorsOn(pty.slavePath), 1);

    termios after{};
    QCOMPARE(::tcgetattr(pty.slaveFd.get(), &after), 0);
    QVERIFY(sameSettings(before, after));
}

void LinuxPortsTest::plainFileIsNoCommDevice() {
    QTemporaryDir dir;
    const QString plain = dir.filePath("not-a-port");
    {
        QFile file(plain);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    QVERIFY(QFile::link(plain, dir.filePath("COM2")));
    LinuxPortIo io(dir.path(), dir.path());
    FakeDialogs dialogs;
    KeyingLine line(io, dialogs, {});
    line.COM2Click();
    QVERIFY(dialogs.messages.isEmpty());
    QCOMPARE(line.KeyingPortName(), QString("NONE"));
    QCOMPARE(descriptorsOn(plain), 0);
    line.drive(KeyingLine::Keyed);
    QFile file(plain);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("x"));
}

void LinuxPortsTest::missingDeviceFailsToOpen() {
    QTemporaryDir dir;
    QVERIFY(QFile::link(dir.filePath("gone"), dir.filePath("COM5")));
    LinuxPortIo io(dir.path(), dir.path());
    FakeDialogs dialogs;
    KeyingLine line(io, dialogs, {});
    line.COM5Click();
    QCOMPARE(dialogs.texts(), QStringList{"Failed to open the comms device"});
    QCOMPARE(line.KeyingPortName(), QString("NONE"));
}

void LinuxPortsTest::ppdevDeviceFoundByBaseAddress() {
    QTemporaryDir proc;
    const struct {
        const char* dir;
        const char* baseAddr;
    } ports[] = {
        {"parport0", "632\t1656\n"}, {"parport1", "888\t1912\n"}, {"parport2", "956\t-1\n"}};
    for (const auto& port : ports) {
        QVERIFY(QDir(proc.path()).mkpath(port.dir));
        QFile file(proc.filePath(QString(port.dir) + "/base-addr"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(port.baseAddr);
    }
    QVERIFY(QDir(proc.path()).mkpath("default")); // the kernel's settings directory
    QCOMPARE(ppdevDeviceFor(0x378, proc.path(), "/dev"), QString("/dev/parport1"));
    QCOMPARE(ppdevDeviceFor(0x3BC, proc.path(), "/dev"), QString("/dev/parport2"));
    QCOMPARE(ppdevDeviceFor(0x278, proc.path(), "/dev"), QString("/dev/parport0"));
    QCOMPARE(ppdevDeviceFor(0x2BC, proc.path(), "/dev"), QString());
    QCOMPARE(ppdevDeviceFor(0x378, proc.filePath("missing"), "/dev"), QString());
}

void LinuxPortsTest::parallelAccessRefusedWithoutAPort() {
    if (!ppdevDeviceFor(0x378).isEmpty() || !ppdevDeviceFor(0x3BC).isEmpty())
        QSKIP("this machine has a parallel port");
#ifdef HAVE_IOPERM
    if (::ioperm(0x378, 1, 1) == 0) {
        ::ioperm(0x378, 1, 0);
        QSKIP("this process may write I/O ports directly");
    }
#endif
    QVERIFY(!openLinuxParallel(0x378));
    QVERIFY(!openLinuxParallel(0x3BC));

    LinuxPortIo io(QString{});
    FakeDialogs dialogs;
    KeyingLine line(io, dialogs, {});
    line.Printer1Click();
    QCOMPARE(dialogs.messages,
             (QList<FakeDialogs::Message>{
                 {"This function is not supported under WindowsNT, Windows2000, & WindowsXP",
                  commsErrorTitle}}));
    QCOMPARE(line.KeyingPortName(), QString("NONE"));
    QCOMPARE(line.KeyingPortKind(), 1);
}

void LinuxPortsTest::serialLockFileGuardsTheDevice_data() {
    QTest::addColumn<QByteArray>("existing"); // an earlier lock file's contents
    QTest::addColumn<bool>("lockDirUsable");
    QTest::addColumn<bool>("opens");
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    QTest::newRow("free") << QByteArray() << true << true;
    QTest::newRow("held by a live process") << lockText(1) << true << false;
    QTest::newRow("stale, its process gone") << lockText(gone) << true << true;
    QTest::newRow("no lock directory") << QByteArray() << false << true;
}

void LinuxPortsTest::serialLockFileGuardsTheDevice() {
    QFETCH(QByteArray, existing);
    QFETCH(bool, lockDirUsable);
    QFETCH(bool, opens);
    PtyPort pty;
    QTemporaryDir locks;
    const QString lockDir = lockDirUsable ? locks.path() : locks.filePath("missing");
    const QString lockPath = lockDir + "/LCK.." + pty.slavePath.mid(5).replace('/', '_');
    if (!existing.isEmpty())
        QVERIFY(writeFile(lockPath, existing));
    UniqueFd opensSeen(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    QVERIFY(::inotify_add_watch(opensSeen.get(), pty.slavePath.toLocal8Bit(), IN_OPEN) >= 0);

    LinuxPortIo io(pty.installDir.path(), lockDir);
    SerialOpen opened = io.openSerial("COM3");
    QCOMPARE(bool(opened.line), opens);
    // A port another program holds is not even opened: the open alone would raise DTR and RTS.
    char event[256];
    QCOMPARE(::read(opensSeen.get(), event, sizeof event) > 0, opens);
    if (!opens) {
        QCOMPARE(readFile(lockPath), existing);
        QCOMPARE(opened.holder, QString("1 (%1)").arg(QString(readFile("/proc/1/comm").trimmed())));
        return;
    }
    QCOMPARE(readFile(lockPath), lockDirUsable ? lockText(::getpid()) : QByteArray());
    int exclusive = 0;
    QCOMPARE(::ioctl(pty.slaveFd.get(), TIOCGEXCL, &exclusive), 0);
    QCOMPARE(exclusive, 1);
    opened.line.reset();
    QVERIFY(!QFile::exists(lockPath));
}

void LinuxPortsTest::directParallelPortMustAnswer_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("selected");
    QTest::newRow("a port answers") << true << "LPT1";
    QTest::newRow("nothing at the address") << false << "NONE";
}

void LinuxPortsTest::directParallelPortMustAnswer() {
    QFETCH(bool, present);
    QFETCH(QString, selected);
    if (!ppdevDeviceFor(0x378).isEmpty())
        QSKIP("this machine has a parallel port");
    FakeIoPorts direct(present);
    LinuxPortIo io(QString{}, QString{}, direct);
    FakeDialogs dialogs;
    KeyingLine line(io, dialogs, {});
    line.Invert1Click();
    line.Printer1Click();
    QCOMPARE(line.KeyingPortName(), selected);
    QCOMPARE(direct.granted, present);
    QCOMPARE(dialogs.messages.size(), present ? 0 : 1);
    // Probing never moves the keying bits D0 and D1 away from their unkeyed level.
    for (std::uint8_t value : direct.writes)
        QCOMPARE(value & KeyingLine::Keyed, int(KeyingLine::Keyed));
    line.drive(KeyingLine::Keyed);
    QCOMPARE(direct.latch & KeyingLine::Keyed, present ? 0 : int(KeyingLine::Keyed));
}

QTEST_MAIN(LinuxPortsTest)
#include "tst_linuxports.moc"
