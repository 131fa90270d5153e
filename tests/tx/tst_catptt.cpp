// Keying through Hamlib: a real rigctld with the dummy rig stands in for the radio.
#include "audiopump.h"
#include "rigctld.h"
#include "tx/keyingline.h"
#include "tx/rigptt.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTextEdit>
#include <QtTest>

#include <csignal>

class CatPttTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!Rigctld::available())
            QSKIP("rigctld (libhamlib-utils) is not installed");
    }

    // The rig is keyed while the message plays and released by every way the playback ends.
    void playbackKeysTheRig_data() {
        QTest::addColumn<QString>("end");
        for (const char* end :
             {"end of message", "STOP", "Escape", "sound device failure", "rigctld killed"})
            QTest::newRow(end) << QString(end);
    }
    void playbackKeysTheRig() {
        QFETCH(QString, end);
        Rigctld rig;
        QVERIFY(rig.ready());
        WindowHarness h;
        h.writeMessage(1, QByteArray(40 * kBlock, 'm'));
        if (end == "sound device failure")
            h.wave.failOn(Dir::Output, Op::Queue, 5);
        TTavrin& w = h.open();
        w.show();
        w.keyingLine().selectRig({RigTarget::Kind::Cat, RigTarget::kNetworkModel, rig.address()});
        click(w.ui().TransmitBtn);
        QSignalSpy failures(&w.keyingLine(), &KeyingLine::keyingFailed);
        // The window's event loop must keep turning while the rig is gone.
        QElapsedTimer sinceTick;
        qint64 longestGap = 0;
        QTimer tick;
        tick.callOnTimeout([&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        sinceTick.start();
        tick.start(10);

        AudioPump sound(h.wave, Dir::Output);
        sound.after(3, [&] {
            QTRY_COMPARE_WITH_TIMEOUT(rig.ptt(), 1, 5000);
            QTRY_VERIFY_WITH_TIMEOUT(!w.keyingLine().keyDownPending(), 5000);
            if (end == "rigctld killed") {
                rig.stop();
                longestGap = 0; // the read-backs above block; from here only the window runs
                sinceTick.restart();
                QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 5000);
                const QString reason = failures.at(0).at(0).toString();
                QVERIFY2(reason.contains(rig.address()) && reason.contains("error"),
                         qPrintable(reason));
            }
            if (end == "Escape")
                QTest::keyRelease(w.ui().MessageWindow, Qt::Key_Escape);
            else if (end == "STOP" || end == "rigctld killed")
                click(w.ui().StopBtn);
        });
        click(w.ui().PlayBtn);
        QVERIFY(sound.completed() >= 3);
        QVERIFY(sound.completed() < 40 || end == "end of message");
        if (end == "rigctld killed") {
            QVERIFY2(longestGap < 500, qPrintable(QString::number(longestGap)));
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(rig.ptt(), 0, 5000);
            QCOMPARE(failures.count(), 0);
        }
    }

    // A rig that cannot be reached is reported with its device and the cause.
    void unreachableRigIsNamed_data() {
        QTest::addColumn<RigTarget::Kind>("kind");
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("cause");
        const int ic7300 = 3073; // an Icom IC-7300 on a serial port
        QTest::newRow("no rigctld")
            << RigTarget::Kind::Cat << RigTarget::kNetworkModel << "127.0.0.1:1"
            << "IO error";
        QTest::newRow("serial rig unplugged")
            << RigTarget::Kind::Cat << ic7300 << "/dev/ttyUSB-gone"
            << "No such file";
        QTest::newRow("CM108 unplugged") << RigTarget::Kind::Cm108 << ic7300 << "/dev/hidraw-gone"
                                         << "No such file";
    }
    void unreachableRigIsNamed() {
        QFETCH(RigTarget::Kind, kind);
        QFETCH(int, model);
        QFETCH(QString, device);
        QFETCH(QString, cause);
        WindowHarness h;
        h.open().keyingLine().selectRig({kind, model, device});
        QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.messages.size(), 1, 10000);
        const QString text = h.dialogs.messages.at(0).text;
        QVERIFY2(text.contains(device) && text.contains(cause), qPrintable(text));
    }

    // The built program keys through the rig stored beside its configuration, and a SIGTERM
    // leaves the rig unkeyed before the program is gone.
    void sigtermReleasesTheRig() {
        Rigctld rig;
        QVERIFY(rig.ready() && rig.key(true));
        QTemporaryDir home;
        QVERIFY(QDir().mkpath(home.filePath("Tavrin")));
        QVERIFY(writeBytes(home.filePath("Tavrin/Tavrin.ini"),
                           "[Rig]\nKeying=CAT\nAddress=" + rig.address().toLatin1() + '\n'));
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(TAVRIN_EXECUTABLE), {});
        QVERIFY(program.waitForStarted(20000));
        // The selection at start-up leaves the rig unkeyed.
        QTRY_COMPARE_WITH_TIMEOUT(rig.ptt(), 0, 20000);
        QVERIFY(rig.key(true));
        QTest::qWait(500); // the termination handler is in place once the window runs
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        QVERIFY(program.waitForFinished(20000));
        QCOMPARE(program.exitCode(), 0);
        QCOMPARE(rig.ptt(), 0);
    }
};

QTEST_MAIN(CatPttTest)
#include "tst_catptt.moc"
