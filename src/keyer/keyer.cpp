#include "keyer/keyer.h"

#include "keyer/keyerstate.h"
#include "keyer/memories.h"

#include <QTextEdit>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace {
constexpr auto kLoopTick = 500ms;
constexpr auto kPlayTimerInterval = 200ms;

QTimer* makeTimer(QObject* parent, const char* name, std::chrono::milliseconds interval) {
    auto* timer = new QTimer(parent);
    timer->setObjectName(QLatin1String(name));
    timer->setInterval(interval);
    return timer;
}
} // namespace

Keyer::Keyer(KeyerState& state, MemorySlots& memories, QTextEdit& messageWindow, QString installDir,
             QObject* parent)
    : QObject(parent), state_(state), memories_(memories), messageWindow_(messageWindow),
      installDir_(std::move(installDir)), loopTimer_(makeTimer(this, "Loop_Timer", kLoopTick)),
      playTimer_(makeTimer(this, "PlayTimer", kPlayTimerInterval)) {}

void Keyer::MemBtnClick(int slot) {
    if (!MemorySlots::isSlot(slot) || state_.busy())
        return;
    DeselectMemory();
    state_.selectedMemory = slot;
    state_.setHighlightedMemory(slot);
    state_.currentMessageFile = memories_.path(slot);
    messageWindow_.setPlainText(MemorySlots::toWindow(memories_.note(slot)));
}

void Keyer::DeselectMemory() {
    state_.setHighlightedMemory(0);
    saveNote();
}

void Keyer::saveNote() {
    memories_.setNote(state_.selectedMemory, MemorySlots::toStored(messageWindow_.toPlainText()));
}

void Keyer::BuildRecordPath(int slot) {
    state_.currentMessageFile = installDir_ + MemorySlots::fileName(slot);
    memories_.setPath(slot, state_.currentMessageFile);
}
