#pragma once

#include "app/rigdialog.h"

class QComboBox;
class QSpinBox;

class Cm108Dialog final : public RigDialog {
    Q_OBJECT

public:
    Cm108Dialog(const RigSettings& settings, const std::vector<PortChoice>& devices,
                QWidget* parent = nullptr);
    RigSettings settings() const override;

protected:
    RigTarget testTarget() const override;

private:
    RigSettings base_;
    QComboBox* device_;
    QSpinBox* gpio_;
};
