#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

#include <pty.h>
#include <unistd.h>

// Devices this machine lacks, stood in for by files and pseudo-terminals that answer the ioctls
// the program asks of the real ones, through the ioctl that the tavrin_devicestandins library
// defines and exports.

// A file named kStandInName passes for a CM108's hidraw device: asked for its HID ids, it answers
// with a CM108's.
namespace hidraw {
inline const QString kStandInName = QStringLiteral("cm108.hidraw");
// How often a stand-in was taken for a CM108 so far.
int identified();
// The last GPIO report written to the stand-in as "cm108 <levels>/<directions>", or nothing.
QString lastReport(const QString& path);
} // namespace hidraw

// A pseudo-terminal passes for a serial port with modem lines: its DTR and RTS are kept, and its
// CTS and DSR are what the test sets, with TIOCMIWAIT woken by each change as a UART's interrupt
// wakes it. A pseudo-terminal of its own refuses all of these.
namespace modemlines {
enum class Wait { Kernel, Refused }; // Refused: TIOCMIWAIT fails as on drivers without it
// From now on the terminal at path (its /dev/pts name) is the stand-in.
void standIn(const QString& path, Wait wait);
// Sets the inputs (TIOCM_CTS, TIOCM_DSR bits); a tap raises them and lets them fall before any
// look can see them.
void setInputs(int bits, bool tap = false);
// TIOCM_DTR and TIOCM_RTS as last set.
int outputs();
// A watch has read the lines, and waits for them in TIOCMIWAIT where the driver can.
bool watched();
} // namespace modemlines

// A pseudo-terminal standing in for a serial device, named COM3 in a directory of its own (never
// a real serial port: the first is this machine's console); the modem-line stand-in when made so.
struct Pty {
    Pty() {
        QCOMPARE(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        QVERIFY(QFile::link(path(), dir.filePath("COM3")));
    }
    ~Pty() { ::close(master), ::close(slave); }
    QString path() const { return QString::fromLocal8Bit(::ttyname(slave)); }
    int master = -1, slave = -1;
    QTemporaryDir dir;
};
