#pragma once

#include <QObject>

struct MainWindowUi;
class Station;
class QWidget;

// The transmitter's side of the window: TUNE, Tx Enable and Tx Mic, the Rx/Tx panel, the ID
// alarm's strip and its menu, all following the station's transmit state.
class TransmitPanel final : public QObject {
    Q_OBJECT

public:
    TransmitPanel(Station& station, const MainWindowUi& ui, QWidget& window);
};
