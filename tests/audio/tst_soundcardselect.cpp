#include "audio/soundcardselect.h"
#include "audio/updowncontrol.h"
#include "audio/virtualwaveservice.h"
#include "audio/waveengines.h"
#include "enginetestsupport.h"
#include "support/fakedialogs.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

namespace {

using Device = VirtualWaveService::Device;

struct Rig {
    VirtualWaveService service;
    FakeDialogs dialogs;
    FakeWaveEngineHost host;
    AudioDeviceSettings settings;
    WaveEngines engines{service, dialogs, host, settings};
    bool busy = false;
    TSoundCardSelect dialog{service, engines.out, engines.in, settings, [this] { return busy; }};

    Rig() {
        service.setDevices(WaveDirection::Output, {{QStringLiteral("Card One"), true, true},
                                                   {QStringLiteral("Card Two"), true, true},
                                                   {QStringLiteral("Old Card"), false, true}});
        service.setDevices(WaveDirection::Input, {{QStringLiteral("Mic In"), true, true},
                                                  {QStringLiteral("Broken"), true, false}});
    }

    QLabel* label(const char* name) { return dialog.findChild<QLabel*>(QLatin1String(name)); }
    QString shownName() { return label("SoundCardManf")->text(); }
    QString message() { return label("MessageLabel")->text(); }
    UpDownControl* upDown() { return dialog.findChild<UpDownControl*>("WaveUpDown"); }
    void up() { QTest::mouseClick(upDown()->upButton(), Qt::LeftButton); }
    void down() { QTest::mouseClick(upDown()->downButton(), Qt::LeftButton); }
    void select() {
        QTest::mouseClick(dialog.findChild<QPushButton*>("SelectBtn"), Qt::LeftButton);
    }
    void show(int mode) { openSoundCardSelect(dialog, mode, false, {}); }
};

} // namespace

class SoundCardSelectTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheChosenDeviceOfTheMode();
    void upDownStopsAtTheLastDevice();
    void selectTakesAGoodDevice();
    void selectFallsBackFromADeviceThatCannotPlay();
    void selectOnTheShownDeviceKeepsIt();
    void selectDoesNothingWhileTheKeyerRuns();
    void unreadableNameShowsEmpty();
    void noDevicesLeaveNothingToSelect();
    void menuCommandWhileOpenKeepsTheShownMode();
    void menuCommandStopsARunningKeyerFirst();
};

void SoundCardSelectTest::showsTheChosenDeviceOfTheMode() {
    Rig rig;
    rig.settings.outputDevice = 1;
    rig.show(TSoundCardSelect::OutputMode);
    QVERIFY(rig.dialog.isVisible());
    QVERIFY(!rig.dialog.isModal());
    QCOMPARE(rig.dialog.objectName(), QStringLiteral("SoundCardSelect"));
    QCOMPARE(rig.upDown()->position(), 1);
    QCOMPARE(rig.shownName(), QStringLiteral("Card Two"));
    QCOMPARE(rig.dialog.IsOutput(), TSoundCardSelect::OutputMode);
    QCOMPARE(rig.dialog.ShownDevice(), 1);
    QCOMPARE(rig.dialog.findChild<QPushButton*>("SelectBtn")->text(), QStringLiteral("Select"));
    QCOMPARE(rig.upDown()->minimum(), 0);
    QCOMPARE(rig.upDown()->maximum(), 10);
}

void SoundCardSelectTest::upDownStopsAtTheLastDevice() {
    Rig rig;
    rig.show(TSoundCardSelect::OutputMode);
    rig.up();
    QCOMPARE(rig.shownName(), QStringLiteral("Card Two"));
    rig.up();
    rig.up();
    rig.up();
    QCOMPARE(rig.upDown()->position(), 2);
    QCOMPARE(rig.shownName(), QStringLiteral("Old Card"));
    rig.down();
    rig.down();
    rig.down();
    QCOMPARE(rig.upDown()->position(), 0);
    QCOMPARE(rig.shownName(), QStringLiteral("Card One"));
    // Stepping changes no setting.
    QCOMPARE(rig.settings.outputDevice, 0);

    // Past the range of the control itself.
    QList<Device> many;
    for (int i = 0; i < 15; ++i)
        many << Device{QStringLiteral("Card %1").arg(i), true, true};
    rig.service.setDevices(WaveDirection::Output, many);
    for (int i = 0; i < 14; ++i)
        rig.up();
    QCOMPARE(rig.upDown()->position(), 10);
    QCOMPARE(rig.shownName(), QStringLiteral("Card 10"));
}

void SoundCardSelectTest::selectTakesAGoodDevice() {
    Rig rig;
    rig.show(TSoundCardSelect::OutputMode);
    rig.up();
    rig.select();
    QCOMPARE(rig.settings.outputDevice, 1);
    QCOMPARE(rig.message(), QString());
    QCOMPARE(rig.shownName(), QStringLiteral("Card Two"));
    QVERIFY(rig.dialog.isVisible());
    QCOMPARE(rig.settings.inputDevice, 0);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void SoundCardSelectTest::selectFallsBackFromADeviceThatCannotPlay() {
    Rig rig;
    rig.settings.outputDevice = 1;
    rig.show(TSoundCardSelect::OutputMode);
    rig.up();
    rig.select();
    QCOMPARE(rig.message(), QStringLiteral("Sound output device not compatible"));
    QCOMPARE(rig.upDown()->position(), 1);
    QCOMPARE(rig.settings.outputDevice, 1);
    QCOMPARE(rig.shownName(), QStringLiteral("Card Two"));

    // A good device afterwards clears the message.
    rig.down();
    rig.select();
    QCOMPARE(rig.message(), QString());
    QCOMPARE(rig.settings.outputDevice, 0);
}

void SoundCardSelectTest::selectOnTheShownDeviceKeepsIt() {
    Rig rig;
    rig.settings.outputDevice = 2;
    rig.show(TSoundCardSelect::OutputMode);
    rig.select();
    QCOMPARE(rig.message(), QStringLiteral("Sound output device not compatible"));
    QCOMPARE(rig.settings.outputDevice, 2);
}

void SoundCardSelectTest::selectDoesNothingWhileTheKeyerRuns() {
    Rig rig;
    rig.show(TSoundCardSelect::InputMode);
    rig.busy = true;
    rig.up();
    rig.service.clearCalls();
    rig.select();
    QCOMPARE(rig.settings.inputDevice, 0);
    QCOMPARE(rig.message(), QString());
    QVERIFY(!rig.service.callOps().contains(WaveOp::QueryFormat));

    // Nor while a device of the engines is open, whatever the flags say.
    rig.busy = false;
    rig.engines.out.SetupWaveOut();
    rig.engines.out.OpenWaveOut();
    rig.engines.out.RearmOutHeaderA();
    rig.engines.out.PrepareOutHeaderA();
    rig.engines.out.WriteOutHeaderA();
    rig.select();
    QCOMPARE(rig.settings.inputDevice, 0);
    QCOMPARE(rig.engines.out.header(WaveBuffer::A).flags.load() & WaveHeader::InQueue,
             WaveHeader::InQueue);

    rig.engines.out.ResetWaveOut();
    rig.engines.out.CloseWaveOut();
    rig.select();
    QCOMPARE(rig.settings.inputDevice, 1);
}

void SoundCardSelectTest::unreadableNameShowsEmpty() {
    Rig rig;
    rig.show(TSoundCardSelect::InputMode);
    QCOMPARE(rig.shownName(), QStringLiteral("Mic In"));
    rig.up();
    QCOMPARE(rig.upDown()->position(), 1);
    QCOMPARE(rig.shownName(), QString());

    // A stored device that no longer exists shows no name either.
    rig.dialog.hide();
    rig.settings.inputDevice = 7;
    rig.show(TSoundCardSelect::InputMode);
    QCOMPARE(rig.shownName(), QString());
}

void SoundCardSelectTest::noDevicesLeaveNothingToSelect() {
    Rig rig;
    rig.service.setDevices(WaveDirection::Input, {});
    rig.show(TSoundCardSelect::InputMode);
    rig.up();
    QCOMPARE(rig.upDown()->position(), 0);
    rig.select();
    QCOMPARE(rig.message(), QStringLiteral("Sound input device not compatible"));
    QCOMPARE(rig.settings.inputDevice, 0);
    QCOMPARE(rig.shownName(), QString());
}

void SoundCardSelectTest::menuCommandWhileOpenKeepsTheShownMode() {
    Rig rig;
    rig.settings.inputDevice = 1;
    rig.show(TSoundCardSelect::InputMode);
    rig.show(TSoundCardSelect::OutputMode);
    QCOMPARE(rig.dialog.SoundCardMode(), TSoundCardSelect::OutputMode);
    QCOMPARE(rig.dialog.IsOutput(), TSoundCardSelect::InputMode);
    QCOMPARE(rig.upDown()->position(), 1);
    rig.down();
    rig.select();
    QCOMPARE(rig.settings.inputDevice, 0);
    QCOMPARE(rig.settings.outputDevice, 0);

    // Shown again after closing, it takes the new mode.
    rig.dialog.close();
    QVERIFY(!rig.dialog.isVisible());
    rig.show(TSoundCardSelect::OutputMode);
    QCOMPARE(rig.dialog.IsOutput(), TSoundCardSelect::OutputMode);
}

void SoundCardSelectTest::menuCommandStopsARunningKeyerFirst() {
    Rig rig;
    int stops = 0;
    bool visibleAtStop = true;
    QElapsedTimer clock;
    clock.start();
    openSoundCardSelect(rig.dialog, TSoundCardSelect::OutputMode, true, [&] {
        ++stops;
        visibleAtStop = rig.dialog.isVisible();
    });
    QCOMPARE(stops, 1);
    QVERIFY(!visibleAtStop);
    QVERIFY(clock.elapsed() >= SoundCardStopSettle.count() - 5);
    QVERIFY(rig.dialog.isVisible());
    QCOMPARE(rig.dialog.IsOutput(), TSoundCardSelect::OutputMode);

    rig.dialog.hide();
    openSoundCardSelect(rig.dialog, TSoundCardSelect::InputMode, false, [&] { ++stops; });
    QCOMPARE(stops, 1);
}

QTEST_MAIN(SoundCardSelectTest)
#include "tst_soundcardselect.moc"
