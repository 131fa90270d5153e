#pragma once

#include <QAction>
#include <QCoreApplication>
#include <QString>
#include <QVariant>

#include <array>
#include <chrono>

class QActionGroup;
class QLabel;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QTextEdit;
class QWidget;

// The keying port items' data for VOX and for a rig keyed through Hamlib.
inline const QString kVoxLine = QStringLiteral("NONE");
inline const QString kCatLine = QStringLiteral("CAT");
inline const QString kCm108Line = QStringLiteral("CM108");

// Ticks the choice whose data is value and no other; none when no choice carries it (a setting
// made elsewhere, which no item offers).
template <typename Choices> void tickByData(const Choices& choices, const QVariant& value) {
    for (QAction* choice : choices)
        choice->setChecked(choice->data() == value);
}

// A message's length in seconds, to a tenth, as captions and the status line give it.
QString secondsCaption(std::chrono::milliseconds length);

// Every control and menu item of the main window, named as the window names them
// (each also carries that name as its objectName).
struct MainWindowUi {
    Q_DECLARE_TR_FUNCTIONS(MainWindowUi)

public:
    QWidget* alarmStrip = nullptr;
    QWidget* notePanel = nullptr;
    QTextEdit* noteEditor = nullptr;
    QProgressBar* progressBar = nullptr;
    QWidget* transportPanel = nullptr;
    QPushButton* resetButton = nullptr;
    QPushButton* recordButton = nullptr;
    QPushButton* playButton = nullptr;
    QPushButton* stopButton = nullptr;
    QPushButton* loopButton = nullptr;
    QPushButton* tuneButton = nullptr;
    QWidget* transmitPanel = nullptr;
    QPushButton* mixerButton = nullptr;
    QLabel* txEnableCaption = nullptr;
    QPushButton* txEnableButton = nullptr;
    QLabel* micCaption = nullptr;
    QPushButton* micButton = nullptr;
    QLabel* rxTxCaption = nullptr;
    QLabel* rxTxIndicator = nullptr;
    QWidget* memoryPanel = nullptr;
    QLabel* memoryCaption = nullptr;
    std::array<QPushButton*, 12> memoryButtons{}; // Mem1Btn … Mem12Btn
    // Beside Label3: the chosen bank's name; it opens the Bank menu, whose bank items the
    // window lists before its New Bank command.
    QPushButton* bankButton = nullptr;
    QMenu* bankMenu = nullptr;
    QAction* newBankItem = nullptr;
    // Below the client area: what runs, in words, and what was last announced.
    QLabel* statusLine = nullptr;

    // File
    QAction* saveMessageAsItem = nullptr;
    QAction* openMessageItem = nullptr;
    QAction* importMessageItem = nullptr;
    QAction* templateItem = nullptr;
    QAction* phrasesItem = nullptr;
    QAction* exitItem = nullptr;
    // Options
    QAction* inputCardItem = nullptr;
    QAction* outputCardItem = nullptr;
    QAction* monitorCardItem = nullptr;
    // Options > Monitor: Off, On (one group); the volumes, each action's data its dB (one
    // group); then the command that previews the selected memory.
    std::array<QAction*, 2> monitorItems{};
    std::array<QAction*, 5> monitorVolumeItems{};
    QAction* previewItem = nullptr;
    QAction* stayOnTopOffItem = nullptr;
    QAction* stayOnTopOnItem = nullptr;
    QAction* speakAloudItem = nullptr;
    // Delay > Loop Delay, in menu order
    std::array<QAction*, 19> loopDelayItems{};
    // Microphone > Gain: UnityGain, N20dB, N30dB, N40dB
    std::array<QAction*, 4> gainItems{};
    // Microphone > Trim Silence: Off, then the margins kept; each action's data is its
    // margin in ms, -1 for Off. One group, so one is ticked.
    std::array<QAction*, 5> trimItems{};
    // Microphone > Level: Off, Peak, Loudness, each action's data its LevelMode, one
    // ticked; then the command that levels the selected memory.
    std::array<QAction*, 3> levelItems{};
    QAction* levelNowItem = nullptr;
    // Puts back the selected memory's message as recorded, before trimming and levelling.
    QAction* undoTrimItem = nullptr;
    // Output: the keying port items, one group whose items' data name the line (kVoxLine and
    // so on); the USB serial ports listed when the menu opens join it.
    QActionGroup* keyingPortGroup = nullptr;
    QAction* lpt1Item = nullptr;
    QAction* lpt2Item = nullptr;
    std::array<QAction*, 6> comItems{}; // COM1 … COM6
    QAction* noPortItem = nullptr;
    QAction* voxItem = nullptr;
    QAction* catItem = nullptr;
    QAction* cm108Item = nullptr;
    QAction* normalItem = nullptr;
    QAction* invertItem = nullptr;
    QAction* pttLeadItem = nullptr;
    QAction* pttTailItem = nullptr;
    // Output > Operator's PTT: Off, CTS, DSR, Rig (CAT); each action's data is its
    // OperatorPtt. One group.
    std::array<QAction*, 4> operatorPttItems{};
    // The Output menu; the USB serial ports present are listed in it before VOX1.
    QMenu* outputMenu = nullptr;
    QMenu* microphoneMenu = nullptr;
    // ID
    QAction* idOffItem = nullptr;
    QAction* idOnItem = nullptr;
    QAction* idSetItem = nullptr;
    // Help
    QAction* helpItem = nullptr;
    QAction* keyboardItem = nullptr;
    QAction* aboutItem = nullptr;

    // Builds the controls and the menu bar into the window, in their initial state.
    void setupUi(QMainWindow* window);
};
