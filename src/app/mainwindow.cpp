#include "app/mainwindow.h"

#include "app/bankmenu.h"
#include "app/console.h"
#include "app/filemenu.h"
#include "app/launchers.h"
#include "app/look.h"
#include "app/microphonemenu.h"
#include "app/monitormenu.h"
#include "app/outputmenu.h"
#include "app/qtdialogs.h"
#include "app/station.h"
#include "app/transmitpanel.h"
#include "app/unixsignalbridge.h"
#include "audio/soundcarddialog.h"
#include "keyer/keyer.h"
#include "keyer/notebox.h"
#include "support/regularfile.h"
#include "tx/keyingline.h"

#include <array>
#include <csignal>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTextEdit>

namespace {

// The existence probe for the help file: a regular file that opens for reading, two attempts.
constexpr int kProbeAttempts = 2;

QString probe(const QString& path) {
    for (int attempt = 0; attempt < kProbeAttempts; ++attempt) {
        if (readRegularFile(path, 0).status == FileRead::Status::Read)
            return path;
    }
    return {};
}

} // namespace

MainWindow::MainWindow(const Platform& platform, QWidget* parent)
    : QMainWindow(parent),
      ownDialogs_(platform.dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      station_(new Station(platform, platform.dialogs ? *platform.dialogs : *ownDialogs_, this)),
      state_(station_->keyerState()) {
    setObjectName(QStringLiteral("Tavrin"));
    setWindowTitle(QStringLiteral("Tavrin"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui_.setupUi(this);
    noteBox_ = new NoteBox(*ui_.noteEditor, station_->memories(), this);
    station_->keyer().attachNoteBox(noteBox_);
    signalBridge_ = new UnixSignalBridge({SIGINT, SIGTERM, SIGHUP}, this);
    createSoundCardDialog();
    wire();
    qApp->installEventFilter(this);
    setFixedSize(sizeHint());
    // The status line's text changes several times a second while a message plays or records.
    // With its size fixed, each change repaints the line alone instead of laying out the whole
    // window again (and measuring every caption in it).
    layout()->activate();
    statusBar()->layout()->setGeometry(statusBar()->rect());
    ui_.statusLine->setFixedSize(ui_.statusLine->size());
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
    start();
    console_->showConsole();
    started_ = true;
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    // The station's keyer refers to the note box, a child of this window: the station goes
    // first. What its parts say as they go reaches neither the window nor its controls, which
    // would ask the station about itself half gone.
    QList<QObject*> listeners = findChildren<QObject*>();
    listeners << this;
    QList<QObject*> parts = station_->findChildren<QObject*>();
    parts << station_;
    for (QObject* part : parts)
        for (QObject* listener : listeners)
            QObject::disconnect(part, nullptr, listener, nullptr);
    delete station_;
}

bool MainWindow::startAbandoned() const {
    return station_->startAbandoned();
}

void MainWindow::wire() {
    outputMenu_ = new OutputMenu(*station_, ui_, *this);
    new TransmitPanel(*station_, ui_, *this);
    wireKeyer();
    microphoneMenu_ = new MicrophoneMenu(*station_, ui_, *this);
    monitorMenu_ = new MonitorMenu(*station_, ui_, *this);
    auto* bankMenu =
        new BankMenu(*station_, *ui_.bankButton, *ui_.bankMenu, *ui_.newBankItem, *this);
    fileMenu_ = new FileMenu(*station_, ui_, *this);
    console_ = new Console(*station_, ui_, *monitorMenu_, *this);

    connect(microphoneMenu_, &MicrophoneMenu::told, console_, &Console::showIdleStatus);
    connect(monitorMenu_, &MonitorMenu::told, console_, &Console::showIdleStatus);
    connect(monitorMenu_, &MonitorMenu::failed, console_, &Console::showMonitorFailure);
    connect(bankMenu, &BankMenu::told, console_, &Console::showIdleStatus);
    connect(bankMenu, &BankMenu::refused, console_, &Console::showNotice);
    connect(fileMenu_, &FileMenu::told, console_, &Console::showIdleStatus);
    connect(fileMenu_, &FileMenu::templatesChanged, console_, [this] {
        console_->showMemoryButtons();
        console_->scheduleConsole();
    });
    connect(station_, &Station::quietFailure, console_, &Console::showQuietFailure);
    KeyingLine& line = station_->keyingLine();
    connect(&line, &KeyingLine::operatorPttPressed, console_, &Console::yieldToOperator);
    connect(&line, &KeyingLine::operatorPttUnwatched, console_, &Console::showIdleStatus);
    connect(signalBridge_, &UnixSignalBridge::signalReceived, this, &MainWindow::terminationSignal);

    connect(ui_.exitItem, &QAction::triggered, this, &MainWindow::quit);
    connect(ui_.stayOnTopOffItem, &QAction::triggered, station_,
            [this] { station_->setStayOnTop(false); });
    connect(ui_.stayOnTopOnItem, &QAction::triggered, station_,
            [this] { station_->setStayOnTop(true); });
    connect(station_, &Station::stayOnTopChanged, this, &MainWindow::setStayOnTop);
    connect(ui_.speakAloudItem, &QAction::toggled, station_, &Station::setSpeakAloud);
    connect(ui_.aboutItem, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui_.mixerButton, &QPushButton::clicked, this, &MainWindow::openMixer);
    connect(ui_.helpItem, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui_.keyboardItem, &QAction::triggered, console_, &Console::showKeyboard);
}

void MainWindow::createSoundCardDialog() {
    Keyer& keyer = station_->keyer();
    soundCard_ = new SoundCardDialog(
        *station_->platform().wave, station_->input(), station_->output(),
        station_->monitorOutput(), station_->audioDevices(),
        [this, &keyer] {
            return state_.busy() || keyer.deviceInUse() || keyer.monitor().deviceInUse();
        },
        this);
}

void MainWindow::wireKeyer() {
    Keyer* keyer = &station_->keyer();
    connect(ui_.recordButton, &QPushButton::clicked, keyer, &Keyer::record);
    connect(ui_.playButton, &QPushButton::clicked, keyer, &Keyer::play);
    connect(ui_.stopButton, &QPushButton::clicked, keyer, &Keyer::stop);
    connect(ui_.resetButton, &QPushButton::clicked, keyer, &Keyer::reset);
    connect(ui_.loopButton, &QPushButton::clicked, keyer, &Keyer::toggleLoop);
    for (QAction* delay : ui_.loopDelayItems)
        connect(delay, &QAction::triggered, keyer,
                [keyer, delay] { keyer->setLoopDelay(delay->data().toInt()); });
    connect(&state_, &KeyerState::loopDelayChanged, this,
            [this](std::int32_t tenths) { tickByData(ui_.loopDelayItems, tenths); });
    tickByData(ui_.loopDelayItems, state_.loopDelay());
    connect(ui_.inputCardItem, &QAction::triggered, this, &MainWindow::chooseInputCard);
    connect(ui_.outputCardItem, &QAction::triggered, this, &MainWindow::chooseOutputCard);
    connect(ui_.monitorCardItem, &QAction::triggered, this,
            [this] { showSoundCards(SoundCard::Monitor); });
    connect(soundCard_, &SoundCardDialog::shownChanged, keyer, &Keyer::setSoundCardDialogShown);
}

void MainWindow::chooseInputCard() {
    showSoundCards(SoundCard::Input);
}

void MainWindow::chooseOutputCard() {
    showSoundCards(SoundCard::Output);
}

void MainWindow::showSoundCards(SoundCard mode) {
    // A message running lets its device go at once, before the dialog may select another.
    if (state_.busy())
        station_->keyer().stop();
    soundCard_->showFor(mode);
}

void MainWindow::start() {
    helpPath_ = probe(station_->paths().helpFile());
    station_->start();
    ui_.speakAloudItem->setChecked(station_->speakAloud());
    microphoneMenu_->show();
    monitorMenu_->show();
    outputMenu_->show();
}

void MainWindow::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    fileMenu_->endImportProgress();
    station_->shutDown();
    // Ends the main loop once the running handler has returned; the sound card dialog may keep
    // another window open, so the last-window rule is not enough.
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    shutdown();
    event->accept();
}

void MainWindow::quit() {
    close();
}

void MainWindow::setStayOnTop(bool on) {
    tickByData(std::array{ui_.stayOnTopOffItem, ui_.stayOnTopOnItem}, on);
    // Changing the flag hides a shown window; it is shown again with the new style.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown)
        show();
}

void MainWindow::showAbout() {
    station_->dialogs().showMessage(tr("Tavrin voice keyer for amateur radio stations\n") +
                                        QString(19, QLatin1Char(' ')) + tr("Version 1.23"),
                                    tr("About Tavrin"));
}

void MainWindow::openMixer() {
    launchMixers(*station_->platform().launcher, station_->dialogs());
}

void MainWindow::showHelp() {
    const Platform& platform = station_->platform();
    const QString manual =
        platform.programDir.isEmpty() ? QString() : InstallPaths::manualFile(platform.programDir);
    openHelp(*platform.launcher, station_->dialogs(), helpPath_, manual);
}

void MainWindow::keyReleased(int key) {
    if (key == Qt::Key_Escape)
        station_->keyer().stopEverything();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The operator's hands are on Tavrin again: its boxes are theirs.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) &&
        watched->isWidgetType())
        station_->dialogs().operatorActs();
    // Enter presses the focused button, as Space does.
    if (event->type() == QEvent::KeyPress) {
        auto* button = qobject_cast<QPushButton*>(watched);
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (button && button->window() == this && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
            button->click();
            return true;
        }
    }
    // Escape released anywhere in this window resets, whichever control has the focus.
    if (event->type() == QEvent::KeyRelease) {
        auto* widget = qobject_cast<QWidget*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        if (widget && widget->window() == this && key->key() == Qt::Key_Escape &&
            !key->isAutoRepeat()) {
            keyReleased(key->key());
            key->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::terminationSignal() {
    if (started_) {
        // A kill or a closed terminal goes out the way the close box does.
        close();
        return;
    }
    // Only a start-up message box runs the event loop this early. The settings are half
    // applied, so nothing is saved, and the exit also ends every later start-up box at once.
    station_->abandonStart();
    shutDown_ = true;
    QCoreApplication::exit(0);
}
