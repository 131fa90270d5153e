#include "app/look.h"
#include "config/configrecord.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "wavebytes.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

// The configuration file as the window reads, applies and writes it.
class ConfigApplyTest : public QObject {
    Q_OBJECT

private:
    static void store(WindowHarness& h, const QByteArray& bytes) {
        QFile file(h.installDir() + "Tavrin.cfg");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static ConfigRecord reread(WindowHarness& h) {
        QFile file(h.installDir() + "Tavrin.cfg");
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return ConfigRecord::parse(file.readAll(), ConfigRecord{});
    }

    static QStringList ticked(TTavrin& w, const QList<QAction*>& items) {
        QStringList names;
        for (QAction* a : items)
            if (a->isChecked())
                names << a->objectName();
        return names;
    }

    static QList<QAction*> loopItems(TTavrin& w) {
        return QList<QAction*>(w.ui().LoopDelay.begin(), w.ui().LoopDelay.end());
    }

private slots:
    void appliesEverySettingThroughItsHandler() {
        WindowHarness h;
        ConfigRecord stored;
        stored.messageTexts[1] = QStringLiteral("CQ contest");
        stored.messageTexts[3] = QStringLiteral("5 9 zone 14\r\n73");
        stored.selectedMemory = 3;
        stored.reservedA = 77;
        stored.loopDelay = 90;
        stored.keyingPortKind = 1;
        stored.keyingPortName = "COM3";
        stored.micGainCode = 1000;
        stored.keyingPolarity = 7;
        stored.idAlarmOn = 1;
        stored.idAlarmSeconds = 45;
        stored.stayOnTop = 1;
        stored.inputDevice = 2;
        stored.outputDevice = 1;
        store(h, stored.serialize());
        TTavrin& w = h.open();

        QCOMPARE(w.keyerState().selectedMemory, 3);
        QCOMPARE(look::textColour(w.ui().MemBtn[2]), look::kRed);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), QStringLiteral("5 9 zone 14\n73"));
        // Selecting the stored slot keeps slot 1's own note.
        QCOMPARE(w.memories().note(1), QStringLiteral("CQ contest"));
        QCOMPARE(w.keyerState().currentMessageFile, h.installDir() + "memory3.wav");
        QCOMPARE(ticked(w, loopItems(w)), QStringList{"N9sec1"});
        QCOMPARE(w.keyerState().loopDelay, 90);
        QVERIFY(h.ports.events().contains("open COM3"));
        QCOMPARE(ticked(w, {w.ui().COM.begin(), w.ui().COM.end()}), QStringList{"COM3"});
        QCOMPARE(ticked(w, {w.ui().Gain.begin(), w.ui().Gain.end()}), QStringList{"N30dB"});
        QVERIFY(w.ui().Invert1->isChecked());
        QVERIFY(!w.ui().Normal->isChecked());
        QVERIFY(w.ui().ON1->isChecked());
        auto* idTimer = h.find<QTimer>("IDTimer");
        QVERIFY(idTimer->isActive());
        QCOMPARE(idTimer->interval(), 45000);
        h.dialogs.inputAnswers << FakeDialogs::Answer{false, QString()};
        w.ui().Set1->trigger();
        QCOMPARE(h.dialogs.offered.last(), QStringLiteral("45"));
        QVERIFY(w.ui().On2->isChecked());
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.audioDevices().InputDevice, 2);
        QCOMPARE(w.audioDevices().OutputDevice, 1);

        QVERIFY(w.close());
        const ConfigRecord written = reread(h);
        QCOMPARE(written.keyingPolarity, 2);
        QCOMPARE(written.reservedA, 77u);
        QCOMPARE(written.reservedB, 25000u);
        QCOMPARE(written.keyingPortName, QByteArray("COM3"));
        QCOMPARE(written.messageTexts[1], QStringLiteral("CQ contest"));
        QCOMPARE(written.messageTexts[3], QStringLiteral("5 9 zone 14\r\n73"));
        QCOMPARE(written.slotPaths[3], h.installDir() + "memory3.wav");
    }

    void oddStoredValuesKeepTheirRules() {
        WindowHarness h;
        ConfigRecord stored;
        stored.selectedMemory = 99;
        stored.loopDelay = 5;
        stored.keyingPortName = "com3";
        stored.keyingPortKind = 0;
        stored.micGainCode = 3;
        stored.keyingPolarity = 0;
        stored.idAlarmSeconds = 1;
        stored.stayOnTop = 2;
        store(h, stored.serialize());
        TTavrin& w = h.open();
        QCOMPARE(w.keyerState().selectedMemory, 1);
        QCOMPARE(ticked(w, loopItems(w)), QStringList{"N1sec1"});
        QCOMPARE(w.keyerState().loopDelay, 5);
        QVERIFY(h.ports.events().isEmpty());
        QVERIFY(w.ui().VOX1->isChecked() && !w.ui().Printer1->isChecked());
        QCOMPARE(w.keyerState().micGainCode, 3);
        QCOMPARE(ticked(w, {w.ui().Gain.begin(), w.ui().Gain.end()}), QStringList{"UnityGain"});
        QVERIFY(w.ui().Invert1->isChecked());
        QVERIFY(w.ui().Off2->isChecked());
        QCOMPARE(w.idAlarm().IdAlarmSeconds(), 1);
        QVERIFY(h.dialogs.messages.isEmpty());
        QVERIFY(w.close());
        const ConfigRecord written = reread(h);
        QCOMPARE(written.selectedMemory, 1u);
        QCOMPARE(written.keyingPolarity, 2);
        QCOMPARE(written.keyingPortName, QByteArray("com3"));
        QCOMPARE(written.micGainCode, 3);
    }

    void aRecordWithOnlyNotesAndPathsGivesDefaultsForTheRest() {
        WindowHarness h;
        ConfigRecord stored;
        stored.messageTexts[2] = QStringLiteral("QRZ?");
        stored.selectedMemory = 2;
        stored.loopDelay = 300;
        store(h, stored.serialize().left(6656));
        TTavrin& w = h.open();
        QCOMPARE(w.memories().note(2), QStringLiteral("QRZ?"));
        QCOMPARE(w.keyerState().selectedMemory, 1);
        QCOMPARE(w.keyerState().loopDelay, 5);
        QVERIFY(w.ui().Normal->isChecked());
        QVERIFY(w.ui().OFF1->isChecked());
        QVERIFY(w.ui().Off2->isChecked());
        QVERIFY(w.ui().VOX1->isChecked() && !w.ui().Printer1->isChecked());
    }

    void settingsSurviveARestart() {
        WindowHarness h;
        store(h, ConfigRecord{}.serialize());
        {
            TTavrin& w = h.open();
            QTest::mouseClick(w.ui().MemBtn[6], Qt::LeftButton);
            w.ui().MessageWindow->setPlainText("test de station");
            w.findChild<QAction*>("N25sec1")->trigger();
            w.findChild<QAction*>("N40dB")->trigger();
            w.ui().VOX1->trigger();
            w.ui().Invert1->trigger();
            w.ui().ON1->trigger();
            h.dialogs.inputAnswers << FakeDialogs::Answer{true, "120"};
            w.ui().Set1->trigger();
            w.ui().On2->trigger();
            w.audioDevices().OutputDevice = 3;
            QVERIFY(w.close());
            h.window.reset();
        }
        TTavrin& w = h.open();
        QCOMPARE(w.keyerState().selectedMemory, 7);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), QStringLiteral("test de station"));
        QCOMPARE(ticked(w, loopItems(w)), QStringList{"N25sec1"});
        QCOMPARE(w.keyerState().micGainCode, 10000);
        QVERIFY(w.ui().VOX1->isChecked() && w.ui().NoComPort->isChecked());
        QCOMPARE(w.keyingLine().KeyingPortName(), QStringLiteral("NONE"));
        QVERIFY(w.ui().Invert1->isChecked());
        QVERIFY(w.ui().ON1->isChecked());
        QCOMPARE(w.idAlarm().IdAlarmSeconds(), 120);
        QVERIFY(w.ui().On2->isChecked());
        QCOMPARE(w.audioDevices().OutputDevice, 3);
    }

    void withoutAConfigurationFileNothingIsWritten() {
        WindowHarness h;
        TTavrin& w = h.open();
        QVERIFY(w.configPath().isEmpty());
        w.ui().ON1->trigger();
        QVERIFY(w.close());
        QVERIFY(!QFile::exists(h.installDir() + "Tavrin.cfg"));
    }

    void aFirstRunInstallsTheDirectoryWithDefaults() {
        WindowHarness h;
        QVERIFY(QDir(h.installDir()).removeRecursively());
        TTavrin& w = h.open();
        QVERIFY(QFile::exists(h.installDir() + "Tavrin.cfg"));
        QCOMPARE(w.configPath(), h.installDir() + "Tavrin.cfg");
        QCOMPARE(QFileInfo(h.installDir() + "Tavrin.cfg").size(), qint64(6730));
        w.findChild<QAction*>("N7sec1")->trigger();
        QVERIFY(w.close());
        QCOMPARE(reread(h).loopDelay, 70);
    }

    void openWaveChecksTheChosenFile() {
        WindowHarness h;
        TTavrin& w = h.open();
        const QString good = h.home.path() + "/elsewhere.wav";
        WaveBytes wave;
        wave.samples = QByteArray(100, 'x');
        QFile goodFile(good);
        QVERIFY(goodFile.open(QIODevice::WriteOnly));
        goodFile.write(wave.bytes());
        goodFile.close();
        const QString text = h.home.path() + "/notes.txt";
        QFile textFile(text);
        QVERIFY(textFile.open(QIODevice::WriteOnly));
        textFile.write("not a wave file at all");
        textFile.close();

        h.dialogs.fileAnswers << good;
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(w.keyerState().currentMessageFile, good);
        QVERIFY(h.dialogs.messages.isEmpty());

        h.dialogs.fileAnswers << text;
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(w.keyerState().currentMessageFile, text);
        QCOMPARE(h.dialogs.messages.last(),
                 (FakeDialogs::Message{"Not a RIFF file", "File Error Message"}));

        h.dialogs.fileAnswers << h.home.path() + "/missing.wav";
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(h.dialogs.messages.last(),
                 (FakeDialogs::Message{"Could not open the wave file", "File Open Error Message"}));

        w.ui().RetrieveWave1->trigger(); // cancelled
        QCOMPARE(w.keyerState().currentMessageFile, h.home.path() + "/missing.wav");

        // Nothing happens while a playback runs.
        w.keyerState().setPlayActive(true);
        const int asked = h.dialogs.openFileCalls;
        w.ui().RetrieveWave1->trigger();
        QCOMPARE(h.dialogs.openFileCalls, asked);
        w.keyerState().setPlayActive(false);

        w.ui().SaveWave1->trigger();
        QCOMPARE(h.dialogs.messages.last(),
                 (FakeDialogs::Message{"This function is not implemented at this time",
                                       "Error Message"}));
        QVERIFY(!w.keyerState().recordFileOpen);
    }
};

QTEST_MAIN(ConfigApplyTest)
#include "tst_configapply.moc"
