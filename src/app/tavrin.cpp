#include "app/tavrin.h"

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

TTavrin::TTavrin(const Platform& platform, QWidget* parent)
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
    ui_.StatusLine->setFixedSize(ui_.StatusLine->size());
    if (const QScreen* where = screen())
        move(where->availableGeometry().center() - rect().center());
    FormCreate();
    readSlotLengths();
    showConsole();
    started_ = true;
}

TTavrin::~TTavrin() {
    qApp->removeEventFilter(this);
    // The keyer refers to the keying line, the engines and the state: it goes first.
    delete keyer_;
}

void TTavrin::wire() {
    wireIndicators();
    wireTransmitter();
    wireKeyer();

    connect(ui_.Exit1, &QAction::triggered, this, &TTavrin::Exit1Click);
    connect(ui_.Off2, &QAction::triggered, this, &TTavrin::Off2Click);
    connect(ui_.On2, &QAction::triggered, this, &TTavrin::On2Click);
    connect(ui_.About1, &QAction::triggered, this, &TTavrin::About1Click);
    connect(ui_.VolumeBtn, &QPushButton::clicked, this, &TTavrin::VolumeBtnClick);
    connect(ui_.HelpMenu1, &QAction::triggered, this, &TTavrin::HelpMenu1Click);
    connect(ui_.Keyboard1, &QAction::triggered, this, &TTavrin::KeyboardClick);
    connect(ui_.RetrieveWave1, &QAction::triggered, this, &TTavrin::RetrieveWave1Click);
    connect(ui_.SaveWave1, &QAction::triggered, this, &TTavrin::SaveWave1Click);
    connect(ui_.ImportMessage1, &QAction::triggered, this, &TTavrin::ImportMessage1Click);
    connect(ui_.Phrases, &QAction::triggered, this, &TTavrin::PhrasesClick);
    for (auto ended : {&KeyerState::playActiveChanged, &KeyerState::recordActiveChanged})
        connect(&state_, ended, this, &TTavrin::finishImport, Qt::QueuedConnection);
}

void TTavrin::wireIndicators() {
    const auto redWhen = [](QWidget* caption) {
        return [caption](bool on) { look::setTextColour(caption, on ? look::kRed : look::kBlue); };
    };
    connect(&state_, &KeyerState::recordActiveChanged, this, redWhen(ui_.RecordBtn));
    connect(&state_, &KeyerState::playActiveChanged, this, redWhen(ui_.PlayBtn));
    connect(&state_, &KeyerState::loopActiveChanged, this, redWhen(ui_.LoopBtn));
    connect(&state_, &KeyerState::keyerIdleChanged, this, redWhen(ui_.ResetBtn));
    connect(&state_, &KeyerState::keyerStoppedChanged, this, redWhen(ui_.StopBtn));
    connect(&state_, &KeyerState::highlightedMemoryChanged, this, &TTavrin::showMemoryButtons);
}

void TTavrin::FormCreate() {
    helpPath_ = probe(paths_.helpFile());
    readConfiguration();
    for (int slot = 1; slot <= MemorySlots::kSlots; ++slot)
        memories_.setPath(slot, paths_.slotFile(slot));
    // The selected slot's file is the one PLAY reads, whether it was restored or is the default.
    keyer_->chooseMessageFile(memories_.path(state_.selectedMemory()));
}

void TTavrin::shutdown() {
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

void TTavrin::closeEvent(QCloseEvent* event) {
    shutdown();
    event->accept();
}

void TTavrin::Exit1Click() {
    close();
}

void TTavrin::Off2Click() {
    setStayOnTop(false);
}

void TTavrin::On2Click() {
    setStayOnTop(true);
}

void TTavrin::setStayOnTop(bool on) {
    tickByData(std::array{ui_.Off2, ui_.On2}, on);
    stayOnTop_ = on;
    // Changing the flag hides a shown window; it is shown again with the new style.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown)
        show();
}

void TTavrin::About1Click() {
    dialogs_.showMessage(tr("Tavrin voice keyer for amateur radio stations\n") +
                             QString(19, QLatin1Char(' ')) + tr("Version 1.23"),
                         tr("About Tavrin"));
}

void TTavrin::VolumeBtnClick() {
    launchMixers(*platform_.launcher, dialogs_);
}

void TTavrin::HelpMenu1Click() {
    const QString manual =
        platform_.programDir.isEmpty() ? QString() : InstallPaths::manualFile(platform_.programDir);
    openHelp(*platform_.launcher, dialogs_, helpPath_, manual);
}

void TTavrin::KeyUp(int key) {
    if (key == Qt::Key_Escape)
        keyer_->stopEverything();
}

bool TTavrin::eventFilter(QObject* watched, QEvent* event) {
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
            KeyUp(key->key());
            key->accept();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
