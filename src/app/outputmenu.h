#pragma once

#include "tx/ptttiming.h"

#include <QList>
#include <QObject>

#include <chrono>

struct MainWindowUi;
class QAction;
class QWidget;
class Station;

// The Output menu: the keying port, VOX, the Hamlib rigs, the polarity, the PTT lead and tail and
// the operator's own PTT input, ticked as the station's keying line has them. USB serial adapters
// are listed afresh each time the menu opens, as they come and go.
class OutputMenu final : public QObject {
    Q_OBJECT

public:
    // The rig dialogs are shown over window.
    OutputMenu(Station& station, const MainWindowUi& ui, QWidget& window);

    // Ticks what the keying line is set to now, as after the settings were read.
    void show();
    // The Hamlib keying dialogs: OK keys through the rig shown from then on.
    void chooseCatKeying();
    void chooseCm108Keying();

private:
    void listSerialPortItems();
    void showKeyingChoice();
    void showOperatorPtt();
    void setPttDelay(std::chrono::milliseconds PttTiming::*delay, const QString& caption);

    Station& station_;
    const MainWindowUi& ui_;
    QWidget& window_;
    QList<QAction*> serialPortItems_;
};
