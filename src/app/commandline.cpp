#include "app/commandline.h"

#include "app/remotecontrol.h"
#include "keyer/memories.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
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
constexpr std::array<SwitchOption, 3> kSwitchOptions{{{"tune", CommandLine::Action::Tune},
                                                      {"tx-enable", CommandLine::Action::TxEnable},
                                                      {"loop", CommandLine::Action::Loop}}};

// Qt's own options, which QApplication takes out of the arguments ("-platform offscreen",
// "--style=fusion"). The first look at the command line is made before there is an application
// object, and lets them through. These take a value as the next argument, unless after '='.
const QStringList kToolkitValueOptions{
    QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
    QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
    QStringLiteral("qwindowgeometry"), QStringLiteral("qwindowicon"),
    QStringLiteral("qwindowtitle"),    QStringLiteral("session"),
    QStringLiteral("display"),         QStringLiteral("geometry"),
    QStringLiteral("style"),           QStringLiteral("stylesheet")};
const QStringList kToolkitSwitches{QStringLiteral("qmljsdebugger"), QStringLiteral("reverse"),
                                   QStringLiteral("widgetcount"), QStringLiteral("nograb"),
                                   QStringLiteral("dograb")};

// The arguments without Qt's options; the style they name, if any, in style.
QStringList withoutToolkitOptions(const QStringList& arguments, QString& style) {
    QStringList kept = arguments.mid(0, 1);
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        // Qt reads its options after one dash or two.
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1)
                                 .section(QLatin1Char('='), 0, 0);
        const bool takesValue = kToolkitValueOptions.contains(name);
        if (!argument.startsWith(QLatin1Char('-')) ||
            (!takesValue && !kToolkitSwitches.contains(name))) {
            kept << argument;
            continue;
        }
        const bool joined = argument.contains(QLatin1Char('='));
        const QString value = joined ? argument.section(QLatin1Char('='), 1)
                                     : arguments.value(i + (takesValue ? 1 : 0));
        if (name == QLatin1String("style"))
            style = value;
        if (takesValue && !joined)
            ++i;
    }
    return kept;
}

// The longest name the session bus takes.
constexpr qsizetype kLongestBusName = 255;

// A bus name element: letters, digits, '_' and '-', not starting with a digit; the whole name
// no longer than the bus takes.
bool validInstance(const QString& name) {
    static const QRegularExpression element(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z_-][A-Za-z0-9_-]*")));
    return element.match(name).hasMatch() && remote::serviceName(name).size() <= kLongestBusName;
}

qsizetype longestInstance() {
    return kLongestBusName - remote::serviceName({}).size() - 1;
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
    parser.addOption({QStringLiteral("play-file"),
                      QStringLiteral("Play the sound file at <path>, as a memory plays."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("say"),
                      QStringLiteral("Speak <text> from the recorded phrases (~/Tavrin/phrases), "
                                     "as a memory plays: \"DL1ABC 599 123\"."),
                      QStringLiteral("text")});
    parser.addOption({QStringLiteral("bank"),
                      QStringLiteral("Choose the bank of memories <name> (\"Run\", \"S&P\", …), "
                                     "alone or before another command."),
                      QStringLiteral("name")});
    parser.addOption({QStringLiteral("set"),
                      QStringLiteral("Set a field the memories kept as templates speak, before "
                                     "any command: serial=123, call=DL1ABC (repeatable)."),
                      QStringLiteral("name=value")});
    parser.addOption({QStringLiteral("pause"),
                      QStringLiteral("Pause the message that plays, or go on with a paused one.")});
    parser.addOption({QStringLiteral("stop"), QStringLiteral("Stop playing or recording.")});
    parser.addOption({QStringLiteral("loop"),
                      QStringLiteral("Repeat each message played after the loop delay."),
                      QStringLiteral("on|off")});
    parser.addOption({QStringLiteral("loop-delay"),
                      QStringLiteral("Pause <seconds> between repetitions (to the tenth)."),
                      QStringLiteral("seconds")});
    parser.addOption({QStringLiteral("tune"), QStringLiteral("Key the transmitter without audio."),
                      QStringLiteral("on|off")});
    parser.addOption({QStringLiteral("tx-enable"),
                      QStringLiteral("Let playback key the transmitter."),
                      QStringLiteral("on|off")});
    parser.addOption(
        {QStringLiteral("wait"),
         QStringLiteral("With --play, --play-file or --say: return once the message has "
                        "ended (exit code 0 played, 4 stopped, 1 failed).")});
    parser.addOption({QStringLiteral("status"), QStringLiteral("Print the keyer's state.")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print the state as JSON.")});

    CommandLine line;
    // The usage line names the program as the application object knows it.
    if (QCoreApplication::instance())
        line.helpText = parser.helpText();
    if (!parser.parse(withoutToolkitOptions(arguments, line.style))) {
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
                                    "not starting with a digit, at most %2 of them)")
                         .arg(line.instance)
                         .arg(longestInstance());
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
        if (!number || !MemorySlots::isSlot(line.memory))
            line.error = QStringLiteral("--%1 wants a memory number from 1 to %2")
                             .arg(option.name)
                             .arg(MemorySlots::kSlots);
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
    for (const auto& [name, action] :
         {std::pair{"stop", Action::Stop}, std::pair{"pause", Action::Pause}}) {
        if (!parser.isSet(QLatin1String(name)))
            continue;
        ++actions;
        line.action = action;
    }
    if (parser.isSet(QStringLiteral("play-file"))) {
        ++actions;
        line.action = Action::PlayFile;
        // The keyer runs in a directory of its own; a logger passes names relative to its own.
        line.path = QFileInfo(parser.value(QStringLiteral("play-file"))).absoluteFilePath();
    }
    if (parser.isSet(QStringLiteral("say"))) {
        ++actions;
        line.action = Action::Say;
        line.text = parser.value(QStringLiteral("say"));
    }
    if (parser.isSet(QStringLiteral("loop-delay"))) {
        ++actions;
        line.action = Action::LoopDelay;
        bool number = false;
        line.seconds = parser.value(QStringLiteral("loop-delay")).toDouble(&number);
        if (!number)
            line.error = QStringLiteral("--loop-delay wants a number of seconds");
    }
    if (parser.isSet(QStringLiteral("bank"))) {
        line.bank = parser.value(QStringLiteral("bank"));
        if (line.bank.trimmed().isEmpty())
            line.error = QStringLiteral("--bank wants the name of a bank");
    }
    for (const QString& field : parser.values(QStringLiteral("set"))) {
        const qsizetype equals = field.indexOf(QLatin1Char('='));
        if (equals <= 0)
            line.error = QStringLiteral("--set wants name=value");
        line.fields << std::pair{field.left(equals), field.mid(equals + 1)};
    }
    if (actions > 1)
        line.error = QStringLiteral("One command at a time");
    line.wait = parser.isSet(QStringLiteral("wait"));
    if (line.wait && line.action != Action::Play && line.action != Action::PlayFile &&
        line.action != Action::Say)
        line.error = QStringLiteral("--wait goes with --play, --play-file or --say");
    return line;
}
