#include "app/launchers.h"
#include "windowharness.h"

#include <QtTest>

// What the Help and Set Volume commands do on an installed system.
class InstallTest : public QObject {
    Q_OBJECT

private slots:
    // The operator's own help file comes first, then the manual installed beside the program;
    // the message is left for when neither can be shown.
    void helpOpensTheBestDocument_data() {
        QTest::addColumn<bool>("helpFile");
        QTest::addColumn<bool>("manual");
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QString>("shown");
        QTest::newRow("own help file") << true << true << true << "Tavrin.chm";
        QTest::newRow("installed manual") << false << true << true << "index.html";
        QTest::newRow("nothing installed") << false << false << true << "";
        QTest::newRow("no viewer") << true << true << false << "";
    }
    void helpOpensTheBestDocument() {
        QFETCH(bool, helpFile);
        QFETCH(bool, manual);
        QFETCH(bool, viewer);
        QFETCH(QString, shown);
        WindowHarness h;
        h.programDir = h.home.path() + "/usr/bin";
        const QString manualPath = h.home.path() + "/usr/share/doc/tavrin/manual/index.html";
        if (helpFile)
            writeBytes(h.installDir() + "Tavrin.chm", "help");
        if (manual)
            h.launcher.existing << manualPath;
        h.launcher.viewerAvailable = viewer;
        h.open().ui().HelpMenu1->trigger();
        const QStringList failed =
            shown.isEmpty() ? QStringList{"Could not run the help application"} : QStringList{};
        QCOMPARE(h.dialogs.texts(), failed);
        if (!shown.isEmpty())
            QVERIFY(h.launcher.opened.last().endsWith(shown));
        for (const QString& opened : h.launcher.opened)
            QVERIFY(opened == manualPath || opened.endsWith("Tavrin.chm"));
    }

    // Set Volume with no mixer installed names the mixers it looked for.
    void volumeWithoutMixerSaysWhatItLookedFor_data() {
        QTest::addColumn<int>("installed"); // index into the mixers, -1 for none
        QTest::newRow("none installed") << -1;
        QTest::newRow("one installed") << 2;
    }
    void volumeWithoutMixerSaysWhatItLookedFor() {
        QFETCH(int, installed);
        WindowHarness h;
        if (installed >= 0)
            h.launcher.existing << kMixerPrograms[installed];
        click(h.open().ui().VolumeBtn);
        QCOMPARE(h.launcher.started.size(), installed >= 0 ? 1 : 0);
        QCOMPARE(h.dialogs.messages.size(), installed >= 0 ? 0 : 1);
        for (const QString& mixer : kMixerPrograms)
            QVERIFY(installed >= 0 || h.dialogs.texts().first().contains(mixer));
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
