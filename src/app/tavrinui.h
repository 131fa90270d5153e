#pragma once

#include <QAction>
#include <QCoreApplication>
#include <QString>
#include <QVariant>

#include <array>

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

// Every control and menu item of the main window, named as the window names them
// (each also carries that name as its objectName).
struct TavrinUi {
    Q_DECLARE_TR_FUNCTIONS(TavrinUi)

public:
    QWidget* AlarmPanel = nullptr;
    QWidget* BasePanel = nullptr;
    QTextEdit* MessageWindow = nullptr;
    QProgressBar* PlayProgressBar = nullptr;
    QWidget* ControlPanel = nullptr;
    QPushButton* ResetBtn = nullptr;
    QPushButton* RecordBtn = nullptr;
    QPushButton* PlayBtn = nullptr;
    QPushButton* StopBtn = nullptr;
    QPushButton* LoopBtn = nullptr;
    QPushButton* TuneBtn = nullptr;
    QWidget* VolumePanel = nullptr;
    QPushButton* VolumeBtn = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* TransmitBtn = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* MicBtn = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* TxPanel = nullptr;
    QWidget* MemoryPanel = nullptr;
    QLabel* Label3 = nullptr;
    std::array<QPushButton*, 12> MemBtn{}; // Mem1Btn … Mem12Btn
    // Below the client area: what runs, in words, and what was last announced.
    QLabel* StatusLine = nullptr;

    // File
    QAction* SaveWave1 = nullptr;
    QAction* RetrieveWave1 = nullptr;
    QAction* ImportMessage1 = nullptr;
    QAction* Phrases = nullptr;
    QAction* Exit1 = nullptr;
    // Options
    QAction* InputSoundCard = nullptr;
    QAction* OutputSoundCard = nullptr;
    QAction* MonitorSoundCard = nullptr;
    // Options > Monitor: Off, On (one group); the volumes, each action's data its dB (one
    // group); then the command that previews the selected memory.
    std::array<QAction*, 2> Monitor{};
    std::array<QAction*, 5> MonitorVolume{};
    QAction* Preview = nullptr;
    QAction* Off2 = nullptr;
    QAction* On2 = nullptr;
    QAction* SpeakAloud = nullptr;
    // Delay > Loop Delay, in menu order
    std::array<QAction*, 19> LoopDelay{};
    // Microphone > Gain: UnityGain, N20dB, N30dB, N40dB
    std::array<QAction*, 4> Gain{};
    // Microphone > Trim Silence: Off, then the margins kept; each action's data is its margin in
    // ms, -1 for Off. One group, so one is ticked.
    std::array<QAction*, 5> Trim{};
    // Microphone > Level: Off, Peak, Loudness, each action's data its LevelMode, one ticked;
    // then the command that levels the selected memory.
    std::array<QAction*, 3> Level{};
    QAction* LevelNow = nullptr;
    // Puts back the selected memory's message as recorded, before trimming and levelling.
    QAction* UndoTrim = nullptr;
    // Output: the keying port items, one group whose items' data name the line (kVoxLine and
    // so on); the USB serial ports listed when the menu opens join it.
    QActionGroup* KeyingPort = nullptr;
    QAction* Printer1 = nullptr;
    QAction* Printer2 = nullptr;
    std::array<QAction*, 6> COM{}; // COM1 … COM6
    QAction* NoComPort = nullptr;
    QAction* VOX1 = nullptr;
    QAction* RadioCat = nullptr;
    QAction* Cm108Gpio = nullptr;
    QAction* Normal = nullptr;
    QAction* Invert1 = nullptr;
    QAction* PttLead = nullptr;
    QAction* PttTail = nullptr;
    // Output > Operator's PTT: Off, CTS, DSR, Rig (CAT); each action's data is its OperatorPtt.
    // One group.
    std::array<QAction*, 4> OperatorPtt{};
    // The Output menu; the USB serial ports present are listed in it before VOX1.
    QMenu* Output = nullptr;
    QMenu* Microphone = nullptr;
    // ID
    QAction* OFF1 = nullptr;
    QAction* ON1 = nullptr;
    QAction* Set1 = nullptr;
    // Help
    QAction* HelpMenu1 = nullptr;
    QAction* Keyboard1 = nullptr;
    QAction* About1 = nullptr;

    // Builds the controls and the menu bar into the window, in their initial state.
    void setupUi(QMainWindow* window);
};
