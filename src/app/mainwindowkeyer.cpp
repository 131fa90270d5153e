// The main window's keyer side: the wave engines, the transport and memory buttons, the Delay
// and Microphone menus, and the sound card dialog.
#include "app/mainwindow.h"

#include "app/station.h"

#include "audio/soundcarddialog.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "keyer/keyer.h"
#include "keyer/monitor.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

void MainWindow::createSoundCardDialog() {
    Keyer& keyer = station_->keyer();
    soundCard_ = new SoundCardDialog(
        *station_->platform().wave, station_->input(), station_->output(),
        station_->monitorOutput(), station_->audioDevices(),
        [this, &keyer] {
            return state_.busy() || keyer.deviceInUse() || keyer.monitor().deviceInUse();
        },
        this);
}

void MainWindow::wireKeyer() {
    Keyer* keyer = &station_->keyer();
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        connect(ui_.memoryButtons.at(slot - 1), &QPushButton::clicked, this,
                [this, slot] { chooseMemory(slot); });
    connect(ui_.recordButton, &QPushButton::clicked, keyer, &Keyer::record);
    connect(ui_.playButton, &QPushButton::clicked, keyer, &Keyer::play);
    connect(ui_.stopButton, &QPushButton::clicked, keyer, &Keyer::stop);
    connect(ui_.resetButton, &QPushButton::clicked, keyer, &Keyer::reset);
    connect(ui_.loopButton, &QPushButton::clicked, keyer, &Keyer::toggleLoop);
    for (QAction* delay : ui_.loopDelayItems)
        connect(delay, &QAction::triggered, keyer,
                [keyer, delay] { keyer->setLoopDelay(delay->data().toInt()); });
    for (QAction* gain : ui_.gainItems)
        connect(gain, &QAction::triggered, keyer,
                [keyer, gain] { keyer->setGainCode(gain->data().toInt()); });
    connect(&state_, &KeyerState::loopDelayChanged, this,
            [this](std::int32_t tenths) { tickByData(ui_.loopDelayItems, tenths); });
    connect(&state_, &KeyerState::micGainCodeChanged, this, &MainWindow::showGain);
    tickByData(ui_.loopDelayItems, state_.loopDelay());
    showGain();
    for (QAction* choice : ui_.trimItems)
        connect(choice, &QAction::triggered, keyer, [keyer, choice] {
            const int ms = choice->data().toInt();
            keyer->setTrimMargin(ms < 0 ? TrimMargin() : std::chrono::milliseconds{ms});
        });
    for (QAction* choice : ui_.levelItems)
        connect(choice, &QAction::triggered, keyer, [keyer, choice] {
            LevelTarget target = keyer->levelTarget();
            target.mode = choice->data().value<LevelMode>();
            keyer->setLevelTarget(target);
        });
    connect(ui_.microphoneMenu, &QMenu::aboutToShow, this, &MainWindow::offerMessageEdits);
    connect(ui_.levelNowItem, &QAction::triggered, this, &MainWindow::levelNow);
    connect(ui_.undoTrimItem, &QAction::triggered, this, &MainWindow::undoTrim);
    connect(ui_.inputCardItem, &QAction::triggered, this, &MainWindow::chooseInputCard);
    connect(ui_.outputCardItem, &QAction::triggered, this, &MainWindow::chooseOutputCard);
    connect(ui_.monitorCardItem, &QAction::triggered, this,
            [this] { showSoundCards(SoundCard::Monitor); });
    connect(soundCard_, &SoundCardDialog::shownChanged, keyer, &Keyer::setSoundCardDialogShown);

    Monitor& monitor = keyer->monitor();
    for (QAction* choice : ui_.monitorItems)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setOn(choice->data().toBool()); });
    for (QAction* choice : ui_.monitorVolumeItems)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setVolume({choice->data().toInt()}); });
    connect(ui_.previewItem, &QAction::triggered, this,
            [this] { previewMemory(state_.selectedMemory()); });
    connect(&monitor, &Monitor::onChanged, this, &MainWindow::showMonitor);
    connect(&monitor, &Monitor::failed, this, [this](const QString& why) {
        // While a message runs the status line tells the message; this follows its end.
        if (state_.busy())
            monitorFailure_ = why;
        else
            showIdleStatus(why);
    });
    connect(&monitor, &Monitor::previewEnded, this,
            [this] { showIdleStatus(tr("Preview ended")); });
}

void MainWindow::previewMemory(int slot) {
    if (station_->keyer().previewMemory(slot))
        showIdleStatus(
            tr("Previewing memory %1 on %2").arg(slot).arg(station_->monitorOutput().deviceName()));
}

void MainWindow::showMonitor() {
    const Monitor& monitor = station_->keyer().monitor();
    tickByData(ui_.monitorItems, monitor.on());
    tickByData(ui_.monitorVolumeItems, monitor.volume().db);
}

void MainWindow::chooseInputCard() {
    showSoundCards(SoundCard::Input);
}

void MainWindow::chooseOutputCard() {
    showSoundCards(SoundCard::Output);
}

void MainWindow::showSoundCards(SoundCard mode) {
    // A message running lets its device go at once, before the dialog may select another.
    if (state_.busy())
        station_->keyer().stop();
    soundCard_->showFor(mode);
}

void MainWindow::showGain() {
    // A code no item carries (from a record written elsewhere) records at unity, and says so.
    const QVariant code = state_.micGainCode();
    const bool offered = std::any_of(ui_.gainItems.begin(), ui_.gainItems.end(),
                                     [&](QAction* gain) { return gain->data() == code; });
    tickByData(ui_.gainItems, offered ? code : ui_.gainItems[0]->data());
}

void MainWindow::showTrimMargin() {
    const TrimMargin margin = station_->keyer().trimMargin();
    tickByData(ui_.trimItems, margin ? int(margin->count()) : -1);
}

void MainWindow::showLevelTarget() {
    const LevelTarget& target = station_->keyer().levelTarget();
    for (QAction* choice : ui_.levelItems) {
        const auto mode = choice->data().value<LevelMode>();
        choice->setText(target.caption(mode));
        choice->setChecked(mode == target.mode);
    }
}

void MainWindow::offerMessageEdits() {
    const int slot = state_.selectedMemory();
    ui_.levelNowItem->setEnabled(!state_.busy() && station_->slotLength(slot).count() > 0);
    ui_.undoTrimItem->setEnabled(
        !state_.busy() && QFileInfo::exists(asRecordedPath(station_->memories().path(slot))));
}
