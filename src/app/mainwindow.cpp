#include "app/mainwindow.h"

#include "app/launchers.h"
#include "app/look.h"
#include "app/qtdialogs.h"
#include "audio/wavein.h"
#include "audio/waveout.h"
#include "config/openwave.h"
#include "keyer/keyer.h"
#include "support/regularfile.h"
#include "tx/emergencyunkey.h"

#include "tx/keyingline.h"
#include <array>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QProgressDialog>
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
    : QMainWindow(parent), platform_(platform),
      ownDialogs_(platform.dialogs ? nullptr : std::make_unique<QtDialogs>(this)),
      dialogs_(platform.dialogs ? *platform.dialogs : *ownDialogs_,
               [this](const QString& text) { showQuietFailure(text); }),
      paths_(platform.folder.isEmpty() ? InstallPaths(platform.home)
                                       : InstallPaths::inFolder(platform.folder)) {
    setObjectName(QStringLiteral("Tavrin"));
    setWindowTitle(QStringLiteral("Tavrin"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    ui_.setupUi(this);
    state_.setParent(this);
    state_.setObjectName(QStringLiteral("KeyerState"));
    createTransmitter();
    createKeyer();
    wire();
    wireConsole();
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
    readSlotLengths();
    showConsole();
    started_ = true;
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    // The keyer refers to the keying line, the engines and the state: it goes first.
    delete keyer_;
}

void MainWindow::wire() {
    wireIndicators();
    wireTransmitter();
    wireKeyer();
    wireBanks();

    connect(ui_.exitItem, &QAction::triggered, this, &MainWindow::quit);
    connect(ui_.stayOnTopOffItem, &QAction::triggered, this, [this] { setStayOnTop(false); });
    connect(ui_.stayOnTopOnItem, &QAction::triggered, this, [this] { setStayOnTop(true); });
    connect(ui_.aboutItem, &QAction::triggered, this, &MainWindow::showAbout);
    connect(ui_.mixerButton, &QPushButton::clicked, this, &MainWindow::openMixer);
    connect(ui_.helpItem, &QAction::triggered, this, &MainWindow::showHelp);
    connect(ui_.keyboardItem, &QAction::triggered, this, &MainWindow::showKeyboard);
    connect(ui_.openMessageItem, &QAction::triggered, this, &MainWindow::openMessage);
    connect(ui_.saveMessageAsItem, &QAction::triggered, this, &MainWindow::saveMessageAs);
    connect(ui_.importMessageItem, &QAction::triggered, this, &MainWindow::importMessage);
    connect(ui_.templateItem, &QAction::triggered, this, &MainWindow::editTemplate);
    connect(ui_.phrasesItem, &QAction::triggered, this, &MainWindow::showPhrases);
    for (auto ended : {&KeyerState::playActiveChanged, &KeyerState::recordActiveChanged})
        connect(&state_, ended, this, &MainWindow::finishImport, Qt::QueuedConnection);
}

void MainWindow::wireIndicators() {
    const auto redWhen = [](QWidget* caption) {
        return [caption](bool on) { look::setTextColour(caption, on ? look::kRed : look::kBlue); };
    };
    connect(&state_, &KeyerState::recordActiveChanged, this, redWhen(ui_.recordButton));
    connect(&state_, &KeyerState::playActiveChanged, this, redWhen(ui_.playButton));
    connect(&state_, &KeyerState::loopActiveChanged, this, redWhen(ui_.loopButton));
    connect(&state_, &KeyerState::keyerIdleChanged, this, redWhen(ui_.resetButton));
    connect(&state_, &KeyerState::keyerStoppedChanged, this, redWhen(ui_.stopButton));
    connect(&state_, &KeyerState::highlightedMemoryChanged, this, &MainWindow::showMemoryButtons);
}

void MainWindow::start() {
    helpPath_ = probe(paths_.helpFile());
    readConfiguration();
    // The selected slot's file is the one PLAY reads, whether it was restored or is the default.
    keyer_->chooseMessageFile(memories_.path(state_.selectedMemory()));
}

void MainWindow::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    // A message being imported is abandoned: the old one stays.
    import_.reset();
    importProgress_.reset();
    // Stops what runs, unkeys (TUNE too), and refuses any start from now on.
    keyer_->shutDown();
    keyer_->saveNote();
    writeConfiguration();
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
    stayOnTop_ = on;
    // Changing the flag hides a shown window; it is shown again with the new style.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown)
        show();
}

void MainWindow::showAbout() {
    dialogs_.showMessage(tr("Tavrin voice keyer for amateur radio stations\n") +
                             QString(19, QLatin1Char(' ')) + tr("Version 1.23"),
                         tr("About Tavrin"));
}

void MainWindow::openMixer() {
    launchMixers(*platform_.launcher, dialogs_);
}

void MainWindow::showHelp() {
    const QString manual =
        platform_.programDir.isEmpty() ? QString() : InstallPaths::manualFile(platform_.programDir);
    openHelp(*platform_.launcher, dialogs_, helpPath_, manual);
}

void MainWindow::keyReleased(int key) {
    if (key == Qt::Key_Escape)
        keyer_->stopEverything();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // The operator's hands are on Tavrin again: its boxes are theirs.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress) &&
        watched->isWidgetType())
        dialogs_.operatorActs();
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
