#include "app/monitormenu.h"

#include "app/mainwindowui.h"
#include "app/station.h"
#include "audio/waveout.h"
#include "keyer/keyer.h"
#include "keyer/monitor.h"

#include <QWidget>

MonitorMenu::MonitorMenu(Station& station, const MainWindowUi& ui, QWidget& window)
    : QObject(&window), station_(station), ui_(ui) {
    Monitor& monitor = station_.keyer().monitor();
    for (QAction* choice : ui_.monitorItems)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setOn(choice->data().toBool()); });
    for (QAction* choice : ui_.monitorVolumeItems)
        connect(choice, &QAction::triggered, &monitor,
                [&monitor, choice] { monitor.setVolume({choice->data().toInt()}); });
    connect(ui_.previewItem, &QAction::triggered, this,
            [this] { preview(station_.keyerState().selectedMemory()); });
    connect(&monitor, &Monitor::onChanged, this, &MonitorMenu::show);
    connect(&monitor, &Monitor::failed, this, &MonitorMenu::failed);
    connect(&monitor, &Monitor::previewEnded, this, [this] { emit told(tr("Preview ended")); });
}

void MonitorMenu::show() {
    const Monitor& monitor = station_.keyer().monitor();
    tickByData(ui_.monitorItems, monitor.on());
    tickByData(ui_.monitorVolumeItems, monitor.volume().db);
}

void MonitorMenu::preview(int slot) {
    if (station_.keyer().previewMemory(slot))
        emit told(
            tr("Previewing memory %1 on %2").arg(slot).arg(station_.monitorOutput().deviceName()));
}
