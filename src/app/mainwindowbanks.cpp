// The banks of memories: sets of twelve (one for running a frequency, one for search and
// pounce, …), each in a folder of its own, of which one is chosen at a time. The first is the
// set the configuration record holds; the others are kept in the settings file.
#include "app/mainwindow.h"

#include "keyer/keyer.h"
#include "support/dialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QDir>
#include <QFileSystemWatcher>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace {
const QKeySequence kPreviousBankKeys{Qt::CTRL | Qt::Key_PageUp};
const QKeySequence kNextBankKeys{Qt::CTRL | Qt::Key_PageDown};

// A caption shows an '&' only when doubled; a single one marks the next letter's shortcut.
QString caption(QString name) {
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

void MainWindow::wireBanks() {
    bankItems_ = new QActionGroup(this);
    connect(ui_.newBankItem, &QAction::triggered, this, &MainWindow::askNewBank);
    for (const auto& [keys, step] :
         {std::pair{kPreviousBankKeys, -1}, std::pair{kNextBankKeys, 1}}) {
        auto* shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const int bank = chosenBank_ + step;
            if (bank >= 0 && bank < bankNames().size())
                chooseBank(bankNames().at(bank));
        });
    }
    ui_.bankButton->setToolTip(tr("Choose the bank of memories (%1, %2)")
                                   .arg(kPreviousBankKeys.toString(QKeySequence::NativeText),
                                        kNextBankKeys.toString(QKeySequence::NativeText)));
    ui_.bankButton->setAccessibleDescription(ui_.bankButton->toolTip());
    showBanks();
}

QStringList MainWindow::bankNames() const {
    QStringList names{BanksIni::firstName()};
    for (const BanksIni::Bank& bank : banks_.banks)
        names << bank.name;
    return names;
}

QString MainWindow::bankFolder(int bank) const {
    return bank == 0 ? paths_.dir()
                     : paths_.banksDir() + banks_.banks.at(bank - 1).folder + QLatin1Char('/');
}

void MainWindow::showBanks() {
    for (QAction* item : bankItems_->actions())
        delete item;
    const QStringList names = bankNames();
    QAction* separator = ui_.bankMenu->actions().value(0);
    for (int bank = 0; bank < names.size(); ++bank) {
        auto* item = new QAction(caption(names[bank]), bankItems_);
        item->setCheckable(true);
        item->setChecked(bank == chosenBank_);
        ui_.bankMenu->insertAction(separator, item);
        connect(item, &QAction::triggered, this, [this, name = names[bank]] { chooseBank(name); });
    }
    const QString name = chosenBank();
    ui_.bankButton->setText(caption(ui_.bankButton->fontMetrics().elidedText(
        tr("Bank: %1").arg(name), Qt::ElideRight, ui_.bankButton->width() - 8)));
    ui_.bankButton->setAccessibleName(tr("Bank %1").arg(name));
}

bool MainWindow::chooseBank(const QString& name) {
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
        const QString refusal =
            tr("The bank stays %1 while a message plays, is paused, records or is imported")
                .arg(chosenBank());
        ui_.statusLine->setText(refusal);
        announce(ui_.statusLine, refusal);
        return false;
    }
    switchBank(bank);
    showIdleStatus(tr("Bank %1").arg(chosenBank()));
    return true;
}

void MainWindow::switchBank(int bank) {
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
    showBanks();
}

void MainWindow::askNewBank() {
    QString name;
    if (!dialogs_.inputQuery(tr("New Bank"), tr("Name of the new bank of memories:"), name))
        return;
    name = BanksIni::cleanName(name);
    if (name.isEmpty())
        return;
    if (bankNames().contains(name, Qt::CaseInsensitive)) {
        dialogs_.showMessage(tr("There is a bank named %1 already").arg(name), tr("New Bank"));
        return;
    }
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
    showBanks();
    chooseBank(name);
}
