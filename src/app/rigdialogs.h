#pragma once

#include "tx/serialports.h"

#include "tx/rigsettings.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class RigPtt;

// A port offered in a list: the path opened and the name shown.
using PortChoice = SerialPortEntry;

// Where the kernel lists the hidraw devices.
inline const char* const kHidrawClass = "/sys/class/hidraw";

// The hidraw devices listed in sysClass, named by the HID device behind each.
std::vector<PortChoice> hidrawDevices(const QString& sysClass = QLatin1String(kHidrawClass));

// What the CAT and CM108 dialogs share: a Test button that keys the transmitter for half a
// second through the settings shown, and a line that says how that went.
class RigDialog : public QDialog {
    Q_OBJECT

public:
    // The settings as the dialog shows them.
    virtual RigSettings settings() const = 0;
    QPushButton* testButton() const { return test_; }
    QLabel* resultLabel() const { return result_; }

protected:
    RigDialog(const QString& title, QWidget* parent);
    ~RigDialog() override;
    // The target the Test button keys.
    virtual RigTarget testTarget() const = 0;
    // Adds the Test button, its result line and OK/Cancel under the dialog's own fields.
    void finishLayout(QLayout* fields);

private:
    void runTest();
    void endTest(const QString& text);

    QPushButton* test_;
    QLabel* result_;
    std::unique_ptr<RigPtt> testRig_;
};

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
