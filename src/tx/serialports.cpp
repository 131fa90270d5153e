#include "tx/serialports.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

namespace {

// "usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0" reads "FTDI FT232R USB UART A1B2C3": the bus
// prefix and the interface and port suffixes say nothing to the operator.
QString readableName(QString link) {
    static const QRegularExpression bus(QStringLiteral("^(usb|pci|platform)-"));
    static const QRegularExpression suffix(QStringLiteral("(-if[0-9a-fA-F]+)?(-port[0-9]+)?$"));
    link.remove(bus);
    link.remove(suffix);
    link.replace(QLatin1Char('_'), QLatin1Char(' '));
    return link.isEmpty() ? QStringLiteral("USB serial") : link;
}

} // namespace

std::vector<SerialPortEntry> listSerialPorts(const QString& devRoot) {
    std::vector<SerialPortEntry> ports;
    QSet<QString> reached;
    const QDir byId(QDir(devRoot).filePath(QStringLiteral("serial/by-id")));
    for (const QFileInfo& link :
         byId.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        ports.push_back({link.filePath(), readableName(link.fileName())});
        reached.insert(link.canonicalFilePath());
    }
    const QDir dev(devRoot);
    const QStringList bare{QStringLiteral("ttyUSB*"), QStringLiteral("ttyACM*")};
    for (const QFileInfo& device :
         dev.entryInfoList(bare, QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (!reached.contains(device.canonicalFilePath()))
            ports.push_back({device.filePath(), device.fileName()});
    }
    return ports;
}
