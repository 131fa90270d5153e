#include "app/rigdialogs.h"

#include "tx/rigptt.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr std::chrono::milliseconds kTestKeyDown{500};
constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int kHighestGpio = 8;
QString modelDefault() {
    return QCoreApplication::translate("CatDialog", "Model default");
}

QComboBox* portCombo(const std::vector<PortChoice>& choices, const QString& current) {
    auto* combo = new QComboBox;
    combo->setEditable(true);
    for (const PortChoice& choice : choices)
        combo->addItem(choice.label, choice.path);
    const int index = combo->findData(current);
    if (index >= 0)
        combo->setCurrentIndex(index);
    else
        combo->setEditText(current);
    return combo;
}

// The path of the chosen entry, or what was typed.
QString portPath(const QComboBox* combo) {
    const int index = combo->currentIndex();
    if (index >= 0 && combo->itemText(index) == combo->currentText())
        return combo->itemData(index).toString();
    return combo->currentText().trimmed();
}

} // namespace

std::vector<PortChoice> hidrawDevices(const QString& sysClass) {
    std::vector<PortChoice> devices;
    const QDir sys(sysClass);
    for (const QString& name : sys.entryList(QDir::Dirs | QDir::System | QDir::NoDotAndDotDot)) {
        QString label = QStringLiteral("/dev/") + name;
        QFile uevent(sys.filePath(name + QStringLiteral("/device/uevent")));
        if (uevent.open(QIODevice::ReadOnly))
            for (const QByteArray& line : uevent.readAll().split('\n'))
                if (line.startsWith("HID_NAME="))
                    label += QStringLiteral(" (%1)").arg(QString::fromUtf8(line.mid(9)));
        devices.push_back({QStringLiteral("/dev/") + name, label});
    }
    return devices;
}

RigDialog::RigDialog(const QString& title, QWidget* parent)
    : QDialog(parent), test_(new QPushButton(tr("Test"))), result_(new QLabel) {
    setWindowTitle(title);
    result_->setWordWrap(true);
    connect(test_, &QPushButton::clicked, this, &RigDialog::runTest);
}

RigDialog::~RigDialog() = default;

void RigDialog::finishLayout(QLayout* fields) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->addButton(test_, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(result_);
    layout->addWidget(buttons);
}

void RigDialog::runTest() {
    test_->setEnabled(false);
    result_->setText(tr("Testing…"));
    testRig_ = std::make_unique<RigPtt>(testTarget());
    connect(testRig_.get(), &RigPtt::failed, this,
            [this](const QString& reason) { endTest(tr("Test failed: ") + reason); });
    connect(testRig_.get(), &RigPtt::pttConfirmed, this, [this](bool keyed) {
        if (!keyed) {
            endTest(tr("Test passed: %1 keyed for half a second").arg(testRig_->deviceName()));
            return;
        }
        QTimer::singleShot(kTestKeyDown, testRig_.get(),
                           [rig = testRig_.get()] { rig->setPtt(false); });
    });
    testRig_->setPtt(true);
}

void RigDialog::endTest(const QString& text) {
    result_->setText(text);
    test_->setEnabled(true);
    // Not from within its own signal: the connection ends once the event loop is back.
    QTimer::singleShot(0, this, [this] { testRig_.reset(); });
}

CatDialog::CatDialog(const RigSettings& settings, const std::vector<PortChoice>& ports,
                     QWidget* parent)
    : RigDialog(tr("Radio (CAT)"), parent), base_(settings), search_(new QLineEdit),
      models_(new QListWidget), port_(portCombo(ports, settings.port)), speed_(new QComboBox),
      address_(new QLineEdit(settings.address)) {
    address_->setObjectName(QStringLiteral("address"));
    search_->setPlaceholderText(tr("Search rig models"));
    listRigModels(this, [this](const std::vector<RigModel>& models, const QString& problem) {
        for (const RigModel& model : models) {
            auto* item = new QListWidgetItem(
                QStringLiteral("%1 (%2)").arg(model.name).arg(model.model), models_);
            item->setData(Qt::UserRole, model.model);
            item->setHidden(!item->text().contains(search_->text(), Qt::CaseInsensitive));
            if (model.model == base_.model)
                models_->setCurrentItem(item);
        }
        if (!problem.isEmpty())
            resultLabel()->setText(problem);
    });
    connect(search_, &QLineEdit::textChanged, this, &CatDialog::filterModels);
    speed_->setEditable(true);
    speed_->addItem(modelDefault(), 0);
    for (int speed : kSpeeds)
        speed_->addItem(QString::number(speed), speed);
    const int speedIndex = speed_->findData(settings.speed);
    if (speedIndex >= 0)
        speed_->setCurrentIndex(speedIndex);
    else
        speed_->setEditText(QString::number(settings.speed));

    auto* fields = new QFormLayout;
    fields->addRow(tr("Rig model"), search_);
    fields->addRow(models_);
    fields->addRow(tr("Serial port"), port_);
    fields->addRow(tr("Speed"), speed_);
    fields->addRow(tr("rigctld address"), address_);
    fields->addRow(
        new QLabel(tr("Hamlib NET rigctl reaches a rigctld at host:port; every other model is "
                      "reached on the serial port.")));
    finishLayout(fields);
}

void CatDialog::filterModels(const QString& text) {
    for (int i = 0; i < models_->count(); ++i)
        models_->item(i)->setHidden(!models_->item(i)->text().contains(text, Qt::CaseInsensitive));
}

int CatDialog::chosenModel() const {
    const QListWidgetItem* item = models_->currentItem();
    return item && !item->isHidden() ? item->data(Qt::UserRole).toInt() : base_.model;
}

RigSettings CatDialog::settings() const {
    RigSettings chosen = base_;
    chosen.model = chosenModel();
    chosen.port = portPath(port_);
    const QString speedText = speed_->currentText();
    chosen.speed = speedText == modelDefault() ? 0 : speedText.toInt();
    chosen.address = address_->text().trimmed();
    return chosen;
}

RigTarget CatDialog::testTarget() const {
    return settings().catTarget();
}

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
