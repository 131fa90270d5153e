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
    const QByteArray status = readBytes(QStringLiteral("/proc/%1/status").arg(pid));
    const qsizetype at = status.indexOf("\nSigCgt:");
    return at >= 0 && status.mid(at + 8).split('\n')[0].trimmed().toULongLong(nullptr, 16) &
                          (quint64{1} << (SIGTERM - 1));
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
        const auto script = [&](const char* tool, const QByteArray& body) {
            return writeBytes(bin.filePath(tool), "#!/bin/sh\n" + body) &&
                   QFile::setPermissions(bin.filePath(tool), QFile::ExeOwner | QFile::ReadOwner);
        };
        QVERIFY(writeBytes(page, "help") && script("xdg-open", "echo \"$1\" >" + opened.toUtf8()));
        for (const int viewers : {0, 1}) { // xdg-mime's exit code is 1 where it names none
            QVERIFY(script("xdg-mime", "echo v.desktop\nexit " + QByteArray::number(1 - viewers)));
            QCOMPARE(LinuxLauncher().openDocument(page), viewers == 1);
            QTRY_COMPARE(readBytes(opened), viewers ? page.toUtf8() + '\n' : QByteArray());
        }
    }

    // Every start leaves a configuration, also when the help file is a named pipe; SIGTERM ends
    // the program as the close box does, writing the stored settings back.
    void sigtermWritesTheConfiguration_data() {
        // What the home directory holds at the start; "box": the signal comes while the start-up
        // box of an unplugged port is open.
        QTest::addColumn<QString>("before");
        for (const char* before : {"nothing", "installed", "installed stored",
                                   "installed stored pipe", "installed stored box"})
            QTest::newRow(before) << QString(before);
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
        process.setEnvironment(QProcess::systemEnvironment()
                               << "HOME=" + home.path() << "QT_QPA_PLATFORM=offscreen");
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(TAVRIN_EXECUTABLE), {});
        // Until the program runs, /proc shows the forked test with the test's own handlers.
        QVERIFY(process.waitForStarted(20000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cfg) && handlesTerm(process.processId()), 20000);
        // Hamlib is mapped only once a rig is used.
        QVERIFY(!readBytes(QStringLiteral("/proc/%1/maps").arg(process.processId()))
                     .contains("hamlib"));
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit &&
                process.exitCode() == 0);
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
