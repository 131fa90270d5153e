#include "app/launchers.h"
#include "app/look.h"
#include "keyer/keyer.h"
#include "windowharness.h"

#include <QAction>
#include <QTextEdit>
#include <QtTest>

class WindowTest : public QObject {
    Q_OBJECT

private slots:
    // Each slot keeps the note typed while it was selected (stored with CR LF), also when the
    // window closes before another slot is chosen.
    void memoryButtonsKeepEachSlotsNote() {
        WindowHarness h;
        TTavrin& w = h.open();
        QTextEdit* note = w.ui().MessageWindow;
        note->setPlainText("CQ contest\nde station");
        click(w.ui().MemBtn[2]);
        QCOMPARE(w.keyerState().currentMessageFile, h.slotPath(3));
        QVERIFY(note->toPlainText().isEmpty());
        QCOMPARE(w.memories().note(1), QStringLiteral("CQ contest\r\nde station"));
        note->setPlainText("exchange 59 14");
        click(w.ui().MemBtn[0]);
        QCOMPARE(note->toPlainText(), QStringLiteral("CQ contest\nde station"));
        click(w.ui().MemBtn[2]);
        QCOMPARE(note->toPlainText(), QStringLiteral("exchange 59 14"));
        note->setPlainText("never followed by a memory button");
        QVERIFY(w.close());
        QCOMPARE(w.memories().note(3), QStringLiteral("never followed by a memory button"));
    }

    // Escape released on any control resets the keyer; other keys only edit the note.
    void escapeResetsFromEveryControl() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.show();
        QList<QWidget*> targets{&w, w.ui().MessageWindow};
        for (QPushButton* b : w.findChildren<QPushButton*>())
            if (b->window() == &w)
                targets << b;
        for (QWidget* target : targets) {
            w.keyerState().setKeyerIdle(false);
            w.keyer().loopTimer().start();
            QTest::keyRelease(target, Qt::Key_Escape);
            QVERIFY2(w.keyerState().keyerIdle(), qPrintable(target->objectName()));
            QVERIFY2(!w.keyer().loopTimer().isActive(), qPrintable(target->objectName()));
        }
        w.keyerState().setKeyerIdle(false);
        QTest::keyClick(w.ui().MessageWindow, Qt::Key_A);
        QVERIFY(!w.keyerState().keyerIdle());
    }

    // Set Volume starts every installed mixer in order; help without a viewer says so.
    void launchersStartWhatIsInstalled() {
        WindowHarness h;
        writeBytes(h.installDir() + "Tavrin.chm", "help");
        h.launcher.existing = {kMixerPrograms[3], kMixerPrograms[1]};
        TTavrin& w = h.open();
        click(w.ui().VolumeBtn);
        QCOMPARE(h.launcher.started, (QStringList{kMixerPrograms[1], kMixerPrograms[3]}));
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.launcher.opened, QStringList{h.installDir() + "Tavrin.chm"});
        QVERIFY(h.dialogs.messages.isEmpty());
        h.launcher.viewerAvailable = false;
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not run the help application"});
    }
};

QTEST_MAIN(WindowTest)
#include "tst_window.moc"
