#include "app/console.h"

#include "app/accessiblebutton.h"
#include "app/announcer.h"
#include "app/focusring.h"
#include "app/look.h"
#include "app/mainwindowui.h"
#include "app/monitormenu.h"
#include "app/speech.h"
#include "app/station.h"
#include "audio/wavetypes.h"
#include "keyer/keyer.h"
#include "support/dialogs.h"
#include "tx/transmitcontrols.h"

#include <QAccessible>
#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <utility>

namespace {

const QKeySequence kRecordKeys{Qt::CTRL | Qt::SHIFT | Qt::Key_R};
const QKeySequence kLoopKeys{Qt::CTRL | Qt::Key_L};
const QKeySequence kTuneKeys{Qt::CTRL | Qt::Key_T};
const QKeySequence kTxEnableKeys{Qt::CTRL | Qt::Key_E};

struct KeyHelp {
    QString keys;
    QString action;
};

QString keysText(const QKeySequence& keys) {
    return keys.toString(QKeySequence::NativeText);
}

QList<KeyHelp> keyboardHelp() {
    return {
        {QCoreApplication::translate("MainWindow", "F1 … F12"),
         QCoreApplication::translate("MainWindow",
                                     "play memory 1 … 12 (a message playing gives way)")},
        {QCoreApplication::translate("MainWindow", "Shift+F1 … Shift+F12"),
         QCoreApplication::translate("MainWindow", "select memory 1 … 12")},
        {QCoreApplication::translate("MainWindow", "Ctrl+F1 … Ctrl+F12"),
         QCoreApplication::translate("MainWindow",
                                     "preview memory 1 … 12 on the monitor, without keying")},
        {QCoreApplication::translate("MainWindow", "Esc"),
         QCoreApplication::translate("MainWindow",
                                     "stop everything: playback, recording, loop, TUNE")},
        {keysText(kRecordKeys),
         QCoreApplication::translate("MainWindow", "REC: record into the selected memory")},
        {keysText(kLoopKeys), QCoreApplication::translate("MainWindow", "LOOP on or off")},
        {keysText(kTuneKeys), QCoreApplication::translate("MainWindow", "TUNE on or off")},
        {keysText(kTxEnableKeys), QCoreApplication::translate("MainWindow", "Tx Enable on or off")},
        {QCoreApplication::translate("MainWindow", "Ctrl+PgUp, Ctrl+PgDown"),
         QCoreApplication::translate("MainWindow", "previous or next bank of memories")},
        {QCoreApplication::translate("MainWindow", "Tab, Shift+Tab"),
         QCoreApplication::translate("MainWindow", "next or previous control")},
        {QCoreApplication::translate("MainWindow", "Space, Enter"),
         QCoreApplication::translate("MainWindow", "press the focused button")},
    };
}

// The bar moves with every block (one every 190 ms, five times a second), but never more often
// than this, whatever the device's pace.
constexpr std::chrono::milliseconds kStatusInterval(120);
// Longer than a block, so that it runs only once the blocks stop coming.
constexpr std::chrono::milliseconds kStatusCatchUp(250);

constexpr int kBytesPerSecond = static_cast<int>(WaveFormat{}.averageBytesPerSecond);
constexpr int kFullScale = 32768;
constexpr int kPercent = 100;

// While a message runs the status line counts whole seconds, so that its text changes once a
// second: each new text is shaped and painted again and read out to a screen reader, which
// cost a third of the window's time while playing when it counted tenths. The bar shows the
// finer progress.
QString elapsedSeconds(std::chrono::milliseconds length) {
    return QString::number(std::chrono::floor<std::chrono::seconds>(length).count());
}

QString secondsLeft(std::chrono::milliseconds length) {
    return QString::number(std::chrono::ceil<std::chrono::seconds>(length).count());
}

std::chrono::milliseconds bytesToLength(std::int64_t bytes) {
    constexpr std::int64_t kMsPerSecond = 1000;
    return std::chrono::milliseconds{std::max<std::int64_t>(0, bytes) * kMsPerSecond /
                                     kBytesPerSecond};
}

// Qt raises an accessibility event for every name set, changed or not, and a screen reader
// then reads the control again.
void nameIfChanged(QWidget* control, const QString& text) {
    if (control->accessibleName() != text)
        control->setAccessibleName(text);
}

void shortcut(QWidget* window, const QKeySequence& keys, std::function<void()> action) {
    auto* keysShortcut = new QShortcut(keys, window);
    keysShortcut->setContext(Qt::WindowShortcut);
    // A held key must not restart the message on every repeat.
    keysShortcut->setAutoRepeat(false);
    QObject::connect(keysShortcut, &QShortcut::activated, window, std::move(action));
}

void describe(QWidget* control, const QString& what) {
    control->setToolTip(what);
    control->setAccessibleDescription(what);
}

} // namespace

Console::Console(Station& station, const MainWindowUi& ui, MonitorMenu& monitor,
                 QMainWindow& window)
    : QObject(&window), station_(&station), state_(station.keyerState()), ui_(ui),
      monitorMenu_(&monitor), window_(window) {
    // Marked before any name is set: the state interface must be the one that is kept.
    for (QPushButton* button : {ui_.loopButton, ui_.tuneButton, ui_.txEnableButton, ui_.micButton})
        accessiblebutton::mark(button, accessiblebutton::Kind::Switch);
    for (QPushButton* button : {ui_.recordButton, ui_.playButton})
        accessiblebutton::mark(button, accessiblebutton::Kind::Action);
    for (QPushButton* button : ui_.memoryButtons)
        accessiblebutton::mark(button, accessiblebutton::Kind::Choice);

    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot) {
        const auto key = static_cast<Qt::Key>(Qt::Key_F1 + slot - 1);
        shortcut(&window_, QKeySequence(key), [this, slot] { station_->keyer().playMemory(slot); });
        shortcut(&window_, QKeySequence(Qt::SHIFT | key), [this, slot] { chooseMemory(slot); });
        shortcut(&window_, QKeySequence(Qt::CTRL | key),
                 [this, slot] { monitorMenu_->preview(slot); });
    }
    const struct {
        QPushButton* button;
        QKeySequence keys;
        QString what;
    } pressed[] = {
        {ui_.recordButton, kRecordKeys, tr("Record into the selected memory")},
        {ui_.loopButton, kLoopKeys, tr("Repeat the message after the loop delay")},
        {ui_.tuneButton, kTuneKeys, tr("Key the transmitter without sound")},
        {ui_.txEnableButton, kTxEnableKeys, tr("Key the transmitter while playing")},
    };
    for (const auto& press : pressed) {
        shortcut(&window_, press.keys, [button = press.button] { button->click(); });
        describe(press.button, QStringLiteral("%1 (%2)").arg(press.what, keysText(press.keys)));
    }
    describe(ui_.playButton, tr("Play or pause the selected memory (F1 … F12 play a "
                                "memory at once)"));
    describe(ui_.stopButton, tr("Stop the message (Esc stops everything)"));
    describe(ui_.resetButton, tr("Stop and cancel the loop (Esc)"));
    describe(ui_.micButton, tr("Microphone on the transmitter"));
    describe(ui_.mixerButton, tr("Open the sound mixer"));
    describe(ui_.rxTxIndicator, tr("Whether the transmitter is keyed"));
    describe(ui_.alarmStrip, tr("Flashes when the station must identify"));
    ui_.alarmStrip->setAccessibleName(tr("Identification alarm"));
    ui_.progressBar->setAccessibleName(tr("Playback progress"));

    focusRing_ = new FocusRing(&window_);
    barColour_ = ui_.progressBar->palette().color(QPalette::Highlight);

    consoleTimer_ = new QTimer(this);
    consoleTimer_->setSingleShot(true);
    consoleTimer_->setInterval(0);
    connect(consoleTimer_, &QTimer::timeout, this, &Console::showConsole);
    statusTimer_ = new QTimer(this);
    statusTimer_->setSingleShot(true);
    connect(statusTimer_, &QTimer::timeout, this, [this] {
        statusShown_.start();
        showLevel(state_.phase());
    });
    connect(&state_, &KeyerState::phaseChanged, this, &Console::scheduleConsole);
    connect(&state_, &KeyerState::loopActiveChanged, this, &Console::scheduleConsole);
    connect(&state_, &KeyerState::selectedMemoryChanged, this, &Console::scheduleConsole);
    for (auto changed : {&KeyerState::playBytesLeftChanged, &KeyerState::recordedBytesChanged,
                         &KeyerState::inputPeakChanged, &KeyerState::progressChanged})
        connect(&state_, changed, this, &Console::scheduleStatus);
    connect(ui_.noteEditor, &QTextEdit::textChanged, this, &Console::scheduleConsole);
    const TxState& tx = station_->transmitControls().state();
    for (auto changed :
         {&TxState::tuneActiveChanged, &TxState::txEnableChanged, &TxState::txMicChanged,
          &TxState::transmittingChanged, &TxState::unkeyNotConfirmedChanged})
        connect(&tx, changed, this, &Console::scheduleConsole);
    connect(station_, &Station::slotLengthsRead, this, [this] {
        showMemoryButtons();
        scheduleConsole();
    });
    connect(&station_->keyer(), &Keyer::nothingToPlay, this, &Console::nothingToPlay);
    connect(&station_->keyer(), &Keyer::templateRefused, this,
            [this](const Notice& why) { showRefusal(why.shown()); });
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        connect(ui_.memoryButtons.at(slot - 1), &QPushButton::clicked, this,
                [this, slot] { chooseMemory(slot); });
    const auto redWhen = [](QWidget* caption) {
        return [caption](bool on) { look::setTextColour(caption, on ? look::kRed : look::kBlue); };
    };
    connect(&state_, &KeyerState::recordActiveChanged, this, redWhen(ui_.recordButton));
    connect(&state_, &KeyerState::playActiveChanged, this, redWhen(ui_.playButton));
    connect(&state_, &KeyerState::loopActiveChanged, this, redWhen(ui_.loopButton));
    connect(&state_, &KeyerState::keyerIdleChanged, this, redWhen(ui_.resetButton));
    connect(&state_, &KeyerState::keyerStoppedChanged, this, redWhen(ui_.stopButton));
    connect(&state_, &KeyerState::highlightedMemoryChanged, this, &Console::showMemoryButtons);
}

void Console::showKeyboard() {
    QStringList lines;
    for (const KeyHelp& help : keyboardHelp())
        lines << help.keys + QStringLiteral(": ") + help.action;
    station_->dialogs().showMessage(lines.join(QLatin1Char('\n')), tr("Keyboard"));
}

void Console::showMemoryButtons() {
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot) {
        const bool empty = station_->slotLength(slot).count() == 0 &&
                           station_->keyer().templates().templateOf(slot).isEmpty();
        look::setTextColour(ui_.memoryButtons.at(slot - 1), slot == state_.highlightedMemory()
                                                                ? look::kRed
                                                            : empty ? look::kGrey
                                                                    : look::kBlack);
    }
}

void Console::scheduleConsole() {
    consoleTimer_->start();
}

QString Console::messageName() const {
    if (state_.recordActive() && !station_->keyer().recordingPhrase().isEmpty())
        return tr("phrase %1")
            .arg(QFileInfo(station_->keyer().recordingPhrase()).completeBaseName());
    // A paused message resumes whatever memory has been selected since.
    const QString& file = state_.playFileOpen() ? state_.playFile() : state_.currentMessageFile();
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        if (station_->memories().path(slot) == file)
            return tr("memory %1").arg(slot);
    return QFileInfo(file).fileName();
}

void Console::scheduleStatus() {
    // A phase change shows everything anyway.
    if (consoleTimer_->isActive())
        return;
    // Shown once the keyer's step is done, with all that the block changed.
    if (!statusShown_.isValid() || statusShown_.hasExpired(kStatusInterval.count()))
        statusTimer_->start(std::chrono::milliseconds(0));
    else if (!statusTimer_->isActive())
        statusTimer_->start(kStatusCatchUp);
}

void Console::showConsole() {
    consoleTimer_->stop();
    statusShown_.invalidate();
    const TxState& tx = station_->transmitControls().state();
    const struct {
        QPushButton* button;
        QString what;
        bool on;
    } switches[] = {
        {ui_.txEnableButton, tr("Transmit enable"), tx.txEnabled()},
        {ui_.micButton, tr("Microphone"), tx.micOn()},
        {ui_.loopButton, QStringLiteral("LOOP"), state_.loopActive()},
        {ui_.tuneButton, QStringLiteral("TUNE"), tx.tuning()},
    };
    for (const auto& control : switches) {
        nameIfChanged(control.button, control.what);
        accessiblebutton::setOn(control.button, control.on);
    }
    const KeyerPhase now = state_.phase();
    nameIfChanged(ui_.recordButton,
                  now == KeyerPhase::Recording ? tr("REC, recording") : QStringLiteral("REC"));
    accessiblebutton::setOn(ui_.recordButton, now == KeyerPhase::Recording);
    nameIfChanged(ui_.playButton, now == KeyerPhase::Playing  ? tr("PLAY, playing")
                                  : now == KeyerPhase::Paused ? tr("PLAY, paused")
                                                              : QStringLiteral("PLAY"));
    accessiblebutton::setOn(ui_.playButton, now == KeyerPhase::Playing);
    nameIfChanged(ui_.noteEditor, tr("Note for memory %1").arg(state_.selectedMemory()));

    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot) {
        QPushButton* button = ui_.memoryButtons.at(slot - 1);
        const bool selected = slot == state_.selectedMemory();
        const QStringList parts = memoryParts(slot);
        nameIfChanged(button, parts.join(QStringLiteral(", ")));
        accessiblebutton::setOn(button, selected);
        const QString keys = tr("F%1 plays, Shift+F%1 selects").arg(slot);
        button->setToolTip(parts.mid(selected ? 2 : 1).join(QStringLiteral(", ")) +
                           QLatin1Char('\n') + keys);
        // The name already says the length and the note; a screen reader reads both.
        if (button->accessibleDescription() != keys)
            button->setAccessibleDescription(keys);
    }

    const QString indicator = tr("Receive/transmit indicator, ") + ui_.rxTxIndicator->text();
    if (ui_.rxTxIndicator->accessibleName().isEmpty())
        ui_.rxTxIndicator->setAccessibleName(indicator);
    else if (ui_.rxTxIndicator->accessibleName() != indicator)
        announce(ui_.rxTxIndicator, indicator,
                 !tx.transmitting()       ? tr("Receiving")
                 : tx.unkeyNotConfirmed() ? tr("Transmitting, unkey not confirmed")
                                          : tr("Transmitting"));
    showStatus(now);
}

QStringList Console::memoryParts(int slot) const {
    const bool selected = slot == state_.selectedMemory();
    const QString note = (selected ? ui_.noteEditor->toPlainText()
                                   : MemorySlots::toWindow(station_->memories().note(slot)))
                             .section(QLatin1Char('\n'), 0, 0)
                             .trimmed();
    QStringList parts{tr("Memory %1").arg(slot)};
    if (selected)
        parts << tr("selected");
    const auto length = station_->slotLength(slot);
    if (const QString spoken = station_->keyer().templates().templateOf(slot); !spoken.isEmpty())
        parts << tr("template %1").arg(spoken);
    else
        parts << (length.count() == 0 ? tr("empty") : secondsCaption(length) + tr(" seconds"));
    if (!note.isEmpty())
        parts << note;
    return parts;
}

void Console::chooseMemory(int slot) {
    station_->keyer().selectMemory(slot);
    // The screen reader is not told of a memory button's new selection, even under the focus;
    // the choice by click or key, wherever the focus is, is said here.
    if (state_.selectedMemory() == slot)
        say(window_.centralWidget(), memoryParts(slot).join(QStringLiteral(", ")));
}

void Console::showLevel(KeyerPhase now) {
    statusTimer_->stop();
    QProgressBar* bar = ui_.progressBar;
    const bool clipped = now == KeyerPhase::Recording && state_.inputPeak() >= kClipPeak;
    // A palette set anew repaints the bar even when its colour stays.
    const QColor colour = clipped ? look::kRed : barColour_;
    if (bar->palette().color(QPalette::Highlight) != colour) {
        QPalette palette = bar->palette();
        palette.setColor(QPalette::Highlight, colour);
        bar->setPalette(palette);
    }

    QString status = idleStatus_;
    const QString message = messageName();
    int position = qBound(0, state_.progress(), kPercent);
    if (now == KeyerPhase::Recording) {
        position = state_.inputPeak() * kPercent / kFullScale;
        status = tr("Recording %1: %2 s")
                     .arg(message, elapsedSeconds(bytesToLength(state_.recordedBytes())));
        if (clipped)
            status += tr(", clipping");
    }
    if (now == KeyerPhase::Playing || now == KeyerPhase::Paused) {
        const std::int32_t left = state_.playBytesLeft();
        status = tr("%1 %2: %3 s, %4 s left")
                     .arg(now == KeyerPhase::Paused ? tr("Paused") : tr("Playing"), message,
                          elapsedSeconds(bytesToLength(state_.playLength() - std::max(0, left))),
                          secondsLeft(bytesToLength(left)));
    }
    // Each accessible name or description set costs an accessibility event, changed or not.
    const QString barName =
        now == KeyerPhase::Recording ? tr("Input level") : tr("Playback progress");
    nameIfChanged(bar, barName);
    if (bar->accessibleDescription() != status)
        bar->setAccessibleDescription(status);
    bar->setFormat(status);
    ui_.statusLine->setText(status);
    // Last: a new position repaints the bar at once, and with it all that is waiting to be
    // painted (the status line's new text), in one pass over the window.
    bar->setValue(position);
}

void Console::showStatus(KeyerPhase now) {
    showLevel(now);
    const QString message = messageName();
    if (now == shownPhase_ && (now == KeyerPhase::Idle || message == shownMessage_)) {
        // Choosing another slot while nothing runs is said by the memory button itself.
        shownMessage_ = message;
        return;
    }
    QString said;
    switch (now) {
    case KeyerPhase::Recording:
        said = tr("Recording %1").arg(message);
        break;
    case KeyerPhase::Playing:
        said = tr("Playing %1").arg(message);
        break;
    case KeyerPhase::Paused:
        said = tr("Paused %1").arg(message);
        break;
    case KeyerPhase::Idle:
        said = shownPhase_ == KeyerPhase::Recording
                   ? tr("Recorded %1: %2 seconds")
                             .arg(shownMessage_,
                                  secondsCaption(bytesToLength(state_.recordedBytes()))) +
                         (station_->keyer().recordedOnlySilence() ? tr(" of silence") : QString())
                   : tr("Playback ended");
        if (const auto& levelled = station_->keyer().recordingLevelled();
            levelled && shownPhase_ == KeyerPhase::Recording)
            said += QStringLiteral(". ") + levelReport(state_.selectedMemory(),
                                                       station_->keyer().levelTarget(), *levelled);
        if (!quietFailure_.isEmpty())
            said = std::exchange(quietFailure_, QString());
        if (!monitorFailure_.isEmpty())
            said += QStringLiteral(". ") + std::exchange(monitorFailure_, QString());
        idleStatus_ = said;
        ui_.statusLine->setText(said);
        break;
    }
    if (now != KeyerPhase::Idle)
        quietFailure_.clear();
    shownPhase_ = now;
    shownMessage_ = message;
    announce(ui_.statusLine, said);
}

void Console::nothingToPlay(const QString& path) {
    QString said = tr("Nothing to play in %1").arg(QFileInfo(path).fileName());
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        if (station_->memories().path(slot) == path)
            said = tr("Memory %1 is empty").arg(slot);
    showRefusal(said);
}

void Console::showRefusal(const QString& said) {
    idleStatus_ = said;
    quietFailure_.clear();
    ui_.statusLine->setText(said);
    // The start that found nothing is not announced as a playback.
    shownPhase_ = KeyerPhase::Idle;
    shownMessage_ = messageName();
    announce(ui_.statusLine, said);
}

void Console::showIdleStatus(const QString& text) {
    idleStatus_ = text;
    ui_.statusLine->setText(text);
    announce(ui_.statusLine, text);
}

void Console::yieldToOperator() {
    const QString stopped = tr("Stopped by the operator's PTT");
    // A message ending is said by the status line once the console shows it; the loop's pause
    // and TUNE end without a change the status line would say.
    const bool sounding = shownPhase_ != KeyerPhase::Idle;
    if (!station_->keyer().yieldToOperator())
        return;
    if (sounding)
        quietFailure_ = stopped;
    else
        showIdleStatus(stopped);
}

void Console::showNotice(const QString& text) {
    ui_.statusLine->setText(text);
    announce(ui_.statusLine, text);
}

void Console::showMonitorFailure(const QString& why) {
    // While a message runs the status line tells the message; this follows its end.
    if (state_.busy())
        monitorFailure_ = why;
    else
        showIdleStatus(why);
}

void Console::showQuietFailure(const QString& text) {
    quietFailure_ = text;
    showIdleStatus(text);
}

void Console::announce(QLabel* where, const QString& text, const QString& spoken) {
    where->setAccessibleName(text);
    say(where, spoken.isEmpty() ? text : spoken);
    Speech* speech = station_->platform().speech;
    if (speech && station_->speakAloud())
        speech->say(spoken.isEmpty() ? text : spoken);
}

void Console::say(QWidget* where, const QString& text) {
    auto* announcer = where->findChild<Announcer*>(QString(), Qt::FindDirectChildrenOnly);
    if (!announcer)
        announcer = new Announcer(where);
    announcer->say(text);
}
