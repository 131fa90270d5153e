// The main window's keyer side: the wave engines, the transport and memory buttons, the Delay
// and Microphone menus, and the sound card dialog.
#include "app/tavrin.h"

#include "audio/soundcardselect.h"
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

void TTavrin::createKeyer() {
    waveOut_ = std::make_unique<WaveOutEngine>(*platform_.wave, audioDevices_);
    waveIn_ = std::make_unique<WaveInEngine>(*platform_.wave, audioDevices_);
    monitorOut_ =
        std::make_unique<WaveOutEngine>(*platform_.wave, audioDevices_, SoundCard::Monitor);

    keyer_ = new Keyer(KeyerParts{state_, memories_, *ui_.MessageWindow, paths_.dir(), *keying_,
                                  *transmit_, idAlarm_->strip(), *waveOut_, *waveIn_, *monitorOut_,
                                  dialogs_},
                       this);
    keyer_->setObjectName(QStringLiteral("Keyer"));
    keyer_->setExchangePaths(paths_.phrasesDir(), paths_.exchangeFile());
    soundCard_ = new TSoundCardSelect(
        *platform_.wave, *waveIn_, *waveOut_, *monitorOut_, audioDevices_,
        [this] {
            return state_.busy() || keyer_->deviceInUse() || keyer_->monitor().deviceInUse();
        },
        this);
}

void TTavrin::wireKeyer() {
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        connect(ui_.MemBtn.at(slot - 1), &QPushButton::clicked, this,
                [this, slot] { chooseMemory(slot); });
    connect(ui_.RecordBtn, &QPushButton::clicked, keyer_, &Keyer::RecordBtnClick);
    connect(ui_.PlayBtn, &QPushButton::clicked, keyer_, &Keyer::PlayBtnClick);
    connect(ui_.StopBtn, &QPushButton::clicked, keyer_, &Keyer::StopBtnClick);
    connect(ui_.ResetBtn, &QPushButton::clicked, keyer_, &Keyer::ResetBtnClick);
    connect(ui_.LoopBtn, &QPushButton::clicked, keyer_, &Keyer::LoopBtnClick);
    for (QAction* delay : ui_.LoopDelay)
        connect(delay, &QAction::triggered, keyer_,
                [this, delay] { keyer_->setLoopDelay(delay->data().toInt()); });
    for (QAction* gain : ui_.Gain)
        connect(gain, &QAction::triggered, keyer_,
                [this, gain] { keyer_->setGainCode(gain->data().toInt()); });
    connect(&state_, &KeyerState::loopDelayChanged, this,
            [this](std::int32_t tenths) { tickByData(ui_.LoopDelay, tenths); });
    connect(&state_, &KeyerState::micGainCodeChanged, this, &TTavrin::showGain);
    tickByData(ui_.LoopDelay, state_.loopDelay());
    showGain();
    for (QAction* choice : ui_.Trim)
        connect(choice, &QAction::triggered, keyer_, [this, choice] {
            const int ms = choice->data().toInt();
            keyer_->setTrimMargin(ms < 0 ? TrimMargin() : std::chrono::milliseconds{ms});
        });
    for (QAction* choice : ui_.Level)
        connect(choice, &QAction::triggered, keyer_, [this, choice] {
            LevelTarget target = keyer_->levelTarget();
            target.mode = choice->data().value<LevelMode>();
            keyer_->setLevelTarget(target);
        });
    connect(ui_.Microphone, &QMenu::aboutToShow, this, &TTavrin::offerMessageEdits);
    connect(ui_.LevelNow, &QAction::triggered, this, &TTavrin::levelNow);
    connect(ui_.UndoTrim, &QAction::triggered, this, &TTavrin::undoTrim);
    connect(ui_.InputSoundCard, &QAction::triggered, this, &TTavrin::InputSoundCardClick);
    connect(ui_.OutputSoundCard, &QAction::triggered, this, &TTavrin::OutputSoundCardClick);
    connect(ui_.MonitorSoundCard, &QAction::triggered, this,
            [this] { showSoundCards(SoundCard::Monitor); });
    connect(soundCard_, &TSoundCardSelect::shownChanged, keyer_, &Keyer::setSoundCardDialogShown);

    Monitor& monitor = keyer_->monitor();
    for (QAction* choice : ui_.Monitor)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setOn(choice->data().toBool()); });
    for (QAction* choice : ui_.MonitorVolume)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setVolume({choice->data().toInt()}); });
    connect(ui_.Preview, &QAction::triggered, this,
            [this] { previewMemory(state_.selectedMemory()); });
    connect(&monitor, &Monitor::onChanged, this, &TTavrin::showMonitor);
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

void TTavrin::previewMemory(int slot) {
    if (keyer_->previewMemory(slot))
        showIdleStatus(tr("Previewing memory %1 on %2").arg(slot).arg(monitorOut_->deviceName()));
}

void TTavrin::showMonitor() {
    const Monitor& monitor = keyer_->monitor();
    tickByData(ui_.Monitor, monitor.on());
    tickByData(ui_.MonitorVolume, monitor.volume().db);
}

void TTavrin::InputSoundCardClick() {
    showSoundCards(SoundCard::Input);
}

void TTavrin::OutputSoundCardClick() {
    showSoundCards(SoundCard::Output);
}

void TTavrin::showSoundCards(SoundCard mode) {
    // A message running lets its device go at once, before the dialog may select another.
    if (state_.busy())
        keyer_->StopBtnClick();
    soundCard_->showFor(mode);
}

void TTavrin::showGain() {
    // A code no item carries (from a record written elsewhere) records at unity, and says so.
    const QVariant code = state_.micGainCode();
    const bool offered = std::any_of(ui_.Gain.begin(), ui_.Gain.end(),
                                     [&](QAction* gain) { return gain->data() == code; });
    tickByData(ui_.Gain, offered ? code : ui_.Gain[0]->data());
}

void TTavrin::showTrimMargin() {
    const TrimMargin margin = keyer_->trimMargin();
    tickByData(ui_.Trim, margin ? int(margin->count()) : -1);
}

void TTavrin::showLevelTarget() {
    const LevelTarget& target = keyer_->levelTarget();
    for (QAction* choice : ui_.Level) {
        const auto mode = choice->data().value<LevelMode>();
        choice->setText(target.caption(mode));
        choice->setChecked(mode == target.mode);
    }
}

void TTavrin::offerMessageEdits() {
    const int slot = state_.selectedMemory();
    ui_.LevelNow->setEnabled(!state_.busy() && slotLength(slot).count() > 0);
    ui_.UndoTrim->setEnabled(!state_.busy() &&
                             QFileInfo::exists(asRecordedPath(memories_.path(slot))));
}
