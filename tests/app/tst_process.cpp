#include "config/configrecord.h"
#include "wavebytes.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

// The built program as an operator starts it: its own process, a home directory of its own.
class ProcessTest : public QObject {
    Q_OBJECT

private:
    struct Run {
        QTemporaryDir home;
        QProcess process;

        QString installDir() const { return home.path() + "/Tavrin/"; }

        void start() {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("HOME", home.path());
            env.insert("QT_QPA_PLATFORM", "offscreen");
            process.setProcessEnvironment(env);
            process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            process.start(QStringLiteral(TAVRIN_EXECUTABLE), {});
            // Until the program is executed, the child carries the test's own signal handlers.
            QVERIFY(process.waitForStarted(20000));
        }

        // True once the program has its termination handler in place; a signal caught from then
        // on is handled as soon as the event loop runs.
        bool handlesTerm() const {
            QFile status(QStringLiteral("/proc/%1/status").arg(process.processId()));
            if (!status.open(QIODevice::ReadOnly))
                return false;
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("SigCgt:")) {
                    const quint64 caught = line.mid(7).trimmed().toULongLong(nullptr, 16);
                    return caught & (quint64{1} << (SIGTERM - 1));
                }
            }
            return false;
        }

        void terminate() {
            QTRY_VERIFY_WITH_TIMEOUT(handlesTerm(), 20000);
            ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
            QVERIFY(process.waitForFinished(20000));
            QCOMPARE(process.exitStatus(), QProcess::NormalExit);
            QCOMPARE(process.exitCode(), 0);
        }
    };

private slots:
    // A first run installs a default configuration; SIGTERM ends the program as the close box
    // does, writing the configuration back.
    void sigtermWritesTheConfiguration() {
        Run first;
        first.start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(first.installDir() + "Tavrin.cfg"), 20000);
        first.terminate();
        QCOMPARE(QFileInfo(first.installDir() + "Tavrin.cfg").size(), qint64(6730));
        Run run;
        QVERIFY(QDir().mkpath(run.installDir()));
        ConfigRecord stored;
        stored.keyingPolarity = 7; // written back as 2, so the write shows
        stored.messageTexts[1] = "CQ test";
        QVERIFY(writeBytes(run.installDir() + "Tavrin.cfg", stored.serialize()));
        run.start();
        run.terminate();
        const ConfigRecord written =
            ConfigRecord::parse(readBytes(run.installDir() + "Tavrin.cfg"), ConfigRecord{});
        QCOMPARE(written.keyingPolarity, 2);
        QCOMPARE(written.messageTexts[1], QByteArray("CQ test"));
    }

    // A help file that is a named pipe must not stop the start either: the stored settings
    // are then read and written back.
    void everyStartLeavesAConfiguration_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<bool>("pipeAsHelp");
        QTest::newRow("first run") << false << false;
        QTest::newRow("installed without configuration") << true << false;
        QTest::newRow("named pipe as help file") << true << true;
    }
    void everyStartLeavesAConfiguration() {
        QFETCH(bool, installed);
        QFETCH(bool, pipeAsHelp);
        Run run;
        const QString cfg = run.installDir() + "Tavrin.cfg";
        QVERIFY(!installed || QDir().mkpath(run.installDir()));
        ConfigRecord stored;
        stored.keyingPolarity = 7; // written back as 2
        QVERIFY(!pipeAsHelp ||
                (writeBytes(cfg, stored.serialize()) &&
                 ::mkfifo(QFile::encodeName(run.installDir() + "Tavrin.chm"), 0644) == 0));
        run.start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(cfg), 20000);
        run.terminate();
        QCOMPARE(QFileInfo(cfg).size(), qint64(6730));
        QCOMPARE(ConfigRecord::parse(readBytes(cfg), {}).keyingPolarity, pipeAsHelp ? 2 : 1);
    }

    void aSignalDuringStartUpEndsItAndKeepsTheSettings() {
        Run run;
        QVERIFY(QDir().mkpath(run.installDir()));
        // The stored port's adapter is unplugged: its failure box is open when the signal comes.
        QVERIFY(QFile::link(run.installDir() + "unplugged", run.installDir() + "COM3"));
        ConfigRecord stored;
        stored.keyingPortKind = 1;
        stored.keyingPortName = "COM3";
        stored.keyingPolarity = 2;
        stored.micGainCode = 100;
        stored.idAlarmOn = 1;
        stored.stayOnTop = 1;
        stored.outputDevice = 1;
        const QString cfg = run.installDir() + "Tavrin.cfg";
        QVERIFY(writeBytes(cfg, stored.serialize()));

        run.start();
        run.terminate();
        QCOMPARE(readBytes(cfg), stored.serialize());
    }
};

QTEST_GUILESS_MAIN(ProcessTest)
#include "tst_process.moc"
