#include "app/microphonemenu.h"

#include "app/mainwindowui.h"
#include "app/station.h"
#include "config/openwave.h"
#include "keyer/keyer.h"
#include "keyer/level.h"
#include "keyer/trim.h"

#include <QFileInfo>
#include <QMenu>
#include <QWidget>

#include <algorithm>
#include <cerrno>
#include <cstring>

MicrophoneMenu::MicrophoneMenu(Station& station, const MainWindowUi& ui, QWidget& window)
    : QObject(&window), station_(station), ui_(ui) {
    Keyer* keyer = &station_.keyer();
    for (QAction* gain : ui_.gainItems)
        connect(gain, &QAction::triggered, keyer,
                [keyer, gain] { keyer->setGainCode(gain->data().toInt()); });
    connect(&station_.keyerState(), &KeyerState::micGainCodeChanged, this,
            &MicrophoneMenu::showGain);
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
    connect(ui_.microphoneMenu, &QMenu::aboutToShow, this, &MicrophoneMenu::offerMessageEdits);
    connect(ui_.levelNowItem, &QAction::triggered, this, &MicrophoneMenu::levelNow);
    connect(ui_.undoTrimItem, &QAction::triggered, this, &MicrophoneMenu::undoTrim);
    showGain();
}

void MicrophoneMenu::show() {
    showGain();
    showTrimMargin();
    showLevelTarget();
}

void MicrophoneMenu::showGain() {
    // A code no item carries (from a record written elsewhere) records at unity, and says so.
    const QVariant code = station_.keyerState().micGainCode();
    const bool offered = std::any_of(ui_.gainItems.begin(), ui_.gainItems.end(),
                                     [&](QAction* gain) { return gain->data() == code; });
    tickByData(ui_.gainItems, offered ? code : ui_.gainItems[0]->data());
}

void MicrophoneMenu::showTrimMargin() {
    const TrimMargin margin = station_.keyer().trimMargin();
    tickByData(ui_.trimItems, margin ? int(margin->count()) : -1);
}

void MicrophoneMenu::showLevelTarget() {
    const LevelTarget& target = station_.keyer().levelTarget();
    for (QAction* choice : ui_.levelItems) {
        const auto mode = choice->data().value<LevelMode>();
        choice->setText(target.caption(mode));
        choice->setChecked(mode == target.mode);
    }
}

void MicrophoneMenu::offerMessageEdits() {
    const int slot = station_.keyerState().selectedMemory();
    ui_.levelNowItem->setEnabled(!station_.keyerState().busy() &&
                                 station_.slotLength(slot).count() > 0);
    ui_.undoTrimItem->setEnabled(!station_.keyerState().busy() &&
                                 QFileInfo::exists(asRecordedPath(station_.memories().path(slot))));
}

void MicrophoneMenu::undoTrim() {
    offerMessageEdits();
    if (!ui_.undoTrimItem->isEnabled())
        return;
    const int slot = station_.keyerState().selectedMemory();
    if (const FileStatus restored = restoreAsRecorded(station_.memories().path(slot)); !restored) {
        station_.dialogs().showMessage(
            tr("Could not undo the trim and level: %1").arg(restored.reason()), fileErrorTitle());
        return;
    }
    station_.readSlotLengths();
    emit told(tr("Memory %1 is back as recorded: %2 seconds")
                  .arg(slot)
                  .arg(secondsCaption(station_.slotLength(slot))));
}

void MicrophoneMenu::levelNow() {
    offerMessageEdits();
    if (!ui_.levelNowItem->isEnabled())
        return;
    const int slot = station_.keyerState().selectedMemory();
    // The command levels to the target ticked, and to peak while levelling is Off.
    LevelTarget target = station_.keyer().levelTarget();
    if (target.mode == LevelMode::Off)
        target.mode = LevelMode::Peak;
    const LevelOutcome outcome = levelMessage(station_.memories().path(slot), target);
    const QString report = levelReport(slot, target, outcome);
    if (outcome.result == LevelResult::Failed || outcome.result == LevelResult::NotLevellable) {
        station_.dialogs().showMessage(report, fileErrorTitle());
        return;
    }
    emit told(report);
}
