#include "app/commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QRegularExpression>

#include <array>

namespace {

const QString kOn = QStringLiteral("on");
const QString kOff = QStringLiteral("off");

struct MemoryOption {
    const char* name;
    CommandLine::Action action;
};
constexpr std::array<MemoryOption, 3> kMemoryOptions{{{"play", CommandLine::Action::Play},
                                                      {"record", CommandLine::Action::Record},
                                                      {"select", CommandLine::Action::Select}}};

struct SwitchOption {
    const char* name;
    CommandLine::Action action;
};
constexpr std::array<SwitchOption, 2> kSwitchOptions{
    {{"tune", CommandLine::Action::Tune}, {"tx-enable", CommandLine::Action::TxEnable}}};

// A bus name element: letters, digits, '_' and '-', not starting with a digit.
bool validInstance(const QString& name) {
    static const QRegularExpression element(QStringLiteral("^[A-Za-z_-][A-Za-z0-9_-]*$"));
    return element.match(name).hasMatch();
}

} // namespace

QString versionLine() {
    return QStringLiteral("tavrin " TAVRIN_VERSION);
}

CommandLine CommandLine::parse(const QStringList& arguments, const QString& homeVariable) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Tavrin voice keyer. Without a command it opens the keyer's window; with one it "
        "sends the command to the keyer that runs and exits."));
    const QCommandLineOption helpOption = parser.addHelpOption();
    const QCommandLineOption versionOption = parser.addVersionOption();
    const QCommandLineOption homeOption(
        QStringLiteral("home"),
        QStringLiteral("Keep configuration and messages in <dir> instead of ~/Tavrin "
                       "(default: $TAVRIN_HOME)."),
        QStringLiteral("dir"));
    const QCommandLineOption instanceOption(
        QStringLiteral("instance"),
        QStringLiteral("Name of this keyer on the session bus (org.tavrin.Tavrin.<name>); a "
                       "command goes to the keyer of that name."),
        QStringLiteral("name"));
    parser.addOption(homeOption);
    parser.addOption(instanceOption);
    parser.addOption(
        {QStringLiteral("play"), QStringLiteral("Play memory <n> (1-12)."), QStringLiteral("n")});
    parser.addOption(
        {QStringLiteral("record"), QStringLiteral("Record into memory <n>."), QStringLiteral("n")});
    parser.addOption(
        {QStringLiteral("select"), QStringLiteral("Select memory <n>."), QStringLiteral("n")});
    parser.addOption({QStringLiteral("stop"), QStringLiteral("Stop playing or recording.")});
    parser.addOption({QStringLiteral("tune"), QStringLiteral("Key the transmitter without audio."),
                      QStringLiteral("on|off")});
    parser.addOption({QStringLiteral("tx-enable"),
                      QStringLiteral("Let playback key the transmitter."),
                      QStringLiteral("on|off")});
    parser.addOption({QStringLiteral("status"), QStringLiteral("Print the keyer's state.")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the state as JSON.")});

    CommandLine line;
    // The usage line names the program as the application object knows it.
    if (QCoreApplication::instance())
        line.helpText = parser.helpText();
    if (!parser.parse(arguments)) {
        line.error = parser.errorText();
        return line;
    }
    line.help = parser.isSet(helpOption) || parser.isSet(QStringLiteral("help-all"));
    line.version = parser.isSet(versionOption);
    line.home = parser.isSet(homeOption) ? parser.value(homeOption) : homeVariable;
    line.instance = parser.value(instanceOption);
    line.json = parser.isSet(QStringLiteral("json"));
    line.status = line.json || parser.isSet(QStringLiteral("status"));
    if (parser.isSet(instanceOption) && !validInstance(line.instance))
        line.error = QStringLiteral("Not an instance name: %1 (letters, digits, '_' and '-', "
                                    "not starting with a digit)")
                         .arg(line.instance);
    if (!parser.positionalArguments().isEmpty())
        line.error = QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments()[0]);

    int actions = 0;
    for (const MemoryOption& option : kMemoryOptions) {
        if (!parser.isSet(QLatin1String(option.name)))
            continue;
        ++actions;
        line.action = option.action;
        bool number = false;
        line.memory = parser.value(QLatin1String(option.name)).toInt(&number);
        if (!number)
            line.error = QStringLiteral("--%1 wants a memory number").arg(option.name);
    }
    for (const SwitchOption& option : kSwitchOptions) {
        if (!parser.isSet(QLatin1String(option.name)))
            continue;
        ++actions;
        line.action = option.action;
        const QString value = parser.value(QLatin1String(option.name)).toLower();
        line.on = value == kOn;
        if (value != kOn && value != kOff)
            line.error = QStringLiteral("--%1 wants on or off").arg(option.name);
    }
    if (parser.isSet(QStringLiteral("stop"))) {
        ++actions;
        line.action = Action::Stop;
    }
    if (actions > 1)
        line.error = QStringLiteral("One command at a time");
    return line;
}
