#pragma once

#include <QObject>
#include <QString>

struct MainWindowUi;
class Station;
class QWidget;

// The Microphone menu: the gain recordings are made with, how much silence a recording keeps
// (Trim Silence), the level it is brought to, and the edits of the selected memory's message
// (Level This Memory Now, Undo Trim and Level), offered while nothing runs.
class MicrophoneMenu final : public QObject {
    Q_OBJECT

public:
    MicrophoneMenu(Station& station, const MainWindowUi& ui, QWidget& window);

    // Ticks the gain, the margin and the level target in effect, as after the settings were read.
    void show();

signals:
    // What the status line says after an edit.
    void told(const QString& text);

private:
    void showGain();
    void showTrimMargin();
    void showLevelTarget();
    void offerMessageEdits();
    void levelNow();
    void undoTrim();

    Station& station_;
    const MainWindowUi& ui_;
};
