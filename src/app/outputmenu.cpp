#include "app/outputmenu.h"

#include "app/catdialog.h"
#include "app/cm108dialog.h"
#include "app/mainwindowui.h"
#include "app/station.h"
#include "keyer/keyer.h"
#include "tx/keyingline.h"
#include "tx/serialports.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>

#include <algorithm>
#include <array>

OutputMenu::OutputMenu(Station& station, const MainWindowUi& ui, QWidget& window)
    : QObject(&window), station_(station), ui_(ui), window_(window) {
    KeyingLine& line = station_.keyingLine();
    const struct {
        QAction* item;
        void (KeyingLine::*handler)();
    } outputItems[] = {
        {ui_.lpt1Item, &KeyingLine::chooseLpt1},
        {ui_.lpt2Item, &KeyingLine::chooseLpt2},
        {ui_.comItems[0], &KeyingLine::chooseCom1},
        {ui_.comItems[1], &KeyingLine::chooseCom2},
        {ui_.comItems[2], &KeyingLine::chooseCom3},
        {ui_.comItems[3], &KeyingLine::chooseCom4},
        {ui_.comItems[4], &KeyingLine::chooseCom5},
        {ui_.comItems[5], &KeyingLine::chooseCom6},
        {ui_.noPortItem, &KeyingLine::chooseNoPort},
        {ui_.voxItem, &KeyingLine::chooseVox},
        {ui_.normalItem, &KeyingLine::chooseNormalPolarity},
        {ui_.invertItem, &KeyingLine::chooseInvertedPolarity},
    };
    for (const auto& output : outputItems) {
        connect(output.item, &QAction::triggered, &line, output.handler);
        if (output.item != ui_.normalItem && output.item != ui_.invertItem)
            connect(output.item, &QAction::triggered, &station_, &Station::forgetSerialDevice);
    }
    connect(&line, &KeyingLine::choiceChanged, this, &OutputMenu::showKeyingChoice);
    connect(ui_.catItem, &QAction::triggered, this, &OutputMenu::chooseCatKeying);
    connect(ui_.cm108Item, &QAction::triggered, this, &OutputMenu::chooseCm108Keying);
    // Adapters come and go while the program runs.
    connect(ui_.outputMenu, &QMenu::aboutToShow, this, &OutputMenu::listSerialPortItems);
    connect(ui_.pttLeadItem, &QAction::triggered, this,
            [this] { setPttDelay(&PttTiming::lead, tr("PTT Lead")); });
    connect(ui_.pttTailItem, &QAction::triggered, this,
            [this] { setPttDelay(&PttTiming::tail, tr("PTT Tail")); });
    for (QAction* choice : ui_.operatorPttItems)
        connect(choice, &QAction::triggered, &line, [&line, choice] {
            line.watchOperatorPtt(static_cast<OperatorPtt>(choice->data().toInt()));
        });
    show();
}

void OutputMenu::show() {
    showKeyingChoice();
    showOperatorPtt();
}

void OutputMenu::chooseCatKeying() {
    // The tick stays where the line is until OK changes the line.
    showKeyingChoice();
    CatDialog dialog(station_.rigSettings(), listSerialPorts(station_.platform().devRoot),
                     &window_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    station_.keyThroughRig(dialog.settings(), RigSettings::Keying::Cat);
}

void OutputMenu::chooseCm108Keying() {
    showKeyingChoice();
    Cm108Dialog dialog(station_.rigSettings(), hidrawDevices(), &window_);
    if (dialog.exec() != QDialog::Accepted)
        return;
    station_.keyThroughRig(dialog.settings(), RigSettings::Keying::Cm108);
}

void OutputMenu::listSerialPortItems() {
    qDeleteAll(serialPortItems_);
    serialPortItems_.clear();
    for (const SerialPortEntry& port : listSerialPorts(station_.platform().devRoot)) {
        auto* item = new QAction(port.label, ui_.outputMenu);
        item->setToolTip(port.path);
        item->setCheckable(true);
        item->setData(port.path);
        ui_.keyingPortGroup->addAction(item);
        ui_.outputMenu->insertAction(ui_.voxItem, item);
        connect(item, &QAction::triggered, this,
                [this, path = port.path] { station_.chooseSerialDevice(path); });
        serialPortItems_.append(item);
    }
    showKeyingChoice();
}

void OutputMenu::showKeyingChoice() {
    const RigTarget* rig = station_.keyingLine().rigTarget();
    QString line = station_.keyingLine().portName();
    if (rig)
        line = rig->kind == RigTarget::Kind::Cat ? kCatLine : kCm108Line;
    // A stored name no item offers keys nothing, as VOX; a USB port's path is ticked once the
    // menu lists it.
    const QList<QAction*> ports = ui_.keyingPortGroup->actions();
    if (!line.startsWith(QLatin1Char('/')) &&
        std::none_of(ports.begin(), ports.end(),
                     [&](QAction* port) { return port->data() == line; }))
        line = kVoxLine;
    tickByData(ports, line);
    ui_.noPortItem->setChecked(ui_.voxItem->isChecked());
    tickByData(std::array{ui_.normalItem, ui_.invertItem}, station_.keyingLine().polarity());
}

void OutputMenu::setPttDelay(std::chrono::milliseconds PttTiming::*delay, const QString& caption) {
    Keyer& keyer = station_.keyer();
    PttTiming timing = keyer.pttTiming();
    if (const auto asked = askPttDelay(station_.dialogs(), caption, timing.*delay)) {
        timing.*delay = *asked;
        keyer.setPttTiming(timing);
    }
}

void OutputMenu::showOperatorPtt() {
    tickByData(ui_.operatorPttItems, static_cast<int>(station_.keyingLine().operatorPtt()));
}
