#include "app/bankmenu.h"

#include "app/station.h"
#include "support/dialogs.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace {
const QKeySequence kPreviousBankKeys{Qt::CTRL | Qt::Key_PageUp};
const QKeySequence kNextBankKeys{Qt::CTRL | Qt::Key_PageDown};
// The button's caption stays clear of its menu arrow.
constexpr int kArrowRoom = 8;

// A caption shows an '&' only when doubled; a single one marks the next letter's shortcut.
QString caption(QString name) {
    return name.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
} // namespace

BankMenu::BankMenu(Station& station, QPushButton& button, QMenu& menu, QAction& newBank,
                   QWidget& window)
    : QObject(&window), station_(station), button_(button), menu_(menu),
      items_(new QActionGroup(this)) {
    connect(&newBank, &QAction::triggered, this, &BankMenu::askNewBank);
    for (const auto& [keys, step] :
         {std::pair{kPreviousBankKeys, -1}, std::pair{kNextBankKeys, 1}}) {
        auto* shortcut = new QShortcut(keys, &window);
        shortcut->setContext(Qt::WindowShortcut);
        shortcut->setAutoRepeat(false);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] {
            const int bank = station_.chosenBankIndex() + step;
            const QStringList names = station_.bankNames();
            if (bank >= 0 && bank < names.size())
                station_.chooseBank(names.at(bank));
        });
    }
    button_.setToolTip(tr("Choose the bank of memories (%1, %2)")
                           .arg(kPreviousBankKeys.toString(QKeySequence::NativeText),
                                kNextBankKeys.toString(QKeySequence::NativeText)));
    button_.setAccessibleDescription(button_.toolTip());
    connect(&station_, &Station::banksChanged, this, &BankMenu::showBanks);
    connect(&station_, &Station::bankChosen, this,
            [this](const QString& name) { emit told(tr("Bank %1").arg(name)); });
    connect(&station_, &Station::bankRefused, this, &BankMenu::refused);
    showBanks();
}

void BankMenu::showBanks() {
    for (QAction* item : items_->actions())
        delete item;
    const QStringList names = station_.bankNames();
    QAction* separator = menu_.actions().value(0);
    for (int bank = 0; bank < names.size(); ++bank) {
        auto* item = new QAction(caption(names[bank]), items_);
        item->setCheckable(true);
        item->setChecked(bank == station_.chosenBankIndex());
        menu_.insertAction(separator, item);
        connect(item, &QAction::triggered, this,
                [this, name = names[bank]] { station_.chooseBank(name); });
    }
    const QString name = station_.chosenBank();
    button_.setText(caption(button_.fontMetrics().elidedText(
        tr("Bank: %1").arg(name), Qt::ElideRight, button_.width() - kArrowRoom)));
    button_.setAccessibleName(tr("Bank %1").arg(name));
}

void BankMenu::askNewBank() {
    QString name;
    if (!station_.dialogs().inputQuery(tr("New Bank"), tr("Name of the new bank of memories:"),
                                       name))
        return;
    // A name of nothing but what a bank's name cannot hold was not meant as one.
    if (BanksIni::cleanName(name).isEmpty())
        return;
    if (const QString why = station_.addBank(name); !why.isEmpty())
        station_.dialogs().showMessage(why, tr("New Bank"));
}
