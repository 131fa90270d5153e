#include "app/launchers.h"
#include "windowharness.h"

#include <QtTest>

class InstallTest : public QObject {
    Q_OBJECT

private slots:
    // Help shows the operator's own help file, else the manual installed beside the program, else
    // says it could not; Set Volume starts every installed mixer in order, or with none installed
    // names the mixers it looked for.
    void helpAndVolumeFallBack_data() {
        QTest::addColumn<bool>("helpFile");
        QTest::addColumn<bool>("installed"); // the manual and two mixers
        QTest::addColumn<bool>("viewer");
        QTest::addColumn<QString>("shown"); // below home
        QTest::newRow("own help file") << true << true << true << "Tavrin/Tavrin.chm";
        QTest::newRow("manual") << false << true << true
                                << "usr/share/doc/tavrin/manual/index.html";
        QTest::newRow("nothing installed") << false << false << true << "";
        QTest::newRow("no viewer") << true << true << false << "";
    }
    void helpAndVolumeFallBack() {
        QFETCH(bool, helpFile);
        QFETCH(bool, installed);
        QFETCH(bool, viewer);
        QFETCH(QString, shown);
        WindowHarness h;
        h.programDir = h.home.path() + "/usr/bin";
        if (helpFile)
            writeBytes(h.installDir() + "Tavrin.chm", "help");
        if (installed)
            h.launcher.existing = {h.home.path() + "/usr/share/doc/tavrin/manual/index.html",
                                   kMixerPrograms[3], kMixerPrograms[1]};
        h.launcher.viewerAvailable = viewer;
        TTavrin& w = h.open();
        w.ui().HelpMenu1->trigger();
        click(w.ui().VolumeBtn);
        QCOMPARE(h.launcher.started,
                 installed ? (QStringList{kMixerPrograms[1], kMixerPrograms[3]}) : QStringList());
        const QStringList texts = h.dialogs.texts();
        QCOMPARE(texts.size(), int(shown.isEmpty()) + int(!installed));
        QCOMPARE(texts.contains("Could not run the help application"), shown.isEmpty());
        if (!shown.isEmpty())
            QCOMPARE(h.launcher.opened.last(), h.home.path() + "/" + shown);
        for (const QString& mixer : kMixerPrograms)
            QCOMPARE(texts.value(texts.size() - 1).contains(mixer), !installed);
    }
};

QTEST_MAIN(InstallTest)
#include "tst_install.moc"
