#include "app/linuxlauncher.h"
#include "config/configrecord.h"
#include "wavebytes.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {
// True once the program has its termination handler in place; a signal caught from then on is
// handled as soon as the event loop runs.
bool handlesTerm(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("SigCgt:"))
            return line.mid(7).trimmed().toULongLong(nullptr, 16) & (quint64{1} << (SIGTERM - 1));
    return false;
}
} // namespace

// The built program as an operator starts it: its own process, a home directory of its own.
class ProcessTest : public QObject {
    Q_OBJECT

private slots:
    // Help opens through xdg-open only where xdg-mime names a viewer for it: xdg-open itself
    // succeeds even when nothing can show the file. Stand-ins answer for both.
    void helpOpensOnlyWhereAViewerIs() {
        QTemporaryDir bin;
        const QString page = bin.filePath("index.html"), opened = bin.filePath("opened");
        const QByteArray path = qgetenv("PATH");
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        qputenv("PATH", (bin.path() + ':').toUtf8() + path);
        for (const int viewers : {0, 1}) { // xdg-mime's exit code is 1 where it names none
            QVERIFY(
                writeBytes(page, "help") &&
                writeBytes(bin.filePath("xdg-mime"),
                           "#!/bin/sh\necho v.desktop\nexit " + QByteArray::number(1 - viewers)) &&
                writeBytes(bin.filePath("xdg-open"), "#!/bin/sh\necho \"$1\" >" + opened.toUtf8()));
            for (const char* tool : {"xdg-mime", "xdg-open"})
                QVERIFY(
                    QFile::setPermissions(bin.filePath(tool), QFile::ExeOwner | QFile::ReadOwner));
            QCOMPARE(LinuxLauncher().openDocument(page), viewers == 1);
            QTRY_COMPARE(readBytes(opened), viewers ? page.toUtf8() + '\n' : QByteArray());
        }
    }

    // Every start leaves a configuration, also when the help file is a named pipe; SIGTERM ends
    // the program as the close box does, writing the stored settings back.
    void sigtermWritesTheConfiguration_data() {
        QTest::addColumn<QString>("before"); // what the home directory holds at the start
        QTest::newRow("first run") << "";
        QTest::newRow("installed without configuration") << "installed";
        QTest::newRow("stored configuration") << "installed stored";
        QTest::newRow("named pipe as help file") << "installed stored pipe";
        // The signal comes while a start-up box is open.
        QTest::newRow("during the box of an unplugged port") << "installed stored box";
    }
    void sigtermWritesTheConfiguration() {
        QFETCH(QString, before);
        const bool stored = before.contains("stored"), startUpBox = before.contains("box");
        QTemporaryDir home;
        const QString dir = home.path() + "/Tavrin/", cfg = dir + "Tavrin.cfg";
        QVERIFY(!before.contains("installed") || QDir().mkpath(dir));
        ConfigRecord record;
        record.keyingPolarity = 7; // written back as 2, so the write shows
        record.messageTexts[1] = "CQ test";
        if (startUpBox) {
            // Kept byte for byte: a signal during start-up ends the program without saving.
            record.keyingPolarity = 2;
            record.keyingPortKind = 1;
            record.keyingPortName = "COM3";
            QVERIFY(QFile::link(dir + "unplugged", dir + "COM3"));
        }
        QVERIFY(!stored || writeBytes(cfg, record.serialize()));
        QVERIFY(!before.contains("pipe") ||
                ::mkfifo(QFile::encodeName(dir + "Tavrin.chm"), 0644) == 0);
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TAVRIN_EXECUTABLE), {});
        QVERIFY(process.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cfg) && handlesTerm(process.processId()), 20000);
        // Hamlib is mapped only once a rig is used.
        QVERIFY(!readBytes(QStringLiteral("/proc/%1/maps").arg(process.processId()))
                     .contains("hamlib"));
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000));
        QVERIFY(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0);
        const QByteArray written = readBytes(cfg);
        QVERIFY(!startUpBox || written == record.serialize());
        QCOMPARE(written.size(), 6730);
        const ConfigRecord read = ConfigRecord::parse(written, {});
        QCOMPARE(read.keyingPolarity, stored ? 2 : 1);
        QCOMPARE(read.messageTexts[1], stored ? "CQ test" : "");
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
