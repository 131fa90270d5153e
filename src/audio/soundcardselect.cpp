#include "audio/soundcardselect.h"

#include "audio/audiodevicesettings.h"
#include "audio/updowncontrol.h"
#include "audio/waveinengine.h"
#include "audio/waveoutengine.h"
#include "audio/waveservice.h"

#include <QLabel>
#include <QPushButton>
#include <QShowEvent>

#include <thread>
#include <utility>

namespace {

const char* const NotCompatible[] = {"Sound input device not compatible",
                                     "Sound output device not compatible"};

QFont pixelFont(const QString& family, int pixels) {
    QFont font(family);
    font.setPixelSize(pixels);
    return font;
}

WaveDirection directionOf(int mode) {
    return mode == TSoundCardSelect::OutputMode ? WaveDirection::Output : WaveDirection::Input;
}

} // namespace

TSoundCardSelect::TSoundCardSelect(WaveService& service, WaveOutEngine& output, WaveInEngine& input,
                                   AudioDeviceSettings& settings, std::function<bool()> keyerBusy,
                                   QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                          Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      service_(service), output_(output), input_(input), settings_(settings),
      keyerBusy_(std::move(keyerBusy)), messageLabel_(new QLabel(this)),
      soundCardManf_(new QLabel(this)), waveUpDown_(new UpDownControl(this)),
      selectBtn_(new QPushButton(tr("Select"), this)) {
    setObjectName(QStringLiteral("SoundCardSelect"));
    setModal(false);
    setWindowTitle(QString());
    setFixedSize(564, 159);
    setFont(pixelFont(QStringLiteral("Tahoma"), 11));

    messageLabel_->setObjectName(QStringLiteral("MessageLabel"));
    messageLabel_->setGeometry(80, 24, 353, 21);
    messageLabel_->setFont(pixelFont(QStringLiteral("Tahoma"), 16));
    messageLabel_->setStyleSheet(QStringLiteral("color: red;"));

    soundCardManf_->setObjectName(QStringLiteral("SoundCardManf"));
    soundCardManf_->setGeometry(43, 64, 414, 25);
    soundCardManf_->setFont(pixelFont(QStringLiteral("Arial"), 16));
    soundCardManf_->setStyleSheet(QStringLiteral("background-color: white;"));

    waveUpDown_->setObjectName(QStringLiteral("WaveUpDown"));
    waveUpDown_->setGeometry(455, 64, 17, 25);
    waveUpDown_->setRange(0, HighestDevice);
    waveUpDown_->setPosition(0);

    selectBtn_->setObjectName(QStringLiteral("SelectBtn"));
    selectBtn_->setGeometry(232, 106, 75, 25);
    selectBtn_->setAutoDefault(false);
    setTabOrder(selectBtn_, waveUpDown_);

    connect(waveUpDown_, &UpDownControl::clicked, this, &TSoundCardSelect::WaveUpDownClick);
    connect(selectBtn_, &QPushButton::clicked, this, &TSoundCardSelect::SelectBtnClick);
}

int& TSoundCardSelect::setting(int mode) {
    return mode == OutputMode ? settings_.outputDevice : settings_.inputDevice;
}

int TSoundCardSelect::deviceCount(int mode) const {
    return mode == OutputMode ? numOutDevs_ : numInDevs_;
}

void TSoundCardSelect::refreshCounts() {
    numInDevs_ = service_.deviceCount(WaveDirection::Input);
    numOutDevs_ = service_.deviceCount(WaveDirection::Output);
}

// A device whose name cannot be read, or that no longer exists, shows no name rather than the
// name of the device shown before.
void TSoundCardSelect::showName(int mode, int device) {
    QString name;
    if (service_.productName(directionOf(mode), device, name) != waveresult::Ok)
        name.clear();
    soundCardManf_->setText(name);
}

void TSoundCardSelect::clampToCount(int mode) {
    if (waveUpDown_->position() >= deviceCount(mode))
        waveUpDown_->setPosition(deviceCount(mode) - 1);
}

void TSoundCardSelect::ShowSelectedDevice(int mode) {
    refreshCounts();
    waveUpDown_->setPosition(setting(mode));
    showName(mode, waveUpDown_->position());
    isOutput_ = mode;
}

void TSoundCardSelect::RefreshDeviceName(int mode) {
    refreshCounts();
    showName(mode, waveUpDown_->position());
    isOutput_ = mode;
}

void TSoundCardSelect::FormShow() {
    shownDevice_ = setting(soundCardMode_);
    ShowSelectedDevice(soundCardMode_);
}

void TSoundCardSelect::WaveUpDownClick() {
    clampToCount(isOutput_);
    RefreshDeviceName(isOutput_);
}

void TSoundCardSelect::SelectBtnClick() {
    // Testing a device re-arms the engine's headers, which must not happen under a running
    // recording or playback.
    if ((keyerBusy_ && keyerBusy_()) || output_.isOpen() || input_.isOpen())
        return;
    clampToCount(isOutput_);
    int& chosen = setting(isOutput_);
    chosen = waveUpDown_->position();
    bool cannot = false;
    if (isOutput_ == OutputMode) {
        output_.SetupWaveOut();
        cannot = output_.QueryWaveOut();
    } else {
        input_.SetupWaveIn();
        cannot = input_.QueryWaveIn();
    }
    if (cannot) {
        messageLabel_->setText(QString::fromLatin1(NotCompatible[isOutput_ == OutputMode]));
        if (waveUpDown_->position() != shownDevice_) {
            waveUpDown_->setPosition(shownDevice_);
            chosen = waveUpDown_->position();
        }
    } else {
        messageLabel_->clear();
    }
    RefreshDeviceName(isOutput_);
}

void TSoundCardSelect::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        move(0, 0);
        FormShow();
    }
}

void openSoundCardSelect(TSoundCardSelect& dialog, int mode, bool keyerRunning,
                         const std::function<void()>& stopKeyer) {
    if (keyerRunning && stopKeyer)
        stopKeyer();
    std::this_thread::sleep_for(SoundCardStopSettle);
    dialog.setSoundCardMode(mode);
    dialog.setVisible(true);
}
