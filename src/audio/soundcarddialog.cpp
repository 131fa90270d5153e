#include "audio/soundcarddialog.h"

#include "audio/audiodevices.h"
#include "audio/updown.h"
#include "audio/wavein.h"
#include "audio/waveout.h"

#include <QLabel>
#include <QPushButton>

namespace {
constexpr QSize kClientSize{564, 159};
constexpr int kHighestDevice = 10;
constexpr int kTextPixels = 16;

QFont namedFont(const char* family, int pixels) {
    QFont f{QLatin1String(family)};
    f.setPixelSize(pixels);
    return f;
}
} // namespace

SoundCardDialog::SoundCardDialog(WaveService& service, WaveInEngine& in, WaveOutEngine& out,
                                 WaveOutEngine& monitor, AudioDevices& devices,
                                 std::function<bool()> deviceInUse, QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      service_(service), in_(in), out_(out), monitor_(monitor), devices_(devices),
      deviceInUse_(std::move(deviceInUse)) {
    setObjectName(QStringLiteral("SoundCardSelect"));
    setWindowTitle(QString());
    setFixedSize(kClientSize);
    move(0, 0);
    setFont(namedFont("Tahoma", 11));

    messageLabel = new QLabel(this);
    messageLabel->setObjectName(QStringLiteral("MessageLabel"));
    // Wide enough for the reason a busy device gives.
    messageLabel->setGeometry(80, 24, 464, 21);
    messageLabel->setFont(namedFont("Tahoma", kTextPixels));
    messageLabel->setStyleSheet(QStringLiteral("color: red;"));

    productLabel = new QLabel(this);
    productLabel->setObjectName(QStringLiteral("SoundCardManf"));
    productLabel->setGeometry(43, 64, 414, 25);
    productLabel->setFont(namedFont("Arial", kTextPixels));
    productLabel->setAutoFillBackground(true);
    productLabel->setStyleSheet(QStringLiteral("background: white; color: black;"));

    deviceStepper = new UpDown(0, kHighestDevice, this);
    deviceStepper->setObjectName(QStringLiteral("WaveUpDown"));
    deviceStepper->setGeometry(457, 64, 17, 25);
    deviceStepper->setAccessibleName(tr("Sound card number"));
    productLabel->setAccessibleDescription(tr("Sound card name"));
    messageLabel->setAccessibleDescription(tr("Sound card message"));

    selectButton = new QPushButton(tr("Select"), this);
    selectButton->setObjectName(QStringLiteral("SelectBtn"));
    selectButton->setGeometry(232, 106, 75, 25);

    connect(deviceStepper, &UpDown::clicked, this, &SoundCardDialog::stepDevice);
    connect(selectButton, &QPushButton::clicked, this, &SoundCardDialog::selectDevice);
}

int& SoundCardDialog::setting(SoundCard mode) {
    return devices_.of(mode);
}

int SoundCardDialog::count(SoundCard mode) const {
    return mode == SoundCard::Input ? inputCount_ : outputCount_;
}

void SoundCardDialog::refreshCounts() {
    inputCount_ = service_.deviceCount(WaveService::Direction::Input);
    outputCount_ = service_.deviceCount(WaveService::Direction::Output);
}

void SoundCardDialog::showName(SoundCard mode) {
    const auto direction =
        mode == SoundCard::Input ? WaveService::Direction::Input : WaveService::Direction::Output;
    productLabel->setText(
        QString::fromStdString(service_.productName(direction, deviceStepper->position())));
}

void SoundCardDialog::showFor(SoundCard mode) {
    requestedMode_ = mode;
    if (!isVisible())
        showChoices();
    show();
    raise();
}

void SoundCardDialog::showChoices() {
    shownDevice_ = setting(requestedMode_);
    showSelectedDevice(requestedMode_);
}

void SoundCardDialog::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    emit shownChanged(isVisible());
}

void SoundCardDialog::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimised dialog is still shown.
    emit shownChanged(isVisible());
}

void SoundCardDialog::showSelectedDevice(SoundCard mode) {
    refreshCounts();
    if (deviceStepper->position() <= count(mode)) {
        deviceStepper->setPosition(setting(mode));
        showName(mode);
    }
    shownMode_ = mode;
}

void SoundCardDialog::showDeviceName(SoundCard mode) {
    refreshCounts();
    if (deviceStepper->position() <= count(mode))
        showName(mode);
    shownMode_ = mode;
}

void SoundCardDialog::stepDevice() {
    if (deviceStepper->position() >= count(shownMode_))
        deviceStepper->setPosition(count(shownMode_) - 1);
    showDeviceName(shownMode_);
}

void SoundCardDialog::selectDevice() {
    if (deviceInUse_())
        return;
    if (deviceStepper->position() >= count(shownMode_))
        deviceStepper->setPosition(count(shownMode_) - 1);
    setting(shownMode_) = deviceStepper->position();
    WaveResult result = WaveResult::Ok;
    const bool input = shownMode_ == SoundCard::Input;
    if (input) {
        in_.prepareInput();
        result = in_.queryInput();
    } else {
        WaveOutEngine& engine = shownMode_ == SoundCard::Monitor ? monitor_ : out_;
        engine.prepareOutput();
        result = engine.queryOutput();
    }
    if (result == WaveResult::Busy) {
        // It may well do the format once the other program lets it go; the operator must know
        // which of the two it is.
        const auto direction =
            input ? WaveService::Direction::Input : WaveService::Direction::Output;
        messageLabel->setText(
            (input ? tr("Sound input device busy: %1") : tr("Sound output device busy: %1"))
                .arg(QString::fromStdString(service_.lastError(direction))));
    } else if (result != WaveResult::Ok) {
        messageLabel->setText(input ? tr("Sound input device not compatible")
                                    : tr("Sound output device not compatible"));
    }
    if (result != WaveResult::Ok) {
        if (deviceStepper->position() != shownDevice_) {
            deviceStepper->setPosition(shownDevice_);
            setting(shownMode_) = deviceStepper->position();
        }
    } else {
        messageLabel->clear();
    }
    showDeviceName(shownMode_);
}
