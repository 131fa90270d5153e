#include "audio/soundcardselect.h"

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

TSoundCardSelect::TSoundCardSelect(WaveService& service, WaveInEngine& in, WaveOutEngine& out,
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

    MessageLabel = new QLabel(this);
    MessageLabel->setObjectName(QStringLiteral("MessageLabel"));
    // Wide enough for the reason a busy device gives.
    MessageLabel->setGeometry(80, 24, 464, 21);
    MessageLabel->setFont(namedFont("Tahoma", kTextPixels));
    MessageLabel->setStyleSheet(QStringLiteral("color: red;"));

    SoundCardManf = new QLabel(this);
    SoundCardManf->setObjectName(QStringLiteral("SoundCardManf"));
    SoundCardManf->setGeometry(43, 64, 414, 25);
    SoundCardManf->setFont(namedFont("Arial", kTextPixels));
    SoundCardManf->setAutoFillBackground(true);
    SoundCardManf->setStyleSheet(QStringLiteral("background: white; color: black;"));

    WaveUpDown = new UpDown(0, kHighestDevice, this);
    WaveUpDown->setObjectName(QStringLiteral("WaveUpDown"));
    WaveUpDown->setGeometry(457, 64, 17, 25);
    WaveUpDown->setAccessibleName(tr("Sound card number"));
    SoundCardManf->setAccessibleDescription(tr("Sound card name"));
    MessageLabel->setAccessibleDescription(tr("Sound card message"));

    SelectBtn = new QPushButton(tr("Select"), this);
    SelectBtn->setObjectName(QStringLiteral("SelectBtn"));
    SelectBtn->setGeometry(232, 106, 75, 25);

    connect(WaveUpDown, &UpDown::clicked, this, &TSoundCardSelect::WaveUpDownClick);
    connect(SelectBtn, &QPushButton::clicked, this, &TSoundCardSelect::SelectBtnClick);
}

int& TSoundCardSelect::setting(SoundCard mode) {
    return devices_.of(mode);
}

int TSoundCardSelect::count(SoundCard mode) const {
    return mode == SoundCard::Input ? inputCount_ : outputCount_;
}

void TSoundCardSelect::refreshCounts() {
    inputCount_ = service_.deviceCount(WaveService::Direction::Input);
    outputCount_ = service_.deviceCount(WaveService::Direction::Output);
}

void TSoundCardSelect::showName(SoundCard mode) {
    const auto direction =
        mode == SoundCard::Input ? WaveService::Direction::Input : WaveService::Direction::Output;
    SoundCardManf->setText(
        QString::fromStdString(service_.productName(direction, WaveUpDown->position())));
}

void TSoundCardSelect::showFor(SoundCard mode) {
    requestedMode_ = mode;
    if (!isVisible())
        FormShow();
    show();
    raise();
}

void TSoundCardSelect::FormShow() {
    shownDevice_ = setting(requestedMode_);
    ShowSelectedDevice(requestedMode_);
}

void TSoundCardSelect::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    emit shownChanged(isVisible());
}

void TSoundCardSelect::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A minimised dialog is still shown.
    emit shownChanged(isVisible());
}

void TSoundCardSelect::ShowSelectedDevice(SoundCard mode) {
    refreshCounts();
    if (WaveUpDown->position() <= count(mode)) {
        WaveUpDown->setPosition(setting(mode));
        showName(mode);
    }
    shownMode_ = mode;
}

void TSoundCardSelect::RefreshDeviceName(SoundCard mode) {
    refreshCounts();
    if (WaveUpDown->position() <= count(mode))
        showName(mode);
    shownMode_ = mode;
}

void TSoundCardSelect::WaveUpDownClick() {
    if (WaveUpDown->position() >= count(shownMode_))
        WaveUpDown->setPosition(count(shownMode_) - 1);
    RefreshDeviceName(shownMode_);
}

void TSoundCardSelect::SelectBtnClick() {
    if (deviceInUse_())
        return;
    if (WaveUpDown->position() >= count(shownMode_))
        WaveUpDown->setPosition(count(shownMode_) - 1);
    setting(shownMode_) = WaveUpDown->position();
    WaveResult result = WaveResult::Ok;
    const bool input = shownMode_ == SoundCard::Input;
    if (input) {
        in_.SetupWaveIn();
        result = in_.QueryWaveIn();
    } else {
        WaveOutEngine& engine = shownMode_ == SoundCard::Monitor ? monitor_ : out_;
        engine.SetupWaveOut();
        result = engine.QueryWaveOut();
    }
    if (result == WaveResult::Busy) {
        // It may well do the format once the other program lets it go; the operator must know
        // which of the two it is.
        const auto direction =
            input ? WaveService::Direction::Input : WaveService::Direction::Output;
        MessageLabel->setText(
            (input ? tr("Sound input device busy: %1") : tr("Sound output device busy: %1"))
                .arg(QString::fromStdString(service_.lastError(direction))));
    } else if (result != WaveResult::Ok) {
        MessageLabel->setText(input ? tr("Sound input device not compatible")
                                    : tr("Sound output device not compatible"));
    }
    if (result != WaveResult::Ok) {
        if (WaveUpDown->position() != shownDevice_) {
            WaveUpDown->setPosition(shownDevice_);
            setting(shownMode_) = WaveUpDown->position();
        }
    } else {
        MessageLabel->clear();
    }
    RefreshDeviceName(shownMode_);
}
