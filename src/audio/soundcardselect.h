#pragma once

#include "audio/waveservice.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class UpDown;
class WaveInEngine;
class WaveOutEngine;
struct AudioDevices;

// The modeless dialog in which the operator chooses the input and the output sound card. Each
// choice is tested with the one format Tavrin uses before it is taken.
class TSoundCardSelect : public QWidget {
    Q_OBJECT

public:
    enum Mode { InputMode = 0, OutputMode = 1 };

    // deviceInUse tells whether a recording or playback holds a device: Select is refused then,
    // so the format test never rebinds buffers an engine has queued.
    TSoundCardSelect(WaveService& service, WaveInEngine& in, WaveOutEngine& out,
                     AudioDevices& devices, std::function<bool()> deviceInUse,
                     QWidget* parent = nullptr);

    // Which setting the dialog edits when it is next shown.
    int SoundCardMode = InputMode;
    int IsOutput = InputMode;
    int ShownDevice = 0;
    int NumInDevs = 0;
    int NumOutDevs = 0;

    // Shows the dialog for SoundCardMode; a dialog already shown keeps the mode it shows.
    void showFor(Mode mode);

    void FormShow();
    void ShowSelectedDevice(int mode);
    void RefreshDeviceName(int mode);
    void WaveUpDownClick();
    void SelectBtnClick();

    QLabel* MessageLabel = nullptr;
    QLabel* SoundCardManf = nullptr;
    UpDown* WaveUpDown = nullptr;
    QPushButton* SelectBtn = nullptr;

private:
    int count(int mode) const { return mode == OutputMode ? NumOutDevs : NumInDevs; }
    int& setting(int mode);
    void refreshCounts();
    void showName(int mode);

    WaveService& service_;
    WaveInEngine& in_;
    WaveOutEngine& out_;
    AudioDevices& devices_;
    std::function<bool()> deviceInUse_;
};
