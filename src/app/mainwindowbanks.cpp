// The main window's Bank menu and button: the station's banks of memories, one chosen at a
// time.
#include "app/mainwindow.h"

#include "app/station.h"
#include "support/dialogs.h"

#include <QAction>
#include <QActionGroup>
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
            const int bank = station_->chosenBankIndex() + step;
            const QStringList names = station_->bankNames();
            if (bank >= 0 && bank < names.size())
                station_->chooseBank(names.at(bank));
        });
    }
    ui_.bankButton->setToolTip(tr("Choose the bank of memories (%1, %2)")
                                   .arg(kPreviousBankKeys.toString(QKeySequence::NativeText),
                                        kNextBankKeys.toString(QKeySequence::NativeText)));
    ui_.bankButton->setAccessibleDescription(ui_.bankButton->toolTip());
    connect(station_, &Station::banksChanged, this, &MainWindow::showBanks);
    connect(station_, &Station::bankChosen, this,
            [this](const QString& name) { showIdleStatus(tr("Bank %1").arg(name)); });
    connect(station_, &Station::bankRefused, this, [this](const QString& why) {
        ui_.statusLine->setText(why);
        announce(ui_.statusLine, why);
    });
    showBanks();
}

void MainWindow::showBanks() {
    for (QAction* item : bankItems_->actions())
        delete item;
    const QStringList names = station_->bankNames();
    QAction* separator = ui_.bankMenu->actions().value(0);
    for (int bank = 0; bank < names.size(); ++bank) {
        auto* item = new QAction(caption(names[bank]), bankItems_);
        item->setCheckable(true);
        item->setChecked(bank == station_->chosenBankIndex());
        ui_.bankMenu->insertAction(separator, item);
        connect(item, &QAction::triggered, station_,
                [this, name = names[bank]] { station_->chooseBank(name); });
    }
    const QString name = station_->chosenBank();
    ui_.bankButton->setText(caption(ui_.bankButton->fontMetrics().elidedText(
        tr("Bank: %1").arg(name), Qt::ElideRight, ui_.bankButton->width() - 8)));
    ui_.bankButton->setAccessibleName(tr("Bank %1").arg(name));
}

void MainWindow::askNewBank() {
    QString name;
    if (!station_->dialogs().inputQuery(tr("New Bank"), tr("Name of the new bank of memories:"),
                                        name))
        return;
    // A name of nothing but what a bank's name cannot hold was not meant as one.
    if (BanksIni::cleanName(name).isEmpty())
        return;
    if (const QString why = station_->addBank(name); !why.isEmpty())
        station_->dialogs().showMessage(why, tr("New Bank"));
}
