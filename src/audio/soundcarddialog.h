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
enum class SoundCard;

// The modeless dialog in which the operator chooses the input, the output and the monitor sound
// card. Each choice is tested with the one format Tavrin uses before it is taken.
class SoundCardDialog : public QWidget {
    Q_OBJECT

public:
    // deviceInUse tells whether a recording or playback holds a device: Select is refused then,
    // so the format test never rebinds buffers an engine has queued.
    SoundCardDialog(WaveService& service, WaveInEngine& in, WaveOutEngine& out,
                    WaveOutEngine& monitor, AudioDevices& devices,
                    std::function<bool()> deviceInUse, QWidget* parent = nullptr);

    // Shows the dialog for mode; a dialog already shown keeps the mode it shows.
    void showFor(SoundCard mode);

    void showChoices();
    void showSelectedDevice(SoundCard mode);
    void showDeviceName(SoundCard mode);
    void stepDevice();
    void selectDevice();

    QLabel* messageLabel = nullptr;
    QLabel* productLabel = nullptr;
    UpDown* deviceStepper = nullptr;
    QPushButton* selectButton = nullptr;

signals:
    // The dialog has been shown or hidden.
    void shownChanged(bool shown);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int count(SoundCard mode) const;
    int& setting(SoundCard mode);
    void refreshCounts();
    void showName(SoundCard mode);

    WaveService& service_;
    WaveInEngine& in_;
    WaveOutEngine& out_;
    WaveOutEngine& monitor_;
    AudioDevices& devices_;
    std::function<bool()> deviceInUse_;
    // The setting the dialog is next shown for, and the one it shows.
    SoundCard requestedMode_{};
    SoundCard shownMode_{};
    // The setting's device when the dialog was shown: a device refused by Select goes back to it.
    int shownDevice_ = 0;
    int inputCount_ = 0;
    int outputCount_ = 0;
};
