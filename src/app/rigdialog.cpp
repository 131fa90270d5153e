#include "app/rigdialog.h"

#include "tx/rigptt.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// How long Test keys the transmitter.
constexpr std::chrono::milliseconds kTestKeyDown{500};

} // namespace

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

QString portPath(const QComboBox* combo) {
    const int index = combo->currentIndex();
    if (index >= 0 && combo->itemText(index) == combo->currentText())
        return combo->itemData(index).toString();
    return combo->currentText().trimmed();
}

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
            [this](const Notice& reason) { endTest(tr("Test failed: ") + reason.shown()); });
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
