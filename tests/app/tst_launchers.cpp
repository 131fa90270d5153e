#include "app/launchers.h"
#include "app/linuxlauncher.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

class LaunchersTest : public QObject {
    Q_OBJECT

private slots:
    void setVolumeStartsEveryInstalledMixerInOrder() {
        WindowHarness h;
        TTavrin& w = h.open();
        QTest::mouseClick(w.ui().VolumeBtn, Qt::LeftButton);
        QVERIFY(h.launcher.started.isEmpty());
        QVERIFY(h.dialogs.messages.isEmpty());

        h.launcher.existing = {kMixerPrograms[3]};
        QTest::mouseClick(w.ui().VolumeBtn, Qt::LeftButton);
        QCOMPARE(h.launcher.started, QStringList{kMixerPrograms[3]});

        h.launcher.started.clear();
        h.launcher.existing = {kMixerPrograms[3], kMixerPrograms[1]};
        QTest::mouseClick(w.ui().VolumeBtn, Qt::LeftButton);
        QCOMPARE(h.launcher.started, (QStringList{kMixerPrograms[1], kMixerPrograms[3]}));
        QVERIFY(h.dialogs.messages.isEmpty());
    }

    void helpWithoutAHelpFileSaysSoEveryTime() {
        WindowHarness h;
        TTavrin& w = h.open();
        w.ui().HelpMenu1->trigger();
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.dialogs.messages.size(), 2);
        QCOMPARE(h.dialogs.messages[0].text, QStringLiteral("Could not run the help application"));
        QCOMPARE(h.dialogs.messages[0].title, QCoreApplication::applicationName());
        QVERIFY(h.launcher.opened.isEmpty());
    }

    void helpOpensTheFileFoundAtStartUp() {
        WindowHarness h;
        QFile help(h.installDir() + "Tavrin.chm");
        QVERIFY(help.open(QIODevice::WriteOnly));
        help.close();
        TTavrin& w = h.open();
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.launcher.opened, QStringList{h.installDir() + "Tavrin.chm"});
        QVERIFY(h.dialogs.messages.isEmpty());

        h.launcher.viewerAvailable = false;
        w.ui().HelpMenu1->trigger();
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not run the help application"});
    }

    void linuxLauncherRefusesWhatCannotBeOpened() {
        LinuxLauncher launcher;
        QTemporaryDir dir;
        QVERIFY(!launcher.exists(dir.path() + "/missing"));
        QVERIFY(!launcher.openDocument(dir.path() + "/missing.chm"));
        QVERIFY(!launcher.openDocument(QString()));
        QVERIFY(!launcher.startProgram(dir.path() + "/no-such-program"));
        QFile file(dir.path() + "/present");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(launcher.exists(dir.path() + "/present"));
    }
};

QTEST_MAIN(LaunchersTest)
#include "tst_launchers.moc"
