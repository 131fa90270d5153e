#include "app/mainwindowui.h"

#include "app/look.h"
#include "app/meterbar.h"
#include "keyer/level.h"
#include "keyer/menutables.h"
#include "keyer/trim.h"
#include "tx/keyingline.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTextEdit>

#include <cmath>

namespace {

constexpr QSize kClientSize{338, 387};
constexpr int kCaptionPixels = 13;
constexpr int kMenuPixels = 11;
constexpr int kButtonWidth = 50;
constexpr int kButtonGap = 4;

template <typename W> W* named(W* widget, const char* name) {
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QWidget* panel(QWidget* parent, const char* name, const QRect& geometry, const QColor& colour) {
    auto* p = named(new QWidget(parent), name);
    p->setGeometry(geometry);
    look::setFillColour(p, colour);
    return p;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption,
                    const QRect& geometry, const QColor& colour) {
    auto* b = named(new QPushButton(caption, parent), name);
    b->setGeometry(geometry);
    look::setTextColour(b, colour);
    return b;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, const QRect& geometry) {
    auto* l = named(new QLabel(caption, parent), name);
    l->setGeometry(geometry);
    l->setAlignment(Qt::AlignCenter);
    look::setTextColour(l, look::kYellow);
    return l;
}

// The button at index i of a row of equal buttons.
QRect rowSlot(int i, int top, int height) {
    return {kButtonGap + i * (kButtonWidth + kButtonGap), top, kButtonWidth, height};
}

constexpr double kDecibelsPerDecade = 20; // of an amplitude

struct TrimChoice {
    const char* name;
    int ms; // -1: Off
};
constexpr std::array<TrimChoice, 5> kTrimChoices{
    {{"TrimOff", -1}, {"Trim50", 50}, {"Trim150", 150}, {"Trim300", 300}, {"Trim500", 500}}};

struct LevelChoice {
    const char* name;
    LevelMode mode;
};
constexpr std::array<LevelChoice, 3> kLevelChoices{{{"LevelOff", LevelMode::Off},
                                                    {"LevelPeak", LevelMode::Peak},
                                                    {"LevelLoudness", LevelMode::Loudness}}};

QAction* item(QMenu* menu, const char* name, const QString& caption, bool ticked = false) {
    auto* a = named(menu->addAction(caption), name);
    a->setCheckable(true);
    a->setChecked(ticked);
    return a;
}

QAction* command(QMenu* menu, const char* name, const QString& caption) {
    return named(menu->addAction(caption), name);
}

// One of a menu's two items that switch something off or on, in one group; data is on.
QAction* offOn(QMenu* menu, const char* name, const QString& caption, bool on, bool ticked) {
    auto* group = menu->findChild<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly);
    if (!group)
        group = new QActionGroup(menu);
    QAction* choice = group->addAction(item(menu, name, caption, ticked));
    choice->setData(on);
    return choice;
}

QMenu* submenu(QWidget* parent, const char* name, const QString& caption) {
    return named(new QMenu(caption, parent), name);
}

} // namespace

void MainWindowUi::setupUi(QMainWindow* window) {
    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientSize);
    look::setFillColour(client, look::kSilver);
    QFont font = client->font();
    font.setPixelSize(kCaptionPixels);
    font.setBold(true);
    client->setFont(font);
    window->setCentralWidget(client);

    alarmStrip = panel(client, "AlarmPanel", {5, 2, 328, 7}, look::kTeal);

    notePanel = panel(client, "BasePanel", {5, 12, 328, 140}, look::kNavy);
    noteEditor = named(new QTextEdit(notePanel), "MessageWindow");
    noteEditor->setGeometry(4, 4, 320, 132);
    noteEditor->setAcceptRichText(false);
    // A tab would be stored in the note; Tab moves on to the next control instead.
    noteEditor->setTabChangesFocus(true);
    noteEditor->setPlaceholderText(tr("Type in saved message"));
    noteEditor->setToolTip(tr("Type in saved message"));
    noteEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont regular = noteEditor->font();
    regular.setBold(false);
    noteEditor->setFont(regular);

    progressBar = named(new MeterBar(client), "PlayProgressBar");
    progressBar->setGeometry(5, 156, 327, 9);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    progressBar->setTextVisible(false);

    transportPanel = panel(client, "ControlPanel", {5, 169, 328, 42}, look::kNavy);
    constexpr int kTransportTop = 7;
    constexpr int kTransportHeight = 28;
    resetButton = button(transportPanel, "ResetBtn", tr("RST"),
                         rowSlot(0, kTransportTop, kTransportHeight), look::kRed);
    recordButton = button(transportPanel, "RecordBtn", tr("REC"),
                          rowSlot(1, kTransportTop, kTransportHeight), look::kBlue);
    playButton = button(transportPanel, "PlayBtn", tr("PLAY"),
                        rowSlot(2, kTransportTop, kTransportHeight), look::kBlue);
    stopButton = button(transportPanel, "StopBtn", tr("STOP"),
                        rowSlot(3, kTransportTop, kTransportHeight), look::kRed);
    loopButton = button(transportPanel, "LoopBtn", tr("LOOP"),
                        rowSlot(4, kTransportTop, kTransportHeight), look::kBlue);
    tuneButton = button(transportPanel, "TuneBtn", tr("TUNE"),
                        rowSlot(5, kTransportTop, kTransportHeight), look::kBlue);

    transmitPanel = panel(client, "VolumePanel", {5, 215, 328, 66}, look::kNavy);
    mixerButton =
        button(transmitPanel, "VolumeBtn", tr("Set Volume"), {4, 26, 86, 30}, look::kBlue);
    QFont narrow = mixerButton->font();
    narrow.setPixelSize(kCaptionPixels - 1);
    mixerButton->setFont(narrow);
    txEnableCaption = label(transmitPanel, "Label1", tr("Tx Enable"), {92, 4, 74, 18});
    txEnableButton = button(transmitPanel, "TransmitBtn", tr("OFF"), {96, 26, 66, 30}, look::kBlue);
    micCaption = label(transmitPanel, "Label4", tr("Tx Mic."), {168, 4, 70, 18});
    micButton = button(transmitPanel, "MicBtn", tr("OFF"), {170, 26, 66, 30}, look::kBlue);
    rxTxCaption = label(transmitPanel, "Label6", tr("Rx/Tx "), {242, 4, 82, 18});
    rxTxIndicator = label(transmitPanel, "TxPanel", tr("Receive"), {242, 26, 82, 30});
    rxTxIndicator->setFrameShape(QFrame::Panel);
    rxTxIndicator->setFrameShadow(QFrame::Sunken);
    look::setFillColour(rxTxIndicator, look::kGreen);

    memoryPanel = panel(client, "MemoryPanel", {5, 285, 328, 97}, look::kNavy);
    memoryCaption = label(memoryPanel, "Label3", tr("Playback/Record Memories"), {4, 3, 206, 20});
    bankButton = button(memoryPanel, "BankBtn", QString(), {212, 3, 112, 20}, look::kBlack);
    bankButton->setFont(narrow);
    bankMenu = named(new QMenu(tr("Bank"), bankButton), "Bank");
    bankMenu->addSeparator();
    newBankItem = command(bankMenu, "NewBank", tr("New Bank…"));
    bankButton->setMenu(bankMenu);
    constexpr int kMemoryRowTop[] = {26, 62};
    constexpr int kMemoryHeight = 31;
    constexpr int kPerRow = 6;
    for (int i = 0; i < 12; ++i) {
        const QByteArray name = "Mem" + QByteArray::number(i + 1) + "Btn";
        memoryButtons[i] =
            button(memoryPanel, name.constData(), QString::number(i + 1),
                   rowSlot(i % kPerRow, kMemoryRowTop[i / kPerRow], kMemoryHeight), look::kBlack);
    }

    QStatusBar* status = window->statusBar();
    status->setSizeGripEnabled(false);
    statusLine = named(new QLabel(status), "StatusLine");
    // Never rich text: plain text spares the check on each of its updates.
    statusLine->setTextFormat(Qt::PlainText);
    status->addWidget(statusLine, 1);

    auto* bar = named(window->menuBar(), "MainMenu1");
    QFont menuFont = bar->font();
    menuFont.setPixelSize(kMenuPixels);
    bar->setFont(menuFont);

    QMenu* file = named(bar->addMenu(tr("File")), "File1");
    saveMessageAsItem = command(file, "SaveWave1", tr("Save Wave"));
    openMessageItem = command(file, "RetrieveWave1", tr("Open Wave"));
    importMessageItem = command(file, "ImportMessage1", tr("Import Message…"));
    templateItem = command(file, "Template1", tr("Template…"));
    phrasesItem = command(file, "Phrases", tr("Phrases…"));
    file->addSeparator();
    exitItem = command(file, "Exit1", tr("Exit"));

    QMenu* options = named(bar->addMenu(tr("Options")), "Options3");
    QMenu* soundCard = submenu(options, "SelectSoundCard", tr("SoundCard"));
    options->addMenu(soundCard);
    inputCardItem = command(soundCard, "InputSoundCard", tr("Select Input Sound Card"));
    outputCardItem = command(soundCard, "OutputSoundCard", tr("Select Output Sound Card"));
    monitorCardItem = command(soundCard, "MonitorSoundCard", tr("Select Monitor Sound Card"));
    QMenu* monitor = submenu(options, "MonitorMenu", tr("Monitor"));
    options->addMenu(monitor);
    options->setToolTipsVisible(true);
    monitor->menuAction()->setToolTip(
        tr("The operator's headphones on a sound card of their own: they hear what "
           "goes to the transmitter, and a memory previewed without keying"));
    monitorItems[0] = offOn(monitor, "MonitorOff", tr("Off"), false, true);
    monitorItems[1] = offOn(monitor, "MonitorOn", tr("On"), true, false);
    monitor->addSeparator();
    auto* volumes = new QActionGroup(monitor);
    constexpr int kVolumesDb[] = {0, -6, -12, -20, -30};
    for (std::size_t i = 0; i < monitorVolumeItems.size(); ++i) {
        const QByteArray name = "MonitorVolume" + QByteArray::number(-kVolumesDb[i]);
        monitorVolumeItems[i] =
            volumes->addAction(item(monitor, name.constData(),
                                    kVolumesDb[i] == 0 ? tr("Volume as Transmitted")
                                                       : tr("Volume %1 dB").arg(kVolumesDb[i]),
                                    i == 0));
        monitorVolumeItems[i]->setData(kVolumesDb[i]);
    }
    monitor->addSeparator();
    previewItem = command(monitor, "Preview", tr("Preview This Memory"));
    QMenu* stayOnTop = submenu(options, "StayOnTop1", tr("Stay On Top"));
    options->addMenu(stayOnTop);
    stayOnTopOffItem = offOn(stayOnTop, "Off2", tr("Off"), false, true);
    stayOnTopOnItem = offOn(stayOnTop, "On2", tr("On"), true, false);
    speakAloudItem = item(options, "SpeakAloud", tr("Speak Transmit State Aloud"));
    speakAloudItem->setToolTip(
        tr("Keying and the start and end of each message said through speech-dispatcher; quiet "
           "while a screen reader runs, which says them itself"));

    QMenu* delay = named(bar->addMenu(tr("Delay")), "Options2");
    QMenu* loopDelay = submenu(delay, "LoopDelay1", tr("Loop Delay"));
    delay->addMenu(loopDelay);
    auto* delays = new QActionGroup(loopDelay);
    for (std::size_t i = 0; i < kLoopDelays.size(); ++i) {
        loopDelayItems[i] = delays->addAction(
            item(loopDelay, kLoopDelays[i].name, loopDelayCaption(kLoopDelays[i].tenths), i == 0));
        loopDelayItems[i]->setData(kLoopDelays[i].tenths);
    }

    QMenu* microphone = named(bar->addMenu(tr("Microphone")), "Microphone1");
    QMenu* gain = submenu(microphone, "MicGain", tr("Gain"));
    microphone->addMenu(gain);
    // The captions undersell the gain: the samples are multiplied by the factor.
    gain->setToolTipsVisible(true);
    auto* gains = new QActionGroup(gain);
    for (std::size_t i = 0; i < kGains.size(); ++i) {
        gainItems[i] = gains->addAction(item(gain, kGains[i].name, tr(kGains[i].caption), i == 0));
        gainItems[i]->setData(kGains[i].code);
        gainItems[i]->setToolTip(
            tr("Samples ×%1: +%2 dB")
                .arg(kGains[i].factor)
                .arg(std::lround(kDecibelsPerDecade * std::log10(kGains[i].factor))));
    }
    QMenu* trim = submenu(microphone, "TrimSilence", tr("Trim Silence"));
    microphone->addMenu(trim);
    auto* margins = new QActionGroup(trim);
    for (std::size_t i = 0; i < kTrimChoices.size(); ++i) {
        const int ms = kTrimChoices[i].ms;
        trimItems[i] = margins->addAction(item(trim, kTrimChoices[i].name,
                                               ms < 0 ? tr("Off") : tr("Keep %1 ms").arg(ms),
                                               ms == kDefaultTrimMargin.count()));
        trimItems[i]->setData(ms);
    }
    microphone->setToolTipsVisible(true);
    trim->menuAction()->setToolTip(tr("Silence kept before the first sound and after "
                                      "the last when a recording or an import is stored"));
    QMenu* level = submenu(microphone, "Level", tr("Level"));
    microphone->addMenu(level);
    auto* targets = new QActionGroup(level);
    for (std::size_t i = 0; i < kLevelChoices.size(); ++i) {
        const LevelMode mode = kLevelChoices[i].mode;
        levelItems[i] = targets->addAction(item(
            level, kLevelChoices[i].name, LevelTarget{}.caption(mode), mode == LevelMode::Off));
        levelItems[i]->setData(QVariant::fromValue(mode));
    }
    level->addSeparator();
    levelNowItem = command(level, "LevelNow", tr("Level This Memory Now"));
    level->menuAction()->setToolTip(
        tr("What a recording or an import is scaled to once trimmed, so that every "
           "memory drives the transmitter alike"));
    undoTrimItem = command(microphone, "UndoTrim", tr("Undo Trim and Level"));
    microphoneMenu = microphone;

    QMenu* output = named(bar->addMenu(tr("Output")), "Options1");
    // Each item's data is the keying line's name for what it chooses. VOX is offered twice; the
    // second (NoComPort) is ticked with the first, outside the group.
    keyingPortGroup = new QActionGroup(output);
    const auto port = [this](QMenu* menu, const char* name, const QString& caption,
                             const QString& line) {
        QAction* choice = keyingPortGroup->addAction(item(menu, name, caption));
        choice->setData(line);
        return choice;
    };
    lpt1Item = port(output, "Printer1", tr("Pri Printer"), QStringLiteral("LPT1"));
    lpt2Item = port(output, "Printer2", tr("Sec Printer"), QStringLiteral("LPT2"));
    QMenu* serial = submenu(output, "Serial1", tr("Serial"));
    output->addMenu(serial);
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = "COM" + QByteArray::number(i + 1);
        comItems[i] =
            port(serial, name.constData(), QString::fromLatin1(name), QString::fromLatin1(name));
    }
    serial->addSeparator();
    noPortItem = item(serial, "NoComPort", QStringLiteral("VOX"));
    voxItem = port(output, "VOX1", QStringLiteral("VOX"), kVoxLine);
    catItem = port(output, "RadioCat", tr("Radio (CAT)…"), kCatLine);
    cm108Item = port(output, "Cm108Gpio", tr("CM108 GPIO…"), kCm108Line);
    output->addSeparator();
    QMenu* invert = submenu(output, "InvertXmit1", tr("Invert Xmit"));
    output->addMenu(invert);
    auto* polarities = new QActionGroup(invert);
    normalItem = polarities->addAction(item(invert, "Normal", tr("Normal")));
    normalItem->setData(KeyingLine::NormalPolarity);
    invertItem = polarities->addAction(item(invert, "Invert1", tr("Invert")));
    invertItem->setData(KeyingLine::InvertPolarity);
    pttLeadItem = command(output, "PttLead", tr("PTT Lead..."));
    pttTailItem = command(output, "PttTail", tr("PTT Tail..."));
    QMenu* operatorPtt = submenu(output, "OperatorPtt", tr("Operator's PTT"));
    output->addMenu(operatorPtt);
    output->setToolTipsVisible(true);
    operatorPtt->menuAction()->setToolTip(
        tr("A foot switch or hand PTT on the serial keying port's CTS or DSR, or "
           "the radio keyed in a loop's pause, stops a message, the loop and TUNE"));
    const struct {
        const char* name;
        QString caption;
        ::OperatorPtt source;
    } sources[] = {{"OperatorPttOff", tr("Off"), ::OperatorPtt::Off},
                   {"OperatorPttCts", QStringLiteral("CTS"), ::OperatorPtt::Cts},
                   {"OperatorPttDsr", QStringLiteral("DSR"), ::OperatorPtt::Dsr},
                   {"OperatorPttRig", tr("Rig (CAT)"), ::OperatorPtt::Rig}};
    auto* group = new QActionGroup(operatorPtt);
    for (std::size_t i = 0; i < operatorPttItems.size(); ++i) {
        operatorPttItems[i] =
            group->addAction(item(operatorPtt, sources[i].name, sources[i].caption,
                                  sources[i].source == ::OperatorPtt::Off));
        operatorPttItems[i]->setData(static_cast<int>(sources[i].source));
    }
    outputMenu = output;

    QMenu* id = named(bar->addMenu(tr("ID")), "ID1");
    QMenu* enable = submenu(id, "Enable", tr("Enable"));
    id->addMenu(enable);
    idOffItem = offOn(enable, "OFF1", tr("OFF"), false, true);
    idOnItem = offOn(enable, "ON1", tr("ON"), true, false);
    idSetItem = command(id, "Set1", tr("Set"));

    QMenu* help = named(bar->addMenu(tr("Help")), "Help1");
    helpItem = command(help, "HelpMenu1", tr("Help Menu"));
    keyboardItem = command(help, "Keyboard1", tr("Keyboard"));
    aboutItem = command(help, "About1", tr("About"));
}

QString secondsCaption(std::chrono::milliseconds length) {
    constexpr double kMsPerSecond = 1000.0;
    return QString::number(length.count() / kMsPerSecond, 'f', 1);
}
