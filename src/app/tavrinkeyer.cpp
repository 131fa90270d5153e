// The main window's keyer side: the wave engines, the transport and memory buttons, the Delay
// and Microphone menus, and the sound card dialog.
#include "app/tavrin.h"

#include "audio/soundcardselect.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

void TTavrin::createKeyer() {
    waveOut_ = std::make_unique<WaveOutEngine>(*platform_.wave, audioDevices_);
    waveIn_ = std::make_unique<WaveInEngine>(*platform_.wave, audioDevices_);

    KeyerMenus menus;
    menus.loopDelays = ui_.LoopDelay;
    menus.gains = ui_.Gain;
    keyer_ =
        new Keyer(KeyerParts{state_, memories_, *ui_.MessageWindow, paths_.dir(), menus, *keying_,
                             *transmit_, idAlarm_->strip(), *waveOut_, *waveIn_, dialogs_},
                  this);
    keyer_->setObjectName(QStringLiteral("Keyer"));
    soundCard_ = new TSoundCardSelect(
        *platform_.wave, *waveIn_, *waveOut_, audioDevices_,
        [this] { return state_.busy() || keyer_->deviceInUse(); }, this);
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
    for (std::size_t i = 0; i < ui_.LoopDelay.size(); ++i)
        connect(ui_.LoopDelay[i], &QAction::triggered, keyer_,
                [this, i] { keyer_->loopDelayClick(i); });
    for (std::size_t i = 0; i < ui_.Gain.size(); ++i)
        connect(ui_.Gain[i], &QAction::triggered, keyer_, [this, i] { keyer_->gainClick(i); });
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
    connect(soundCard_, &TSoundCardSelect::shownChanged, keyer_, &Keyer::setSoundCardDialogShown);
}

void TTavrin::InputSoundCardClick() {
    showSoundCards(SoundCardMode::Input);
}

void TTavrin::OutputSoundCardClick() {
    showSoundCards(SoundCardMode::Output);
}

void TTavrin::showSoundCards(SoundCardMode mode) {
    // A message running lets its device go at once, before the dialog may select another.
    if (state_.busy())
        keyer_->StopBtnClick();
    soundCard_->showFor(mode);
}

void TTavrin::showTrimMargin() {
    const TrimMargin margin = keyer_->trimMargin();
    for (QAction* choice : ui_.Trim)
        choice->setChecked(choice->data().toInt() == (margin ? int(margin->count()) : -1));
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
