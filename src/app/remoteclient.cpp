#include "app/remoteclient.h"

#include "app/commandline.h"
#include "app/remotecontrol.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <limits>

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

template <typename T> QList<T> listOf(const QVariant& value) {
    return qdbus_cast<QList<T>>(value.value<QDBusArgument>());
}

// "playing 3, looping, transmitting": what the keyer does, then what runs beside it.
QString statusLine(const QVariantMap& p) {
    const QString state = p.value(QStringLiteral("State")).toString();
    const QString file = p.value(QStringLiteral("File")).toString();
    QStringList parts{QStringLiteral("%1 %2").arg(
        state, file.isEmpty() ? p.value(QStringLiteral("Memory")).toString() : file)};
    if (state == QLatin1String("idle"))
        parts[0] = QStringLiteral("idle, memory %1").arg(p.value(QStringLiteral("Memory")).toInt());
    for (const char* flag : {"Looping", "Tuning"})
        if (p.value(QLatin1String(flag)).toBool())
            parts << QString::fromLatin1(flag).toLower();
    parts << (p.value(QStringLiteral("Transmitting")).toBool() ? QStringLiteral("transmitting")
                                                               : QStringLiteral("receiving"));
    if (p.value(QStringLiteral("UnkeyNotConfirmed")).toBool())
        parts << QStringLiteral("unkey not confirmed");
    parts << (p.value(QStringLiteral("TxEnabled")).toBool() ? QStringLiteral("tx enable on")
                                                            : QStringLiteral("tx enable off"));
    parts << QStringLiteral("bank %1").arg(p.value(QStringLiteral("Bank")).toString());
    return parts.join(QStringLiteral(", "));
}

QByteArray statusJson(const QVariantMap& p) {
    QJsonObject status;
    status.insert(QStringLiteral("state"), p.value(QStringLiteral("State")).toString());
    status.insert(QStringLiteral("memory"), p.value(QStringLiteral("Memory")).toInt());
    status.insert(QStringLiteral("file"), p.value(QStringLiteral("File")).toString());
    status.insert(QStringLiteral("loopDelay"), p.value(QStringLiteral("LoopDelay")).toDouble());
    for (const char* flag :
         {"Looping", "Tuning", "Transmitting", "UnkeyNotConfirmed", "TxEnabled"}) {
        QString key = QString::fromLatin1(flag);
        key[0] = key[0].toLower();
        status.insert(key, p.value(QLatin1String(flag)).toBool());
    }
    const QList<bool> present = listOf<bool>(p.value(QStringLiteral("Present")));
    const QList<double> lengths = listOf<double>(p.value(QStringLiteral("Lengths")));
    const QStringList notes = p.value(QStringLiteral("Notes")).toStringList();
    QJsonArray memories;
    for (int i = 0; i < present.size() && i < lengths.size() && i < notes.size(); ++i)
        memories.append(QJsonObject{{QStringLiteral("memory"), i + 1},
                                    {QStringLiteral("present"), present[i]},
                                    {QStringLiteral("seconds"), lengths[i]},
                                    {QStringLiteral("note"), notes[i]}});
    status.insert(QStringLiteral("memories"), memories);
    status.insert(QStringLiteral("bank"), p.value(QStringLiteral("Bank")).toString());
    status.insert(QStringLiteral("banks"),
                  QJsonArray::fromStringList(p.value(QStringLiteral("Banks")).toStringList()));
    return QJsonDocument(status).toJson(QJsonDocument::Compact);
}

QDBusMessage call(const QString& service, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, remote::kObjectPath, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message);
}

QDBusMessage send(const CommandLine& line, const QString& service) {
    using Action = CommandLine::Action;
    const auto keyer = [&](const char* method, const QVariantList& arguments = {}) {
        return call(service, remote::kInterface, QString::fromLatin1(method), arguments);
    };
    switch (line.action) {
    case Action::Play:
        return keyer("Play", {line.memory});
    case Action::PlayFile:
        return keyer("PlayFile", {line.path});
    case Action::Say:
        return keyer("Say", {line.text});
    case Action::Pause:
        return keyer("Pause");
    case Action::Loop:
        return keyer("SetLoop", {line.on});
    case Action::LoopDelay:
        return keyer("SetLoopDelay", {line.seconds});
    case Action::Record:
        return keyer("Record", {line.memory});
    case Action::Select:
        return keyer("Select", {line.memory});
    case Action::Stop:
        return keyer("Stop");
    case Action::Tune:
        return keyer("Tune", {line.on});
    case Action::TxEnable:
        return keyer("TxEnable", {line.on});
    case Action::None:
        break;
    }
    return call(service, QStringLiteral("org.freedesktop.DBus.Properties"),
                QStringLiteral("GetAll"), {remote::kInterface});
}

// The bus itself went away or would not answer, as against no keyer on it.
bool busLost(const QDBusMessage& reply) {
    const QDBusError::ErrorType type = QDBusError(reply).type();
    return type == QDBusError::NoServer || type == QDBusError::Disconnected;
}

} // namespace

ClientExit runClient(const CommandLine& line) {
    qDBusRegisterMetaType<QList<bool>>();
    qDBusRegisterMetaType<QList<double>>();
    const QString service = remote::serviceName(line.instance);
    if (!QDBusConnection::sessionBus().isConnected()) {
        err() << "tavrin: no session bus: " << QDBusConnection::sessionBus().lastError().message()
              << Qt::endl;
        return ClientExit::NotRunning;
    }
    QList<QDBusMessage> replies;
    // The bank first, then the fields, so that the command speaks them in that bank; a bank or
    // a field refused stops what follows.
    const auto answered = [&replies] {
        return replies.isEmpty() || replies.last().type() == QDBusMessage::ReplyMessage;
    };
    if (!line.bank.isEmpty())
        replies << call(service, remote::kInterface, QStringLiteral("SelectBank"), {line.bank});
    for (const auto& [name, value] : line.fields) {
        if (!answered())
            break;
        replies << call(service, remote::kInterface, QStringLiteral("SetField"), {name, value});
    }
    const bool prepared = answered();
    const qsizetype sent = replies.size();
    if (line.action != CommandLine::Action::None && prepared)
        replies << send(line, service);
    // A message ends when it ends, however long it is; the state asked for is the state after.
    const bool waited = line.wait && replies.size() > sent &&
                        replies.value(sent).type() == QDBusMessage::ReplyMessage;
    if (waited) {
        QDBusMessage wait = QDBusMessage::createMethodCall(
            service, remote::kObjectPath, remote::kInterface, QStringLiteral("Wait"));
        replies << QDBusConnection::sessionBus().call(wait, QDBus::Block,
                                                      std::numeric_limits<int>::max());
    }
    if (line.status) {
        CommandLine status = line;
        status.action = CommandLine::Action::None;
        replies << send(status, service);
    }
    ClientExit exit = ClientExit::Done;
    if (waited && replies[sent + 1].type() == QDBusMessage::ReplyMessage) {
        const QString how = replies[sent + 1].arguments().value(0).toString();
        if (how.startsWith(QLatin1String("failed"))) {
            err() << "tavrin: " << how << Qt::endl;
            exit = ClientExit::Refused;
        } else if (how != QLatin1String("played")) {
            exit = ClientExit::Stopped;
        }
    }
    for (const QDBusMessage& reply : replies) {
        if (reply.type() != QDBusMessage::ErrorMessage)
            continue;
        if (busLost(reply)) {
            err() << "tavrin: no session bus: " << reply.errorMessage() << Qt::endl;
            return ClientExit::NotRunning;
        }
        if (QDBusError(reply).type() == QDBusError::ServiceUnknown) {
            err() << "tavrin: no Tavrin is running under the name " << service << Qt::endl;
            return ClientExit::NotRunning;
        }
        err() << "tavrin: " << reply.errorMessage() << Qt::endl;
        // What the keyer calls out of range is a wrong command line.
        const bool invalid = QDBusError(reply).type() == QDBusError::InvalidArgs;
        exit = invalid ? ClientExit::Usage : ClientExit::Refused;
        if (invalid)
            return exit;
    }
    if (line.status && replies.last().type() == QDBusMessage::ReplyMessage) {
        const QVariantMap properties =
            qdbus_cast<QVariantMap>(replies.last().arguments().value(0).value<QDBusArgument>());
        QTextStream out(stdout);
        out << (line.json ? QString::fromUtf8(statusJson(properties)) : statusLine(properties))
            << Qt::endl;
    }
    return exit;
}
