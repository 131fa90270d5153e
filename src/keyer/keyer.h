#pragma once

#include <QObject>
#include <QString>

class KeyerState;
class MemorySlots;
class QTextEdit;
class QTimer;

// The keyer's operator actions. Memory selection lives here; recording, playback, stop and the
// loop join it.
class Keyer : public QObject {
    Q_OBJECT

public:
    Keyer(KeyerState& state, MemorySlots& memories, QTextEdit& messageWindow, QString installDir,
          QObject* parent = nullptr);

    // The twelve memory buttons: select slot n (1..12). Refused while recording or playing.
    void MemBtnClick(int slot);
    void DeselectMemory();
    void BuildRecordPath(int slot);

    // Saves the note in the message window under the selected slot.
    void saveNote();

    void StopBtnClick();
    void ResetBtnClick();

    QTimer& loopTimer() { return *loopTimer_; }

private:
    KeyerState& state_;
    MemorySlots& memories_;
    QTextEdit& messageWindow_;
    QString installDir_;
    QTimer* loopTimer_;
    // Takes no part in playback; STOP only makes sure it is off.
    QTimer* playTimer_;
};
