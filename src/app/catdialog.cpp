#include "app/catdialog.h"

#include "tx/rigptt.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

constexpr int kSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QString modelDefault() {
    return QCoreApplication::translate("CatDialog", "Model default");
}

} // namespace

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
