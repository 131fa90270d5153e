#include "app/look.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <QtTest>

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    static QString caption(QWidget* w) {
        if (auto* b = qobject_cast<QPushButton*>(w))
            return b->text();
        return qobject_cast<QLabel*>(w)->text();
    }

    static QColor memColour(WindowHarness& h, int slot) {
        return look::textColour(h.window->ui().MemBtn[slot - 1]);
    }

    static void click(QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }

private slots:
    void startsAsTheOperatorExpects() {
        WindowHarness h;
        TTavrin& w = h.open();
        QCOMPARE(w.windowTitle(), QStringLiteral("Tavrin"));
        QCOMPARE(w.objectName(), QStringLiteral("Tavrin"));
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.minimumSize(), w.maximumSize());

        struct Expected {
            const char* name;
            const char* caption;
            QColor colour;
        };
        const Expected controls[] = {
            {"ResetBtn", "RST", look::kRed},
            {"RecordBtn", "REC", look::kBlue},
            {"PlayBtn", "PLAY", look::kBlue},
            {"StopBtn", "STOP", look::kRed},
            {"LoopBtn", "LOOP", look::kBlue},
            {"TuneBtn", "TUNE", look::kBlue},
            {"VolumeBtn", "Set Volume", look::kBlue},
            {"TransmitBtn", "OFF", look::kBlue},
            {"MicBtn", "OFF", look::kBlue},
            {"Label1", "Tx Enable", look::kYellow},
            {"Label4", "Tx Mic.", look::kYellow},
            {"Label6", "Rx/Tx ", look::kYellow},
            {"Label3", "Playback/Record Memories", look::kYellow},
            {"TxPanel", "Receive", look::kYellow},
        };
        for (const auto& c : controls) {
            auto* widget = h.find<QWidget>(c.name);
            QVERIFY2(widget, c.name);
            QCOMPARE(caption(widget), QLatin1String(c.caption));
            QCOMPARE(look::textColour(widget), c.colour);
        }
        for (int slot = 1; slot <= 12; ++slot) {
            const QByteArray name = "Mem" + QByteArray::number(slot) + "Btn";
            auto* b = h.find<QPushButton>(name.constData());
            QVERIFY2(b, name.constData());
            QCOMPARE(b->text(), QString::number(slot));
            QCOMPARE(look::textColour(b), look::kBlack);
        }
        // Two rows of six.
        QCOMPARE(w.ui().MemBtn[0]->y(), w.ui().MemBtn[5]->y());
        QVERIFY(w.ui().MemBtn[6]->y() > w.ui().MemBtn[0]->y());
        QCOMPARE(w.ui().MemBtn[6]->x(), w.ui().MemBtn[0]->x());

        QCOMPARE(look::fillColour(h.find<QWidget>("TxPanel")), look::kGreen);
        QCOMPARE(look::fillColour(h.find<QWidget>("AlarmPanel")), look::kTeal);
        for (const char* name : {"BasePanel", "ControlPanel", "VolumePanel", "MemoryPanel"})
            QCOMPARE(look::fillColour(h.find<QWidget>(name)), look::kNavy);
        QCOMPARE(h.find<QProgressBar>("PlayProgressBar")->value(), 0);
        auto* note = h.find<QTextEdit>("MessageWindow");
        QVERIFY(note->toPlainText().isEmpty());
        QCOMPARE(note->placeholderText(), QStringLiteral("Type in saved message"));
        QVERIFY(!note->font().bold());
    }

    void menuBarHasEveryItemWithItsTicks() {
        WindowHarness h;
        TTavrin& w = h.open();
        QStringList titles;
        for (QAction* a : w.menuBar()->actions())
            titles << a->text();
        QCOMPARE(titles,
                 (QStringList{"File", "Options", "Delay", "Microphone", "Output", "ID", "Help"}));

        const QStringList ticked{"Off2", "N1sec1", "UnityGain", "NoComPort", "VOX1", "OFF1"};
        const QStringList unticked{"On2",    "N15sec2",  "N1201",    "N20dB", "N30dB",
                                   "N40dB",  "Printer1", "Printer2", "COM1",  "COM6",
                                   "Normal", "Invert1",  "ON1"};
        for (const QString& name : ticked) {
            auto* a = w.findChild<QAction*>(name);
            QVERIFY2(a, qPrintable(name));
            QVERIFY2(a->isChecked(), qPrintable(name));
        }
        for (const QString& name : unticked) {
            auto* a = w.findChild<QAction*>(name);
            QVERIFY2(a, qPrintable(name));
            QVERIFY2(!a->isChecked(), qPrintable(name));
        }
        for (const char* name : {"SaveWave1", "RetrieveWave1", "Exit1", "InputSoundCard",
                                 "OutputSoundCard", "Set1", "HelpMenu1", "About1"})
            QVERIFY2(w.findChild<QAction*>(QLatin1String(name)), name);

        QStringList delays;
        for (QAction* a : w.findChild<QMenu*>("LoopDelay1")->actions())
            delays << a->text();
        QCOMPARE(delays.size(), 19);
        QCOMPARE(delays.first(), QStringLiteral("1 sec"));
        QCOMPARE(delays.at(1), QStringLiteral("1.5 sec"));
        QCOMPARE(delays.at(3), QStringLiteral("2.5 sec"));
        QCOMPARE(delays.at(11), QStringLiteral("10 sec"));
        QCOMPARE(delays.last(), QStringLiteral("120 sec"));

        QStringList serial;
        for (QAction* a : w.findChild<QMenu*>("Serial1")->actions())
            serial << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(serial, (QStringList{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "-", "VOX"}));

        QStringList output;
        for (QAction* a : w.findChild<QMenu*>("Options1")->actions())
            output << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(output,
                 (QStringList{"Pri Printer", "Sec Printer", "Serial", "VOX", "-", "Invert Xmit"}));
    }

    void timersStartDisabled() {
        WindowHarness h;
        h.open();
        const std::pair<const char*, int> timers[] = {{"Loop_Timer", 500}, {"PlayTimer", 200}};
        for (const auto& [name, interval] : timers) {
            auto* t = h.find<QTimer>(name);
            QVERIFY2(t, name);
            QCOMPARE(t->interval(), interval);
            QVERIFY(!t->isActive());
        }
    }

    void startUpFindsTheInstallationFiles() {
        WindowHarness h;
        QFile help(h.installDir() + "Tavrin.chm");
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        TTavrin& w = h.open();
        QCOMPARE(w.helpPath(), h.installDir() + "Tavrin.chm");
        QVERIFY(w.configPath().isEmpty());
        for (int slot = 1; slot <= 12; ++slot)
            QCOMPARE(w.memories().path(slot),
                     h.installDir() + QStringLiteral("memory%1.wav").arg(slot));
        QCOMPARE(w.keyerState().selectedMemory, 1);
        QCOMPARE(w.keyerState().currentMessageFile, h.installDir() + "memory1.wav");
    }

    void memoryButtonsSelectAndKeepNotes() {
        WindowHarness h;
        TTavrin& w = h.open();
        auto* note = w.ui().MessageWindow;
        note->setPlainText("CQ contest\nde station");
        click(w.ui().MemBtn[2]);
        QCOMPARE(w.keyerState().selectedMemory, 3);
        QCOMPARE(memColour(h, 3), look::kRed);
        for (int slot : {1, 2, 4, 12})
            QCOMPARE(memColour(h, slot), look::kBlack);
        QCOMPARE(w.keyerState().currentMessageFile, h.installDir() + "memory3.wav");
        QVERIFY(note->toPlainText().isEmpty());
        // The note typed while slot 1 was selected stays with slot 1, stored with CR LF.
        QCOMPARE(w.memories().note(1), QStringLiteral("CQ contest\r\nde station"));

        note->setPlainText("exchange 59 14");
        click(w.ui().MemBtn[0]);
        QCOMPARE(note->toPlainText(), QStringLiteral("CQ contest\nde station"));
        click(w.ui().MemBtn[2]);
        QCOMPARE(note->toPlainText(), QStringLiteral("exchange 59 14"));
        // Pressing the selected button again keeps the text as it is.
        note->setPlainText("exchange 59 15");
        click(w.ui().MemBtn[2]);
        QCOMPARE(note->toPlainText(), QStringLiteral("exchange 59 15"));
    }

    void memoryButtonsAreRefusedWhileRecordingOrPlaying_data() {
        QTest::addColumn<bool>("recording");
        QTest::newRow("recording") << true;
        QTest::newRow("playing") << false;
    }

    void memoryButtonsAreRefusedWhileRecordingOrPlaying() {
        QFETCH(bool, recording);
        WindowHarness h;
        TTavrin& w = h.open();
        click(w.ui().MemBtn[1]);
        w.ui().MessageWindow->setPlainText("on the air");
        if (recording)
            w.keyerState().setRecordActive(true);
        else
            w.keyerState().setPlayActive(true);
        const QString file = w.keyerState().currentMessageFile;
        click(w.ui().MemBtn[6]);
        QCOMPARE(w.keyerState().selectedMemory, 2);
        QCOMPARE(memColour(h, 2), look::kRed);
        QCOMPARE(memColour(h, 7), look::kBlack);
        QCOMPARE(w.keyerState().currentMessageFile, file);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), QStringLiteral("on the air"));
        QVERIFY(w.memories().note(2).isEmpty());
    }

    void longNotesAreCutToTheirEntry() {
        WindowHarness h;
        TTavrin& w = h.open();
        // 200 two-byte characters do not fit 255 bytes; the cut keeps whole characters.
        w.ui().MessageWindow->setPlainText(QString(200, QChar(0x00E9)));
        click(w.ui().MemBtn[1]);
        const QByteArray stored = w.memories().note(1).toUtf8();
        QCOMPARE(stored.size(), 254);
        QCOMPARE(w.memories().note(1), QString(127, QChar(0x00E9)));
    }

    void escapeResetsFromEveryControl() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        QList<QWidget*> targets{&w,
                                w.ui().MessageWindow,
                                w.ui().ResetBtn,
                                w.ui().RecordBtn,
                                w.ui().PlayBtn,
                                w.ui().StopBtn,
                                w.ui().LoopBtn,
                                w.ui().TuneBtn,
                                w.ui().VolumeBtn,
                                w.ui().TransmitBtn,
                                w.ui().MicBtn};
        for (auto* b : w.ui().MemBtn)
            targets << b;
        for (QWidget* target : targets) {
            w.keyerState().setKeyerIdle(false);
            w.keyer().loopTimer().start();
            QTest::keyRelease(target, Qt::Key_Escape);
            QVERIFY2(w.keyerState().keyerIdle(), qPrintable(target->objectName()));
            QCOMPARE(look::textColour(w.ui().ResetBtn), look::kRed);
            QVERIFY2(!w.keyer().loopTimer().isActive(), qPrintable(target->objectName()));
        }
        // Other keys only edit the note.
        w.keyerState().setKeyerIdle(false);
        QTest::keyClick(w.ui().MessageWindow, Qt::Key_A);
        QVERIFY(!w.keyerState().keyerIdle());
        QCOMPARE(w.ui().MessageWindow->toPlainText(), QStringLiteral("a"));
    }

    void stayOnTopFollowsTheMenu() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        w.ui().On2->trigger();
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QVERIFY(w.ui().On2->isChecked());
        QVERIFY(!w.ui().Off2->isChecked());
        QVERIFY(w.isVisible());
        w.ui().Off2->trigger();
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
        QVERIFY(w.ui().Off2->isChecked());
        QVERIFY(!w.ui().On2->isChecked());
        // Choosing the ticked item again keeps its tick.
        w.ui().Off2->trigger();
        QVERIFY(w.ui().Off2->isChecked());
    }

    void aboutShowsTheVersion() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.ui().About1->trigger();
        QCOMPARE(h.dialogs.messages.size(), 1);
        QCOMPARE(h.dialogs.messages[0].title, QStringLiteral("About Tavrin"));
        QVERIFY(h.dialogs.messages[0].text.endsWith("\n" + QString(19, ' ') + "Version 1.23"));
    }

    void closingKeepsTheUnsavedNote() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        click(w.ui().MemBtn[4]);
        w.ui().MessageWindow->setPlainText("never followed by a memory button");
        QVERIFY(w.close());
        QCOMPARE(w.memories().note(5), QStringLiteral("never followed by a memory button"));
    }

    void exitStopsARunningPlaybackFirst() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        w.keyerState().setPlayActive(true);
        w.keyerState().setKeyerStopped(false);
        w.keyerState().setKeyerIdle(false);
        w.keyerState().stopRequested = false;
        w.ui().Exit1->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(!w.keyerState().playActive());
        QVERIFY(w.keyerState().stopRequested);
        QVERIFY(w.keyerState().keyerStopped());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
