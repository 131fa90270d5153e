// The main window's persistence: the configuration file read at start-up and applied through
// the same handlers as the menus, written at shutdown, and the File menu's wave commands.
#include "app/mainwindow.h"

#include "app/applog.h"
#include "app/phrasesdialog.h"
#include "audio/waveout.h"
#include "config/configrecord.h"
#include "config/inisettings.h"
#include "config/openwave.h"
#include "config/settings.h"
#include "keyer/keyer.h"
#include "keyer/monitor.h"
#include "support/atomicfile.h"
#include "support/dialogs.h"
#include "tx/keyingline.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>
#include <QSettings>
#include <QTextEdit>

#include <cerrno>
#include <cstring>

namespace {
constexpr std::uint8_t kOn = 1;
constexpr std::uint8_t kOff = 0;

const char* const kConfigErrorTitle =
    QT_TRANSLATE_NOOP("MainWindow", "Configuration File Error Message");
const char* const kCouldNotRead =
    QT_TRANSLATE_NOOP("MainWindow", "Could not read the configuration file %1: %2");
const char* const kCouldNotWrite =
    QT_TRANSLATE_NOOP("MainWindow", "Could not write the configuration file %1: %2");
const char* const kReadOnly =
    QT_TRANSLATE_NOOP("MainWindow", "The configuration file %1 is read-only");
const char* const kNotRegular = QT_TRANSLATE_NOOP("MainWindow", "not a regular file");
const char* const kNotSaved = QT_TRANSLATE_NOOP("MainWindow", "\nThe settings will not be saved");

// The texts above in the language of the window.
QString text(const char* source) {
    return QCoreApplication::translate("MainWindow", source);
}

const QString kVoxName = QStringLiteral("NONE");
// The import's progress bar counts thousandths, and shows only for a file that takes a while.
constexpr int kImportPermille = 1000;
constexpr std::chrono::milliseconds kImportProgressAfter{400};

QString reason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Why settings read from path, as read found it, cannot be written back there at shutdown; empty
// when they can.
QString notSaved(const QString& path, const FileRead& read) {
    switch (read.status) {
    case FileRead::Status::NotRegular:
        return text(kCouldNotRead).arg(path, text(kNotRegular));
    case FileRead::Status::Failed:
        return text(kCouldNotRead).arg(path, reason(read.error));
    case FileRead::Status::Read:
        if (read.readOnly)
            return text(kReadOnly).arg(path);
        break;
    case FileRead::Status::Missing:
        break;
    }
    const int error = replaceError(path);
    return error == 0 ? QString() : text(kCouldNotWrite).arg(path, reason(error));
}
} // namespace

void MainWindow::readConfiguration() {
    readRecord();
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        memories_.setPath(slot, paths_.slotFile(slot));
    // A signal during the record's message box ends the start: nothing more is opened.
    if (startAbandoned_)
        return;
    FileRead found;
    const IniSettings ini = readIniSettings(paths_.iniFile(), found);
    // Settings already known not to be saved need no second notice.
    if (!configPath_.isEmpty()) {
        const QString why = notSaved(paths_.iniFile(), found);
        if (!why.isEmpty())
            tellSettingsNotSaved(why);
    }
    if (!startAbandoned_)
        applyIniSettings(ini);
}

void MainWindow::readRecord() {
    const QString path = paths_.configFile();
    const FileRead read = readConfigFile(path);
    if (read.status == FileRead::Status::Missing) {
        // A first start, or messages copied in before the first start: the settings get their
        // file at once, so that a failure to write it shows now and not after the session.
        if (QDir().mkpath(paths_.dir()) &&
            writeFileAtomically(path, currentConfiguration().serialize()))
            configPath_ = path;
        else
            tellSettingsNotSaved(text(kCouldNotWrite).arg(path, reason(errno)));
        return;
    }
    if (read.status == FileRead::Status::Read)
        applyConfiguration(ConfigRecord::parse(read.bytes, currentConfiguration()));
    const QString why = notSaved(path, read);
    if (why.isEmpty())
        configPath_ = path;
    else
        tellSettingsNotSaved(why);
}

void MainWindow::tellSettingsNotSaved(const QString& why) {
    // Both files or neither: the record names VOX for what only the settings file holds, and the
    // operator is told once.
    configPath_.clear();
    dialogs_.showMessage(why + text(kNotSaved), text(kConfigErrorTitle));
}

SettingsTargets MainWindow::settingsTargets() {
    // The record holds the first bank, whichever is chosen: other copies of the program read it.
    return {chosenBank_ == 0 ? memories_ : firstBank_,
            *keyer_,
            state_,
            *keying_,
            *idAlarm_,
            audioDevices_};
}

void MainWindow::applyConfiguration(const ConfigRecord& record) {
    applySettings(record, settingsTargets());
    reservedA_ = record.reservedA;
    reservedB_ = record.reservedB;
    if (record.stayOnTop == kOn)
        setStayOnTop(true);
    else
        setStayOnTop(false);
}

ConfigRecord MainWindow::currentConfiguration() {
    ConfigRecord base;
    base.reservedA = reservedA_;
    base.reservedB = reservedB_;
    base.stayOnTop = stayOnTop_ ? kOn : kOff;
    return collectSettings(settingsTargets(), base);
}

void MainWindow::applyIniSettings(const IniSettings& ini) {
    keyer_->setPttTiming(ini.keying.ptt);
    ui_.speakAloudItem->setChecked(ini.console.speakAloud);
    keyer_->setTrimMargin(ini.recording.trimMargin);
    showTrimMargin();
    keyer_->setLevelTarget(ini.recording.level);
    showLevelTarget();
    // The record names VOX while a device path is in use. A port that a copy of the program
    // reading only the record has chosen since then stands.
    if (!ini.keying.serialDevice.isEmpty() && keying_->portName() == kVoxName)
        chooseSerialDevice(ini.keying.serialDevice);
    // Likewise a rig: the record holds VOX for it.
    rigSettings_ = ini.rig;
    switch (rigSettings_.keying) {
    case RigSettings::Keying::Cat:
        keying_->selectRig(rigSettings_.catTarget());
        break;
    case RigSettings::Keying::Cm108:
        keying_->selectRig(rigSettings_.cm108Target());
        break;
    case RigSettings::Keying::None:
        break;
    }
    audioDevices_.monitorDevice = ini.monitor.device;
    // The card of that name wherever it is numbered now; else the number as kept.
    constexpr auto kOutput = WaveService::Direction::Output;
    const int outputs = ini.monitor.deviceName.isEmpty() ? 0 : platform_.wave->deviceCount(kOutput);
    for (int device = 0; device < outputs; ++device)
        if (QString::fromStdString(platform_.wave->productName(kOutput, device)) ==
            ini.monitor.deviceName)
            audioDevices_.monitorDevice = device;
    keyer_->monitor().setVolume(ini.monitor.volume);
    keyer_->monitor().setOn(ini.monitor.on);
    showMonitor();
    // Last: the line it watches is the one chosen above.
    keying_->watchOperatorPtt(ini.keying.operatorPtt);
    showOperatorPtt();
    banks_ = ini.banks;
    const int bank = static_cast<int>(bankNames().indexOf(ini.banks.chosen));
    banks_.chosen = bankNames().at(0);
    if (bank > 0)
        switchBank(bank);
    showBanks();
}

IniSettings MainWindow::currentIniSettings() const {
    IniSettings ini;
    // An adapter that failed to open is still the operator's choice while VOX stands in for it.
    if (keying_->portName() == kVoxName && !keying_->rigTarget())
        ini.keying.serialDevice = chosenSerialDevice_;
    if (keying_->usesDevicePath())
        ini.keying.serialDevice = keying_->portName();
    ini.keying.ptt = keyer_->pttTiming();
    ini.keying.operatorPtt = keying_->operatorPtt();
    ini.console.speakAloud = ui_.speakAloudItem->isChecked();
    ini.recording.trimMargin = keyer_->trimMargin();
    ini.recording.level = keyer_->levelTarget();
    ini.monitor.on = keyer_->monitor().on();
    ini.monitor.volume = keyer_->monitor().volume();
    ini.monitor.device = audioDevices_.monitorDevice;
    // The first device is the desktop's sound server, whatever cards come and go.
    if (audioDevices_.monitorDevice != 0)
        ini.monitor.deviceName = monitorOut_->deviceName();
    ini.banks = banks_;
    if (chosenBank_ != 0) {
        auto& notes = ini.banks.banks[chosenBank_ - 1].notes;
        for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
            notes.at(slot - 1) = MemorySlots::toWindow(memories_.note(slot));
    }
    ini.rig = rigSettings_;
    const RigTarget* rig = keying_->rigTarget();
    ini.rig.keying = !rig                                ? RigSettings::Keying::None
                     : rig->kind == RigTarget::Kind::Cat ? RigSettings::Keying::Cat
                                                         : RigSettings::Keying::Cm108;
    return ini;
}

void MainWindow::writeConfiguration() {
    if (configPath_.isEmpty())
        return;
    // What could be foreseen was told at the start; a failure that comes only now (a full disk)
    // has no window left to be shown in.
    if (!writeFileAtomically(configPath_, currentConfiguration().serialize()))
        qCWarning(appLog, "Could not save the settings in %s", qPrintable(configPath_));
    if (!writeIniSettings(paths_.iniFile(), currentIniSettings()))
        qCWarning(appLog, "Could not save the settings in %s", qPrintable(paths_.iniFile()));
}

void MainWindow::openMessage() {
    // The chosen file is checked through a handle of its own, and never while a recording or
    // playback runs, so no running operation loses its file.
    if (state_.busy())
        return;
    const QString path = dialogs_.openFileName();
    if (path.isEmpty())
        return;
    keyer_->chooseMessageFile(path);
    readSlotLengths();
    if (const auto refusal = checkWaveFile(path))
        dialogs_.showMessage(QString::fromLatin1(refusal->text),
                             QString::fromLatin1(refusal->title));
}

void MainWindow::saveMessageAs() {
    // Read through a handle of its own, so a paused playback keeps its place in the file; not
    // while a recording or playback runs, as Open Wave.
    if (state_.busy())
        return;
    saveWave(state_.currentMessageFile(), dialogs_);
}

void MainWindow::editTemplate() {
    const int slot = state_.selectedMemory();
    QString text = keyer_->templateOf(slot);
    if (!dialogs_.inputQuery(tr("Template for Memory %1").arg(slot),
                             tr("Spoken from the phrases instead of the recording, e.g. "
                                "{mem 3} {serial} {call} or five nine {serial:03}. Empty: "
                                "the recording plays."),
                             text))
        return;
    if (const QString why = keyer_->setTemplate(slot, text); !why.isEmpty())
        showIdleStatus(tr("The template was not saved: %1").arg(why));
    else if (keyer_->templateOf(slot).isEmpty())
        showIdleStatus(tr("Memory %1 plays its recording").arg(slot));
    else
        showIdleStatus(tr("Memory %1 is a template: %2").arg(slot).arg(keyer_->templateOf(slot)));
    showMemoryButtons();
    scheduleConsole();
}

void MainWindow::importMessage() {
    // A running recording or playback holds the slot's file.
    if (state_.busy() || import_)
        return;
    const QString source = dialogs_.openFileName();
    if (source.isEmpty())
        return;
    importSlot_ = state_.selectedMemory();
    import_ = std::make_unique<MessageImport>(source, memories_.path(importSlot_));
    // Not modal: STOP, Escape and the memories keep working while a long file converts.
    importProgress_ = std::make_unique<QProgressDialog>(
        tr("Importing %1 into memory %2").arg(QFileInfo(source).fileName()).arg(importSlot_),
        tr("Cancel"), 0, kImportPermille, this);
    importProgress_->setWindowTitle(tr("Import Message"));
    importProgress_->setAutoReset(false);
    importProgress_->setMinimumDuration(static_cast<int>(kImportProgressAfter.count()));
    connect(importProgress_.get(), &QProgressDialog::canceled, import_.get(),
            &MessageImport::cancel);
    connect(import_.get(), &MessageImport::progressed, importProgress_.get(), [this](int permille) {
        if (permille < 0)
            importProgress_->setMaximum(0); // a bar that says only "working"
        else
            importProgress_->setValue(permille);
    });
    // Queued: the import is deleted there, which must not happen inside its own signal.
    connect(import_.get(), &MessageImport::finished, this, &MainWindow::finishImport,
            Qt::QueuedConnection);
    ui_.importMessageItem->setEnabled(false);
}

void MainWindow::showPhrases() {
    // Not modal: STOP, Escape and the memories work while it is open.
    if (!phrases_)
        phrases_ = new PhrasesDialog(*keyer_, state_, dialogs_, paths_.phrasesDir(), this);
    phrases_->refresh();
    phrases_->show();
    phrases_->raise();
    phrases_->activateWindow();
}

void MainWindow::finishImport() {
    // Its question waits for the end of a message started meanwhile, rather than come up while
    // the transmitter is keyed.
    if (!import_ || !import_->done() || state_.busy())
        return;
    const std::unique_ptr<MessageImport> import = std::move(import_);
    importProgress_.reset();
    ui_.importMessageItem->setEnabled(true);
    if (import->complete(importSlot_, dialogs_, keyer_->trimMargin(), keyer_->levelTarget()))
        keyer_->chooseMessageFile(import->target());
}
