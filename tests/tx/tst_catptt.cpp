// Keying through Hamlib: a real rigctld with the dummy rig stands in for the radio.
#include "app/catdialog.h"
#include "app/cm108dialog.h"
#include "app/look.h"
#include "audiopump.h"
#include "devicestandins.h"
#include "rigctld.h"
#include "tx/keyingline.h"
#include "tx/rigptt.h"
#include "tx/rigsettings.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QSpinBox>
#include <QtTest>

using namespace std::chrono_literals;

class CatPttTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        if (!Rigctld::available())
            QSKIP("rigctld (libhamlib-utils) is not installed");
    }

    // Every Hamlib model (this runs before any rig loads a backend) and hidraw device.
    void everyRigModelAndHidrawDeviceIsOffered() {
        QStringList offered;
        QObject context;
        listRigModels(&context, [&](const std::vector<RigModel>& models, const QString&) {
            for (const RigModel& m : models)
                offered << QString("%1 %2").arg(m.model).arg(m.name);
        });
        QTRY_VERIFY(offered.contains("1 Hamlib Dummy") && offered.contains("3073 Icom IC-7300"));
        QTemporaryDir sys;
        QVERIFY(QDir(sys.path()).mkpath("hidraw0") && QDir(sys.path()).mkpath("hidraw3/device") &&
                writeBytes(sys.filePath("hidraw3/device/uevent"), "HID_NAME=C-Media USB\n"));
        offered.clear();
        for (const PortChoice& device : hidrawDevices(sys.path()))
            offered << device.path + " = " + device.label;
        QCOMPARE(offered, (QStringList{"/dev/hidraw0 = /dev/hidraw0",
                                       "/dev/hidraw3 = /dev/hidraw3 (C-Media USB)"}));
    }

    // A rig that cannot be reached is named, with the cause, when it is chosen; one that takes
    // the connection and never answers (a stopped rigctld) gets TUNE or a message refused once
    // the key-down has gone unconfirmed for the bound the refusal names, before any sound.
    // Nothing shows keyed. The rig (model 3073: an Icom IC-7300 on a serial port), what is
    // pressed, cause. First: once Hamlib has talked to a rigctld it shortens its network
    // timeouts for the whole process, and the silent rig's open would fail before the bound.
    void aRigThatCannotKeyIsNamed_data() {
        using Kind = RigTarget::Kind;
        columns<RigTarget, QString, QString>("target", "pressed", "cause");
        QTest::newRow("refused") << RigTarget{Kind::Cat, 2, "127.0.0.1:1"} << QString()
                                 << "rigctld at 127.0.0.1:1: Connection refused.";
        QTest::newRow("serial port gone") << RigTarget{Kind::Cat, 3073, "/dev/ttyUSB-gone"}
                                          << QString() << "IO error (No such file or directory).";
        QTest::newRow("unknown model")
            << RigTarget{Kind::Cat, 999999, {}} << QString()
            << "rig model 999999 with no port named: Hamlib has no such rig model.";
        QTest::newRow("CM108 gone")
            << RigTarget{Kind::Cm108, 3073, "/dev/hidraw-gone"} << QString() << "No such file";
        const QString within = QString("within %1 s").arg(KeyingLine::kKeyDownWait.count() / 1000);
        for (const char* pressed : {"PLAY", "TUNE"})
            QTest::addRow("silent, %s", pressed)
                << RigTarget{Kind::Cat, 2, "silent"} << pressed << within;
    }
    void aRigThatCannotKeyIsNamed() {
        QFETCH(RigTarget, target);
        QFETCH(QString, pressed);
        QFETCH(QString, cause);
        Rigctld rig;
        rig.pause(true);
        if (target.device == "silent")
            target.device = rig.address();
        WindowHarness h;
        h.writeMessage(1, QByteArray(4 * kBlock, 'm'));
        MainWindow& w = h.openKeying();
        QSignalSpy shown(&w.station().transmitControls().state(), &TxState::transmittingChanged);
        w.station().keyingLine().selectRig(target);
        const QDeadlineTimer bound(KeyingLine::kKeyDownWait + 500ms);
        if (!pressed.isEmpty())
            click(pressed == "PLAY" ? w.ui().playButton : w.ui().tuneButton);
        QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.messages.size(), 1, 10000);
        QVERIFY(pressed.isEmpty() || !bound.hasExpired());
        const QString text = h.dialogs.messages[0].text;
        QVERIFY2(text.contains(target.device) && text.contains(cause), qPrintable(text));
        QVERIFY(shown.isEmpty() && h.wave.played().isEmpty() &&
                !w.station().keyerState().playActive() &&
                !w.station().transmitControls().state().tuning());
    }

    // A rig that stops answering while keyed (rigctld stopped, later continued, or killed) shows
    // keyed until it confirms the unkey, sent again on new connections until it lands; the window
    // never waits for it. What unkeys: TUNE, STOP, Escape, VOX (TUNE then keys VOX, as on any port
    // change), the close box, the message a silent rig ends. Seconds silent (0: killed).
    void aSilentRigShowsKeyedUntilItConfirmsTheUnkey_data() {
        columns<QString, std::chrono::seconds>("way", "silence");
        for (auto [way, silence] : {std::pair{"VOX", 3s},
                                    {"TUNE", 3s},
                                    {"STOP", 3s},
                                    {"Escape", 12s},
                                    {"close box", 3s},
                                    {"message", 12s}})
            QTest::newRow(way) << way << silence;
        QTest::newRow("message, killed") << "message" << 0s;
    }
    void aSilentRigShowsKeyedUntilItConfirmsTheUnkey() {
        QFETCH(QString, way);
        QFETCH(std::chrono::seconds, silence);
        const int silentMs = int(std::chrono::milliseconds(silence).count());
        const bool message = way == "message", stays = way != "VOX";
        Rigctld rig;
        WindowHarness h;
        h.writeMessage(1, QByteArray(40 * kBlock, 'm'));
        QVERIFY(rig.ready() && rig.key(true) &&
                writeBytes(h.installDir() + "Tavrin.ini",
                           "[Rig]\nKeying=CAT\nAddress=" + rig.address().toLatin1()));
        MainWindow& w = h.open();
        QTRY_COMPARE_WITH_TIMEOUT(rig.ptt(), 0, 5000);
        w.show();
        click(w.ui().txEnableButton);
        QLabel* panel = w.ui().rxTxIndicator;
        QElapsedTimer sinceTick, silent;
        qint64 longestGap = 0;
        QTimer tick;
        tick.callOnTimeout([&] { longestGap = std::max(longestGap, sinceTick.restart()); });
        const auto goSilent = [&] {
            QVERIFY(QTest::qWaitFor([&] { return panel->text() == "Transmit"; }));
            silentMs ? rig.pause(true) : rig.stop();
            silent.start();
            sinceTick.start();
            tick.start(10);
        };
        AudioPump sound(h.wave, Dir::Output);
        sound.after(3, [&] {
            goSilent();
            QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.messages.size(), 1, silentMs + 5000);
        });
        message ? click(w.ui().playButton) : click(w.ui().tuneButton);
        if (!message) {
            goSilent();
            way == "VOX"    ? w.ui().voxItem->trigger()
            : way == "TUNE" ? click(w.ui().tuneButton)
                            : press(w, way);
        }
        QVERIFY(sound.completed() < 40 &&
                w.station().transmitControls().state().tuning() == !stays);
        QTRY_COMPARE_WITH_TIMEOUT(panel->text(),
                                  stays ? "Transmit — unkey not confirmed" : "Transmit",
                                  int(KeyingLine::kUnkeyWait.count()) + 500);
        QCOMPARE(look::fillColour(panel), look::kRed);
        // The warning spreads over the label beside the panel, and is seen over it.
        const QPoint label = w.ui().rxTxCaption->geometry().topLeft() + QPoint(2, 2);
        QCOMPARE(w.grab().toImage().pixelColor(panel->parentWidget()->mapTo(&w, label)) ==
                     look::kRed,
                 stays);
        QVERIFY2(std::max(longestGap, sinceTick.elapsed()) < 500, "the window waited");
        QVERIFY(!message || h.dialogs.texts().value(0).contains(rig.address() + ": stopped answ"));
        if (way == "close box") { // the program's end waits for the rig, within a bound
            const QDeadlineTimer bound(RigPtt::kCloseWait + 500ms);
            h.window.reset();
            QVERIFY(!bound.hasExpired());
        }
        if (!silentMs)
            return;
        QTest::qWait(std::max(0, silentMs - int(silent.elapsed())));
        rig.pause(false);
        QTRY_COMPARE_WITH_TIMEOUT(rig.ptt(), 0, 10000);
        QVERIFY(!h.window || !stays || QTest::qWaitFor([&] { return panel->text() == "Receive"; }));
    }

    // The Output menu's rig dialogs: Test keys the rig shown for a moment and says how that went,
    // OK keys through that rig from then on, Cancel leaves the port as it was. A rig given up for
    // another port while TUNE keys it is left unkeyed. Keying, device (empty: the test's rigctld
    // or CM108 stand-in), GPIO pin (3: the one the dialog offers), what is pressed.
    void rigDialogs_data() {
        columns<bool, QString, int, QString>("cat", "device", "gpio", "answer");
        QTest::newRow("CAT, Test") << true << QString() << 3 << "Test";
        QTest::newRow("CAT at 127.0.0.1:1, Test") << true << "127.0.0.1:1" << 3 << "Test";
        for (int gpio : {1, 4})
            QTest::addRow("CM108 pin %d, Test", gpio) << false << QString() << gpio << "Test";
        QTest::newRow("CAT, OK") << true << QString() << 3 << "OK";
        for (int gpio : {2, 3})
            QTest::addRow("CM108 pin %d, OK", gpio) << false << QString() << gpio << "OK";
        for (const char* answer : {"Cancel", "OK, then VOX"})
            QTest::addRow("CAT, %s", answer) << true << QString() << 3 << answer;
    }
    void rigDialogs() {
        QFETCH(bool, cat);
        QFETCH(QString, device);
        QFETCH(int, gpio);
        QFETCH(QString, answer);
        const QString cause = device.isEmpty() ? "" : "Connection refused";
        const bool rigKeys = cause.isEmpty() && answer != "Cancel";
        const int identifiedBefore = hidraw::identified();
        Rigctld rig;
        WindowHarness h;
        const QString standIn = h.home.filePath(hidraw::kStandInName);
        if (device.isEmpty())
            device = cat ? rig.address() : standIn;
        QVERIFY(rig.ready() && writeBytes(standIn, {}));
        // The rig's line as it reads back, to be seen at the level given.
        const auto sees = [&](bool on, int ms) {
            return QTest::qWaitFor(
                [&] {
                    return cat ? rig.ptt() == on
                               : hidraw::lastReport(standIn) == QString("cm108 %1/%2")
                                                                    .arg(on << (gpio - 1))
                                                                    .arg(1 << (gpio - 1));
                },
                ms);
        };
        MainWindow& w = h.openKeying();
        bool keyedByTest = false, testAgain = true; // the Test button offered again once done
        QString result;
        QTimer::singleShot(0, &w, [&] {
            auto* dialog = qobject_cast<RigDialog*>(QApplication::activeModalWidget());
            if (cat)
                dialog->findChild<QLineEdit*>("address")->setText(device);
            else
                dialog->findChild<QComboBox*>()->setEditText(device);
            if (!cat && gpio != RigTarget::kDefaultGpio) // else the pin the dialog offers
                dialog->findChild<QSpinBox*>()->setValue(gpio);
            if (answer == "Test") {
                click(dialog->testButton());
                keyedByTest = sees(true, rigKeys ? 5000 : 500);
                testAgain = QTest::qWaitFor([&] { return dialog->testButton()->isEnabled(); });
                result = dialog->resultLabel()->text();
            }
            answer.startsWith("OK") ? dialog->accept() : dialog->reject();
        });
        (cat ? w.ui().catItem : w.ui().cm108Item)->trigger();
        h.ports.takeEvents();
        if (answer != "Test") {
            click(w.ui().tuneButton);
            keyedByTest = sees(true, rigKeys ? 5000 : 500);
            answer == "OK, then VOX" ? w.ui().voxItem->trigger() : click(w.ui().tuneButton);
        }
        QVERIFY(sees(false, 5000));
        QCOMPARE(keyedByTest, rigKeys);
        QVERIFY(testAgain);
        QCOMPARE(h.everKeyed(), answer == "Cancel");
        QVERIFY(cat || hidraw::identified() > identifiedBefore);
        QVERIFY2(answer != "Test" ||
                     (result.contains(device) && cause.isEmpty() != result.contains("failed") &&
                      result.contains(cause)),
                 qPrintable(result));
    }

    // The radio keyed by the operator in a loop's pause (the dummy rig keyed by another client of
    // rigctld) ends the loop, and Tavrin sends no unkey that would cut the operator off; its own
    // key-down and key-up around the message before were not taken for the operator's. Where
    // the PTT is watched: on the rig, or on a serial input that CAT keying does not have.
    void theOperatorKeyingTheRigEndsTheLoop_data() {
        QTest::addColumn<QByteArray>("watched");
        QTest::newRow("rig") << QByteArray("rig");
        QTest::newRow("CTS") << QByteArray("cts");
    }
    void theOperatorKeyingTheRigEndsTheLoop() {
        QFETCH(QByteArray, watched);
        Rigctld rig;
        WindowHarness h;
        h.writeMessage(1, QByteArray(4 * kBlock, 'm'));
        QVERIFY(rig.ready() && writeBytes(h.installDir() + "Tavrin.ini",
                                          "[Rig]\nKeying=CAT\nAddress=" + rig.address().toLatin1() +
                                              "\n[Keying]\nOperatorPtt=" + watched));
        MainWindow& w = h.open();
        const bool heard = watched == "rig";
        QCOMPARE(w.ui().statusLine->text().contains("needs a serial keying port"), !heard);
        w.show();
        click(w.ui().txEnableButton);
        item(w, "N10sec1")->trigger();
        click(w.ui().loopButton);
        AudioPump sound(h.wave, Dir::Output);
        click(w.ui().playButton);
        QTRY_COMPARE(rig.ptt(), 0);
        // Past Tavrin's first look after the key-up, which learns what off is on this rig.
        QTest::qWait(int(5 * RigPtt::kListenInterval.count()));
        QVERIFY(w.station().keyer().loopPausing() && rig.key(true));
        QTRY_COMPARE_WITH_TIMEOUT(w.station().keyerState().loopActive(), !heard, 5000);
        QTest::qWait(500);
        QCOMPARE(w.station().keyer().loopPausing(), !heard);
        QCOMPARE(rig.ptt(), 1);
        QVERIFY(!heard || w.ui().statusLine->text() == "Stopped by the operator's PTT");
    }

    // Each rig setting comes back from the file as it was saved, also at the ends of its range.
    void rigSettingsComeBackAsSaved() {
        QTemporaryDir dir;
        QSettings file(dir.filePath("Tavrin.ini"), QSettings::IniFormat);
        using K = RigSettings::Keying;
        const auto fields = [](const RigSettings& r) {
            return std::tie(r.keying, r.model, r.port, r.speed, r.address, r.cm108Device, r.gpio);
        };
        for (const RigSettings& saved : {RigSettings{K::Cat, 1, "/dev/ttyS1", 0, "rig:1", "", 8},
                                         RigSettings{K::Cm108, INT_MAX, "", 9600, "", "/x", 1}}) {
            RigSettings loaded;
            saved.save(file), loaded.load(file);
            QVERIFY(fields(loaded) == fields(saved));
        }
    }
};

QTEST_MAIN(CatPttTest)
#include "tst_catptt.moc"
