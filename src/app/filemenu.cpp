#include "app/filemenu.h"

#include "app/mainwindowui.h"
#include "app/phrasesdialog.h"
#include "app/station.h"
#include "config/openwave.h"
#include "keyer/keyer.h"
#include "support/dialogs.h"

#include <QAction>
#include <QFileInfo>
#include <QProgressDialog>

namespace {
// The import's progress bar counts thousandths, and shows only for a file that takes a while.
constexpr int kImportPermille = 1000;
constexpr std::chrono::milliseconds kImportProgressAfter{400};
} // namespace

FileMenu::FileMenu(Station& station, const MainWindowUi& ui, QWidget& window)
    : QObject(&window), station_(station), ui_(ui), window_(window) {
    connect(ui_.openMessageItem, &QAction::triggered, this, &FileMenu::openMessage);
    connect(ui_.saveMessageAsItem, &QAction::triggered, this, &FileMenu::saveMessageAs);
    connect(ui_.importMessageItem, &QAction::triggered, this, &FileMenu::importMessage);
    connect(ui_.templateItem, &QAction::triggered, this, &FileMenu::editTemplate);
    connect(ui_.phrasesItem, &QAction::triggered, this, &FileMenu::showPhrases);
    connect(&station_, &Station::importFinished, this, &FileMenu::endImportProgress);
}

FileMenu::~FileMenu() = default;

void FileMenu::openMessage() {
    // The chosen file is checked through a handle of its own, and never while a recording or
    // playback runs, so no running operation loses its file.
    if (station_.keyerState().busy())
        return;
    const QString path = station_.dialogs().openFileName();
    if (path.isEmpty())
        return;
    station_.keyer().chooseMessageFile(path);
    station_.readSlotLengths();
    if (const auto refusal = checkWaveFile(path))
        station_.dialogs().showMessage(refusal->textNotice(), refusal->titleNotice());
}

void FileMenu::saveMessageAs() {
    // Read through a handle of its own, so a paused playback keeps its place in the file; not
    // while a recording or playback runs, as Open Wave.
    if (station_.keyerState().busy())
        return;
    saveWave(station_.keyerState().currentMessageFile(), station_.dialogs());
}

void FileMenu::editTemplate() {
    const int slot = station_.keyerState().selectedMemory();
    QString text = station_.keyer().templates().templateOf(slot);
    if (!station_.dialogs().inputQuery(
            tr("Template for Memory %1").arg(slot),
            tr("Spoken from the phrases instead of the recording, e.g. "
               "{mem 3} {serial} {call} or five nine {serial:03}. Empty: "
               "the recording plays."),
            text))
        return;
    if (const QString why = station_.keyer().templates().setTemplate(slot, text); !why.isEmpty())
        emit told(tr("The template was not saved: %1").arg(why));
    else if (station_.keyer().templates().templateOf(slot).isEmpty())
        emit told(tr("Memory %1 plays its recording").arg(slot));
    else
        emit told(tr("Memory %1 is a template: %2")
                      .arg(slot)
                      .arg(station_.keyer().templates().templateOf(slot)));
    emit templatesChanged();
}

void FileMenu::importMessage() {
    // A running recording or playback holds the slot's file.
    if (station_.keyerState().busy() || station_.importing())
        return;
    const QString source = station_.dialogs().openFileName();
    if (source.isEmpty())
        return;
    MessageImport* import = station_.importMessage(source);
    if (!import)
        return;
    // Not modal: STOP, Escape and the memories keep working while a long file converts.
    importProgress_ = std::make_unique<QProgressDialog>(tr("Importing %1 into memory %2")
                                                            .arg(QFileInfo(source).fileName())
                                                            .arg(station_.importSlot()),
                                                        tr("Cancel"), 0, kImportPermille, &window_);
    importProgress_->setWindowTitle(tr("Import Message"));
    importProgress_->setAutoReset(false);
    importProgress_->setMinimumDuration(static_cast<int>(kImportProgressAfter.count()));
    connect(importProgress_.get(), &QProgressDialog::canceled, import, &MessageImport::cancel);
    connect(import, &MessageImport::progressed, importProgress_.get(), [this](int permille) {
        if (permille < 0)
            importProgress_->setMaximum(0); // a bar that says only "working"
        else
            importProgress_->setValue(permille);
    });
    ui_.importMessageItem->setEnabled(false);
}

void FileMenu::showPhrases() {
    // Not modal: STOP, Escape and the memories work while it is open.
    if (!phrases_)
        phrases_ = new PhrasesDialog(station_.keyer(), station_.keyerState(), station_.dialogs(),
                                     station_.paths().phrasesDir(), &window_);
    phrases_->refresh();
    phrases_->show();
    phrases_->raise();
    phrases_->activateWindow();
}

void FileMenu::endImportProgress() {
    importProgress_.reset();
    ui_.importMessageItem->setEnabled(true);
}
