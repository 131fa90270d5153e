#include "app/tavrinui.h"

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

void TavrinUi::setupUi(QMainWindow* window) {
    auto* client = new QWidget(window);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setFixedSize(kClientSize);
    look::setFillColour(client, look::kSilver);
    QFont font = client->font();
    font.setPixelSize(kCaptionPixels);
    font.setBold(true);
    client->setFont(font);
    window->setCentralWidget(client);

    AlarmPanel = panel(client, "AlarmPanel", {5, 2, 328, 7}, look::kTeal);

    BasePanel = panel(client, "BasePanel", {5, 12, 328, 140}, look::kNavy);
    MessageWindow = named(new QTextEdit(BasePanel), "MessageWindow");
    MessageWindow->setGeometry(4, 4, 320, 132);
    MessageWindow->setAcceptRichText(false);
    // A tab would be stored in the note; Tab moves on to the next control instead.
    MessageWindow->setTabChangesFocus(true);
    MessageWindow->setPlaceholderText(tr("Type in saved message"));
    MessageWindow->setToolTip(tr("Type in saved message"));
    MessageWindow->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont regular = MessageWindow->font();
    regular.setBold(false);
    MessageWindow->setFont(regular);

    PlayProgressBar = named(new MeterBar(client), "PlayProgressBar");
    PlayProgressBar->setGeometry(5, 156, 327, 9);
    PlayProgressBar->setRange(0, 100);
    PlayProgressBar->setValue(0);
    PlayProgressBar->setTextVisible(false);

    ControlPanel = panel(client, "ControlPanel", {5, 169, 328, 42}, look::kNavy);
    constexpr int kTransportTop = 7;
    constexpr int kTransportHeight = 28;
    ResetBtn = button(ControlPanel, "ResetBtn", tr("RST"),
                      rowSlot(0, kTransportTop, kTransportHeight), look::kRed);
    RecordBtn = button(ControlPanel, "RecordBtn", tr("REC"),
                       rowSlot(1, kTransportTop, kTransportHeight), look::kBlue);
    PlayBtn = button(ControlPanel, "PlayBtn", tr("PLAY"),
                     rowSlot(2, kTransportTop, kTransportHeight), look::kBlue);
    StopBtn = button(ControlPanel, "StopBtn", tr("STOP"),
                     rowSlot(3, kTransportTop, kTransportHeight), look::kRed);
    LoopBtn = button(ControlPanel, "LoopBtn", tr("LOOP"),
                     rowSlot(4, kTransportTop, kTransportHeight), look::kBlue);
    TuneBtn = button(ControlPanel, "TuneBtn", tr("TUNE"),
                     rowSlot(5, kTransportTop, kTransportHeight), look::kBlue);

    VolumePanel = panel(client, "VolumePanel", {5, 215, 328, 66}, look::kNavy);
    VolumeBtn = button(VolumePanel, "VolumeBtn", tr("Set Volume"), {4, 26, 86, 30}, look::kBlue);
    QFont narrow = VolumeBtn->font();
    narrow.setPixelSize(kCaptionPixels - 1);
    VolumeBtn->setFont(narrow);
    Label1 = label(VolumePanel, "Label1", tr("Tx Enable"), {92, 4, 74, 18});
    TransmitBtn = button(VolumePanel, "TransmitBtn", tr("OFF"), {96, 26, 66, 30}, look::kBlue);
    Label4 = label(VolumePanel, "Label4", tr("Tx Mic."), {168, 4, 70, 18});
    MicBtn = button(VolumePanel, "MicBtn", tr("OFF"), {170, 26, 66, 30}, look::kBlue);
    Label6 = label(VolumePanel, "Label6", tr("Rx/Tx "), {242, 4, 82, 18});
    TxPanel = label(VolumePanel, "TxPanel", tr("Receive"), {242, 26, 82, 30});
    TxPanel->setFrameShape(QFrame::Panel);
    TxPanel->setFrameShadow(QFrame::Sunken);
    look::setFillColour(TxPanel, look::kGreen);

    MemoryPanel = panel(client, "MemoryPanel", {5, 285, 328, 97}, look::kNavy);
    Label3 = label(MemoryPanel, "Label3", tr("Playback/Record Memories"), {4, 3, 320, 20});
    constexpr int kMemoryRowTop[] = {26, 62};
    constexpr int kMemoryHeight = 31;
    constexpr int kPerRow = 6;
    for (int i = 0; i < 12; ++i) {
        const QByteArray name = "Mem" + QByteArray::number(i + 1) + "Btn";
        MemBtn[i] =
            button(MemoryPanel, name.constData(), QString::number(i + 1),
                   rowSlot(i % kPerRow, kMemoryRowTop[i / kPerRow], kMemoryHeight), look::kBlack);
    }

    QStatusBar* status = window->statusBar();
    status->setSizeGripEnabled(false);
    StatusLine = named(new QLabel(status), "StatusLine");
    // Never rich text: plain text spares the check on each of its updates.
    StatusLine->setTextFormat(Qt::PlainText);
    status->addWidget(StatusLine, 1);

    auto* bar = named(window->menuBar(), "MainMenu1");
    QFont menuFont = bar->font();
    menuFont.setPixelSize(kMenuPixels);
    bar->setFont(menuFont);

    QMenu* file = named(bar->addMenu(tr("File")), "File1");
    SaveWave1 = command(file, "SaveWave1", tr("Save Wave"));
    RetrieveWave1 = command(file, "RetrieveWave1", tr("Open Wave"));
    ImportMessage1 = command(file, "ImportMessage1", tr("Import Message…"));
    Phrases = command(file, "Phrases", tr("Phrases…"));
    file->addSeparator();
    Exit1 = command(file, "Exit1", tr("Exit"));

    QMenu* options = named(bar->addMenu(tr("Options")), "Options3");
    QMenu* soundCard = submenu(options, "SelectSoundCard", tr("SoundCard"));
    options->addMenu(soundCard);
    InputSoundCard = command(soundCard, "InputSoundCard", tr("Select Input Sound Card"));
    OutputSoundCard = command(soundCard, "OutputSoundCard", tr("Select Output Sound Card"));
    MonitorSoundCard = command(soundCard, "MonitorSoundCard", tr("Select Monitor Sound Card"));
    QMenu* monitor = submenu(options, "MonitorMenu", tr("Monitor"));
    options->addMenu(monitor);
    options->setToolTipsVisible(true);
    monitor->menuAction()->setToolTip(
        tr("The operator's headphones on a sound card of their own: they hear what "
           "goes to the transmitter, and a memory previewed without keying"));
    Monitor[0] = offOn(monitor, "MonitorOff", tr("Off"), false, true);
    Monitor[1] = offOn(monitor, "MonitorOn", tr("On"), true, false);
    monitor->addSeparator();
    auto* volumes = new QActionGroup(monitor);
    constexpr int kVolumesDb[] = {0, -6, -12, -20, -30};
    for (std::size_t i = 0; i < MonitorVolume.size(); ++i) {
        const QByteArray name = "MonitorVolume" + QByteArray::number(-kVolumesDb[i]);
        MonitorVolume[i] =
            volumes->addAction(item(monitor, name.constData(),
                                    kVolumesDb[i] == 0 ? tr("Volume as Transmitted")
                                                       : tr("Volume %1 dB").arg(kVolumesDb[i]),
                                    i == 0));
        MonitorVolume[i]->setData(kVolumesDb[i]);
    }
    monitor->addSeparator();
    Preview = command(monitor, "Preview", tr("Preview This Memory"));
    QMenu* stayOnTop = submenu(options, "StayOnTop1", tr("Stay On Top"));
    options->addMenu(stayOnTop);
    Off2 = offOn(stayOnTop, "Off2", tr("Off"), false, true);
    On2 = offOn(stayOnTop, "On2", tr("On"), true, false);
    SpeakAloud = item(options, "SpeakAloud", tr("Speak Transmit State Aloud"));
    SpeakAloud->setToolTip(
        tr("Keying and the start and end of each message said through speech-dispatcher; quiet "
           "while a screen reader runs, which says them itself"));

    QMenu* delay = named(bar->addMenu(tr("Delay")), "Options2");
    QMenu* loopDelay = submenu(delay, "LoopDelay1", tr("Loop Delay"));
    delay->addMenu(loopDelay);
    auto* delays = new QActionGroup(loopDelay);
    for (std::size_t i = 0; i < kLoopDelays.size(); ++i) {
        LoopDelay[i] = delays->addAction(
            item(loopDelay, kLoopDelays[i].name, loopDelayCaption(kLoopDelays[i].tenths), i == 0));
        LoopDelay[i]->setData(kLoopDelays[i].tenths);
    }

    QMenu* microphone = named(bar->addMenu(tr("Microphone")), "Microphone1");
    QMenu* gain = submenu(microphone, "MicGain", tr("Gain"));
    microphone->addMenu(gain);
    // The captions undersell the gain: the samples are multiplied by the factor.
    gain->setToolTipsVisible(true);
    auto* gains = new QActionGroup(gain);
    for (std::size_t i = 0; i < kGains.size(); ++i) {
        Gain[i] = gains->addAction(item(gain, kGains[i].name, tr(kGains[i].caption), i == 0));
        Gain[i]->setData(kGains[i].code);
        Gain[i]->setToolTip(
            tr("Samples ×%1: +%2 dB")
                .arg(kGains[i].factor)
                .arg(std::lround(kDecibelsPerDecade * std::log10(kGains[i].factor))));
    }
    QMenu* trim = submenu(microphone, "TrimSilence", tr("Trim Silence"));
    microphone->addMenu(trim);
    auto* margins = new QActionGroup(trim);
    for (std::size_t i = 0; i < kTrimChoices.size(); ++i) {
        const int ms = kTrimChoices[i].ms;
        Trim[i] = margins->addAction(item(trim, kTrimChoices[i].name,
                                          ms < 0 ? tr("Off") : tr("Keep %1 ms").arg(ms),
                                          ms == kDefaultTrimMargin.count()));
        Trim[i]->setData(ms);
    }
    microphone->setToolTipsVisible(true);
    trim->menuAction()->setToolTip(tr("Silence kept before the first sound and after "
                                      "the last when a recording or an import is stored"));
    QMenu* level = submenu(microphone, "Level", tr("Level"));
    microphone->addMenu(level);
    auto* targets = new QActionGroup(level);
    for (std::size_t i = 0; i < kLevelChoices.size(); ++i) {
        const LevelMode mode = kLevelChoices[i].mode;
        Level[i] = targets->addAction(item(level, kLevelChoices[i].name,
                                           LevelTarget{}.caption(mode), mode == LevelMode::Off));
        Level[i]->setData(QVariant::fromValue(mode));
    }
    level->addSeparator();
    LevelNow = command(level, "LevelNow", tr("Level This Memory Now"));
    level->menuAction()->setToolTip(
        tr("What a recording or an import is scaled to once trimmed, so that every "
           "memory drives the transmitter alike"));
    UndoTrim = command(microphone, "UndoTrim", tr("Undo Trim and Level"));
    Microphone = microphone;

    QMenu* output = named(bar->addMenu(tr("Output")), "Options1");
    // Each item's data is the keying line's name for what it chooses. VOX is offered twice; the
    // second (NoComPort) is ticked with the first, outside the group.
    KeyingPort = new QActionGroup(output);
    const auto port = [this](QMenu* menu, const char* name, const QString& caption,
                             const QString& line) {
        QAction* choice = KeyingPort->addAction(item(menu, name, caption));
        choice->setData(line);
        return choice;
    };
    Printer1 = port(output, "Printer1", tr("Pri Printer"), QStringLiteral("LPT1"));
    Printer2 = port(output, "Printer2", tr("Sec Printer"), QStringLiteral("LPT2"));
    QMenu* serial = submenu(output, "Serial1", tr("Serial"));
    output->addMenu(serial);
    for (int i = 0; i < 6; ++i) {
        const QByteArray name = "COM" + QByteArray::number(i + 1);
        COM[i] =
            port(serial, name.constData(), QString::fromLatin1(name), QString::fromLatin1(name));
    }
    serial->addSeparator();
    NoComPort = item(serial, "NoComPort", QStringLiteral("VOX"));
    VOX1 = port(output, "VOX1", QStringLiteral("VOX"), kVoxLine);
    RadioCat = port(output, "RadioCat", tr("Radio (CAT)…"), kCatLine);
    Cm108Gpio = port(output, "Cm108Gpio", tr("CM108 GPIO…"), kCm108Line);
    output->addSeparator();
    QMenu* invert = submenu(output, "InvertXmit1", tr("Invert Xmit"));
    output->addMenu(invert);
    auto* polarities = new QActionGroup(invert);
    Normal = polarities->addAction(item(invert, "Normal", tr("Normal")));
    Normal->setData(KeyingLine::NormalPolarity);
    Invert1 = polarities->addAction(item(invert, "Invert1", tr("Invert")));
    Invert1->setData(KeyingLine::InvertPolarity);
    PttLead = command(output, "PttLead", tr("PTT Lead..."));
    PttTail = command(output, "PttTail", tr("PTT Tail..."));
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
    for (std::size_t i = 0; i < OperatorPtt.size(); ++i) {
        OperatorPtt[i] = group->addAction(item(operatorPtt, sources[i].name, sources[i].caption,
                                               sources[i].source == ::OperatorPtt::Off));
        OperatorPtt[i]->setData(static_cast<int>(sources[i].source));
    }
    Output = output;

    QMenu* id = named(bar->addMenu(tr("ID")), "ID1");
    QMenu* enable = submenu(id, "Enable", tr("Enable"));
    id->addMenu(enable);
    OFF1 = offOn(enable, "OFF1", tr("OFF"), false, true);
    ON1 = offOn(enable, "ON1", tr("ON"), true, false);
    Set1 = command(id, "Set1", tr("Set"));

    QMenu* help = named(bar->addMenu(tr("Help")), "Help1");
    HelpMenu1 = command(help, "HelpMenu1", tr("Help Menu"));
    Keyboard1 = command(help, "Keyboard1", tr("Keyboard"));
    About1 = command(help, "About1", tr("About"));
}
