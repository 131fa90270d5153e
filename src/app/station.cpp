#include "app/station.h"

#include "app/applog.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "config/configrecord.h"
#include "config/openwave.h"
#include "config/settings.h"
#include "keyer/keyer.h"
#include "keyer/messagefile.h"
#include "keyer/monitor.h"
#include "support/atomicfile.h"
#include "tx/emergencyunkey.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileSystemWatcher>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {
constexpr std::uint8_t kOn = 1;
constexpr std::uint8_t kOff = 0;

const QString kVoxName = QStringLiteral("NONE");

// Why settings read from path, as read found it, cannot be written back there at shutdown; empty
// when they can.
QString notSaved(const QString& path, const FileRead& read) {
    switch (read.status) {
    case FileRead::Status::NotRegular:
        return Station::tr("Could not read the configuration file %1: %2")
            .arg(path, Station::tr("not a regular file"));
    case FileRead::Status::Failed:
        return Station::tr("Could not read the configuration file %1: %2")
            .arg(path, read.failure.reason());
    case FileRead::Status::Read:
        if (read.readOnly)
            return Station::tr("The configuration file %1 is read-only").arg(path);
        break;
    case FileRead::Status::Missing:
        break;
    }
    const FileStatus replaceable = replaceError(path);
    return replaceable ? QString()
                       : Station::tr("Could not write the configuration file %1: %2")
                             .arg(path, replaceable.reason());
}
} // namespace

Station::Station(const Platform& platform, Dialogs& boxes, QObject* parent)
    : QObject(parent), platform_(platform),
      dialogs_(boxes, [this](const QString& text) { emit quietFailure(text); }),
      paths_(platform.folder.isEmpty() ? InstallPaths(platform.home)
                                       : InstallPaths::inFolder(platform.folder)) {
    setObjectName(QStringLiteral("Station"));
    state_.setParent(this);
    state_.setObjectName(QStringLiteral("KeyerState"));
    createTransmitter();
    createKeyer();
    // Any other end of the event loop (a device failure asks for termination without the
    // shutdown sequence) still leaves the transmitter unkeyed.
    connect(qApp, &QCoreApplication::aboutToQuit, keying_, &KeyingLine::unkey);
    for (auto ended : {&KeyerState::playActiveChanged, &KeyerState::recordActiveChanged})
        connect(&state_, ended, this, &Station::finishImport, Qt::QueuedConnection);
    // A recording that ends has changed its slot's file.
    connect(&state_, &KeyerState::recordActiveChanged, this, [this](bool on) {
        if (!on)
            readSlotLengths();
    });
    connect(keyer_, &Keyer::nothingToPlay, this, &Station::readSlotLengths);
}

Station::~Station() {
    // The keyer refers to the keying line, the engines and the state: it goes first.
    delete keyer_;
}

void Station::createTransmitter() {
    keying_ = new KeyingLine(*platform_.portIo, dialogs_, this);
    keying_->setObjectName(QStringLiteral("KeyingLine"));
    transmit_ = new TransmitControls(*keying_, this);
    transmit_->setObjectName(QStringLiteral("TransmitControls"));
    idAlarm_ = new IdAlarm(dialogs_, *platform_.beeper, this);
    idAlarm_->setObjectName(QStringLiteral("IdAlarm"));
    fatalSignals_ = std::make_unique<FatalSignalUnkey>();
}

void Station::createKeyer() {
    waveOut_ = std::make_unique<WaveOutEngine>(*platform_.wave, audioDevices_);
    waveIn_ = std::make_unique<WaveInEngine>(*platform_.wave, audioDevices_);
    monitorOut_ =
        std::make_unique<WaveOutEngine>(*platform_.wave, audioDevices_, SoundCard::Monitor);
    keyer_ = new Keyer(KeyerParts{state_, memories_, paths_.dir(), *keying_, *transmit_,
                                  idAlarm_->strip(), *waveOut_, *waveIn_, *monitorOut_, dialogs_},
                       this);
    keyer_->setObjectName(QStringLiteral("Keyer"));
    keyer_->templates().setPaths(paths_.phrasesDir(), paths_.exchangeFile());
}

void Station::start() {
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
    if (startAbandoned_)
        return;
    applyIniSettings(ini);
    // The selected slot's file is the one PLAY reads, whether it was restored or is the default.
    keyer_->chooseMessageFile(memories_.path(state_.selectedMemory()));
    // Messages copied in or deleted while the program runs.
    slotWatcher_ = new QFileSystemWatcher(this);
    slotWatcher_->addPath(paths_.dir());
    if (chosenBank_ != 0)
        slotWatcher_->addPath(bankFolder(chosenBank_));
    connect(slotWatcher_, &QFileSystemWatcher::directoryChanged, this, &Station::readSlotLengths);
    readSlotLengths();
}

void Station::abandonStart() {
    keying_->unkey();
    shutDown_ = true;
    startAbandoned_ = true;
}

void Station::shutDown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    import_.reset();
    keyer_->shutDown();
    keyer_->saveNote();
    writeConfiguration();
}

void Station::readRecord() {
    const QString path = paths_.configFile();
    const FileRead read = readConfigFile(path);
    if (read.status == FileRead::Status::Missing) {
        // A first start, or messages copied in before the first start: the settings get their
        // file at once, so that a failure to write it shows now and not after the session.
        const FileStatus written =
            QDir().mkpath(paths_.dir())
                ? writeFileAtomically(path, currentConfiguration().serialize())
                : FileStatus::failed(EACCES);
        if (written)
            configPath_ = path;
        else
            tellSettingsNotSaved(
                tr("Could not write the configuration file %1: %2").arg(path, written.reason()));
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

void Station::tellSettingsNotSaved(const QString& why) {
    // Both files or neither: the record names VOX for what only the settings file holds, and the
    // operator is told once.
    configPath_.clear();
    dialogs_.showMessage(why + tr("\nThe settings will not be saved"),
                         tr("Configuration File Error Message"));
}

SettingsTargets Station::settingsTargets() {
    // The record holds the first bank, whichever is chosen: other copies of the program read it.
    return {chosenBank_ == 0 ? memories_ : firstBank_,
            *keyer_,
            state_,
            *keying_,
            *idAlarm_,
            audioDevices_};
}

void Station::applyConfiguration(const ConfigRecord& record) {
    applySettings(record, settingsTargets());
    reservedA_ = record.reservedA;
    reservedB_ = record.reservedB;
    setStayOnTop(record.stayOnTop == kOn);
}

ConfigRecord Station::currentConfiguration() {
    ConfigRecord base;
    base.reservedA = reservedA_;
    base.reservedB = reservedB_;
    base.stayOnTop = stayOnTop_ ? kOn : kOff;
    return collectSettings(settingsTargets(), base);
}

void Station::setStayOnTop(bool on) {
    stayOnTop_ = on;
    emit stayOnTopChanged(on);
}

void Station::applyIniSettings(const IniSettings& ini) {
    keyer_->setPttTiming(ini.keying.ptt);
    speakAloud_ = ini.console.speakAloud;
    keyer_->setTrimMargin(ini.recording.trimMargin);
    keyer_->setLevelTarget(ini.recording.level);
    // The record names VOX while a device path is in use. A port that a copy of the program
    // reading only the record has chosen since then stands.
    if (!ini.keying.serialDevice.isEmpty() && keying_->portName() == kVoxName)
        chooseSerialDevice(ini.keying.serialDevice);
    // Likewise a rig: the record holds VOX for it.
    keyThroughRig(ini.rig, ini.rig.keying);
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
    // Last: the line it watches is the one chosen above.
    keying_->watchOperatorPtt(ini.keying.operatorPtt);
    banks_ = ini.banks;
    const int bank = static_cast<int>(bankNames().indexOf(ini.banks.chosen));
    banks_.chosen = bankNames().at(0);
    if (bank > 0)
        switchBank(bank);
    emit banksChanged();
}

IniSettings Station::currentIniSettings() const {
    IniSettings ini;
    // An adapter that failed to open is still the operator's choice while VOX stands in for it.
    if (keying_->portName() == kVoxName && !keying_->rigTarget())
        ini.keying.serialDevice = chosenSerialDevice_;
    if (keying_->usesDevicePath())
        ini.keying.serialDevice = keying_->portName();
    ini.keying.ptt = keyer_->pttTiming();
    ini.keying.operatorPtt = keying_->operatorPtt();
    ini.console.speakAloud = speakAloud_;
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

void Station::writeConfiguration() {
    if (configPath_.isEmpty())
        return;
    // What could be foreseen was told at the start; a failure that comes only now (a full disk)
    // has no window left to be shown in.
    if (!writeFileAtomically(configPath_, currentConfiguration().serialize()))
        qCWarning(appLog, "Could not save the settings in %s", qPrintable(configPath_));
    if (!writeIniSettings(paths_.iniFile(), currentIniSettings()))
        qCWarning(appLog, "Could not save the settings in %s", qPrintable(paths_.iniFile()));
}

void Station::keyThroughRig(const RigSettings& settings, RigSettings::Keying keying) {
    rigSettings_ = settings;
    switch (keying) {
    case RigSettings::Keying::Cat:
        keying_->selectRig(rigSettings_.catTarget());
        break;
    case RigSettings::Keying::Cm108:
        keying_->selectRig(rigSettings_.cm108Target());
        break;
    case RigSettings::Keying::None:
        break;
    }
}

void Station::chooseSerialDevice(const QString& path) {
    chosenSerialDevice_ = path;
    keying_->selectSerialDevice(path);
}

QStringList Station::bankNames() const {
    QStringList names{BanksIni::firstName()};
    for (const BanksIni::Bank& bank : banks_.banks)
        names << bank.name;
    return names;
}

QString Station::bankFolder(int bank) const {
    return bank == 0 ? paths_.dir()
                     : paths_.banksDir() + banks_.banks.at(bank - 1).folder + QLatin1Char('/');
}

bool Station::chooseBank(const QString& name) {
    const QStringList names = bankNames();
    int bank = 0;
    while (bank < names.size() && names[bank].compare(name, Qt::CaseInsensitive) != 0)
        ++bank;
    if (bank == names.size())
        return false;
    if (bank == chosenBank_)
        return true;
    // The message that runs, is paused or is imported belongs to the bank chosen; a switch
    // would leave PLAY, the file recorded or the import in the other.
    if (state_.busy() || state_.phase() != KeyerPhase::Idle || import_) {
        emit bankRefused(
            tr("The bank stays %1 while a message plays, is paused, records or is imported")
                .arg(chosenBank()));
        return false;
    }
    switchBank(bank);
    emit banksChanged();
    emit bankChosen(chosenBank());
    return true;
}

QString Station::addBank(const QString& asked) {
    const QString name = BanksIni::cleanName(asked);
    if (name.isEmpty())
        return tr("A bank needs a name");
    if (bankNames().contains(name, Qt::CaseInsensitive))
        return tr("There is a bank named %1 already").arg(name);
    // Names that differ only in what a folder name cannot hold ("S&P", "S/P") get folders apart.
    const QString base = BanksIni::folderFor(name);
    QString folder = base;
    const auto taken = [this](const QString& candidate) {
        return std::any_of(banks_.banks.begin(), banks_.banks.end(),
                           [&](const BanksIni::Bank& bank) {
                               return bank.folder.compare(candidate, Qt::CaseInsensitive) == 0;
                           });
    };
    for (int n = 2; taken(folder); ++n)
        folder = base + QLatin1Char('_') + QString::number(n);
    banks_.banks << BanksIni::Bank{name, folder, {}};
    emit banksChanged();
    chooseBank(name);
    return {};
}

void Station::switchBank(int bank) {
    keyer_->saveNote();
    if (chosenBank_ == 0) {
        firstBank_ = memories_;
    } else {
        auto& notes = banks_.banks[chosenBank_ - 1].notes;
        for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
            notes.at(slot - 1) = MemorySlots::toWindow(memories_.note(slot));
    }
    const QString folder = bankFolder(bank);
    if (bank == 0) {
        memories_ = firstBank_;
    } else {
        MemorySlots chosen;
        for (int slot = 1; slot <= MemorySlots::kSlots; ++slot) {
            chosen.setNote(slot, MemorySlots::toStored(banks_.banks[bank - 1].notes.at(slot - 1)));
            chosen.setPath(slot, folder + MemorySlots::fileName(slot));
        }
        memories_ = chosen;
        // A recording opens its file there; a failure to make the folder shows when it does.
        QDir().mkpath(folder);
    }
    if (slotWatcher_) {
        if (chosenBank_ != 0)
            slotWatcher_->removePath(bankFolder(chosenBank_));
        if (bank != 0)
            slotWatcher_->addPath(folder);
    }
    chosenBank_ = bank;
    banks_.chosen = chosenBank();
    keyer_->showMemories(folder);
    readSlotLengths();
}

void Station::readSlotLengths() {
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        slotLengths_.at(slot - 1) = messageLength(memories_.path(slot));
    emit slotLengthsRead();
}

MessageImport* Station::importMessage(const QString& source) {
    // A running recording or playback holds the slot's file.
    if (state_.busy() || import_)
        return nullptr;
    importSlot_ = state_.selectedMemory();
    import_ = std::make_unique<MessageImport>(source, memories_.path(importSlot_));
    // Queued: the import is deleted there, which must not happen inside its own signal.
    connect(import_.get(), &MessageImport::finished, this, &Station::finishImport,
            Qt::QueuedConnection);
    return import_.get();
}

void Station::finishImport() {
    if (!import_ || !import_->done() || state_.busy())
        return;
    const std::unique_ptr<MessageImport> import = std::move(import_);
    emit importFinished();
    if (import->complete(importSlot_, dialogs_, keyer_->trimMargin(), keyer_->levelTarget()))
        keyer_->chooseMessageFile(import->target());
}
