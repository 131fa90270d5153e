#pragma once

#include <QDialog>

#include <chrono>
#include <functional>

class QLabel;
class QPushButton;
class UpDownControl;
class WaveInEngine;
class WaveOutEngine;
class WaveService;
struct AudioDeviceSettings;

// The modeless dialog in which the operator chooses the input or the output sound card: step
// through the device numbers, read each device's name, press Select to take a device that can
// record or play the keyer's format. The choice applies from the next recording or playback.
class TSoundCardSelect : public QDialog {
    Q_OBJECT

public:
    static constexpr int InputMode = 0;
    static constexpr int OutputMode = 1;
    static constexpr int HighestDevice = 10;

    // keyerBusy tells whether a recording or playback runs; Select does nothing then.
    TSoundCardSelect(WaveService& service, WaveOutEngine& output, WaveInEngine& input,
                     AudioDeviceSettings& settings, std::function<bool()> keyerBusy,
                     QWidget* parent = nullptr);

    // Which setting the dialog edits when it is next shown.
    int SoundCardMode() const { return soundCardMode_; }
    void setSoundCardMode(int mode) { soundCardMode_ = mode; }
    // The mode the dialog last showed; the up-down and Select act on it.
    int IsOutput() const { return isOutput_; }
    // The setting when the dialog was shown; Select falls back to it.
    int ShownDevice() const { return shownDevice_; }

    void ShowSelectedDevice(int mode);
    void RefreshDeviceName(int mode);
    void FormShow();
    void WaveUpDownClick();
    void SelectBtnClick();

    UpDownControl* waveUpDown() const { return waveUpDown_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    int& setting(int mode);
    int deviceCount(int mode) const;
    void refreshCounts();
    void showName(int mode, int device);
    void clampToCount(int mode);

    WaveService& service_;
    WaveOutEngine& output_;
    WaveInEngine& input_;
    AudioDeviceSettings& settings_;
    std::function<bool()> keyerBusy_;

    QLabel* messageLabel_;
    QLabel* soundCardManf_;
    UpDownControl* waveUpDown_;
    QPushButton* selectBtn_;

    int soundCardMode_ = InputMode;
    int isOutput_ = InputMode;
    int shownDevice_ = 0;
    int numInDevs_ = 0;
    int numOutDevs_ = 0;
};

// How long the sound card menu commands give a stopped recording or playback before they show
// the dialog.
constexpr std::chrono::milliseconds SoundCardStopSettle(200);

// The Options > SoundCard commands: stop a running recording or playback, give it a moment, then
// show the dialog for the chosen mode. A dialog already open keeps the mode it was shown for.
void openSoundCardSelect(TSoundCardSelect& dialog, int mode, bool keyerRunning,
                         const std::function<void()>& stopKeyer);
