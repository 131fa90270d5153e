#pragma once

#include <QObject>
#include <QString>

struct MainWindowUi;
class Station;
class QWidget;

// Options > Monitor: the operator's headphones on or off, their volume, and a memory previewed
// there alone, keying nothing.
class MonitorMenu final : public QObject {
    Q_OBJECT

public:
    MonitorMenu(Station& station, const MainWindowUi& ui, QWidget& window);

    // Ticks whether the monitor is on, and its volume.
    void show();
    // Plays the slot's message on the monitor alone; told says where.
    void preview(int slot);

signals:
    // What the status line says: a preview started or ended.
    void told(const QString& text);
    // The monitor went off, and why.
    void failed(const QString& why);

private:
    Station& station_;
    const MainWindowUi& ui_;
};
