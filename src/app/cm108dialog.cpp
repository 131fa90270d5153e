#include "app/cm108dialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>

namespace {

// The CM108 family has this many GPIO pins.
constexpr int kHighestGpio = 8;

} // namespace

Cm108Dialog::Cm108Dialog(const RigSettings& settings, const std::vector<PortChoice>& devices,
                         QWidget* parent)
    : RigDialog(QStringLiteral("CM108 GPIO"), parent), base_(settings),
      device_(portCombo(devices, settings.cm108Device)), gpio_(new QSpinBox) {
    gpio_->setRange(1, kHighestGpio);
    gpio_->setValue(settings.gpio);
    auto* fields = new QFormLayout;
    fields->addRow(tr("hidraw device"), device_);
    fields->addRow(QStringLiteral("GPIO"), gpio_);
    finishLayout(fields);
}

RigSettings Cm108Dialog::settings() const {
    RigSettings chosen = base_;
    chosen.cm108Device = portPath(device_);
    chosen.gpio = gpio_->value();
    return chosen;
}

RigTarget Cm108Dialog::testTarget() const {
    return settings().cm108Target();
}
