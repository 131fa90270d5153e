#pragma once

#include "tx/rigsettings.h"
#include "tx/serialports.h"

#include <QDialog>

#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class RigPtt;

// A port offered in a list: the path opened and the name shown.
using PortChoice = SerialPortEntry;

// Where the kernel lists the hidraw devices.
inline const char* const kHidrawClass = "/sys/class/hidraw";

// The hidraw devices listed in sysClass, named by the HID device behind each.
std::vector<PortChoice> hidrawDevices(const QString& sysClass = QLatin1String(kHidrawClass));

// An editable list of ports, the current one chosen or typed in.
QComboBox* portCombo(const std::vector<PortChoice>& choices, const QString& current);
// The path of the chosen entry, or what was typed.
QString portPath(const QComboBox* combo);

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
