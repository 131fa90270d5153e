#pragma once

#include "app/rigdialog.h"

class QComboBox;
class QLineEdit;
class QListWidget;

class CatDialog final : public RigDialog {
    Q_OBJECT

public:
    CatDialog(const RigSettings& settings, const std::vector<PortChoice>& ports,
              QWidget* parent = nullptr);
    RigSettings settings() const override;

protected:
    RigTarget testTarget() const override;

private:
    void filterModels(const QString& text);
    int chosenModel() const;

    RigSettings base_;
    QLineEdit* search_;
    QListWidget* models_;
    QComboBox* port_;
    QComboBox* speed_;
    QLineEdit* address_;
};
