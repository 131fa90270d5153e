// The built program controlled from outside: a private session bus, the program's own client.
#include "app/remotecontrol.h"
#include "app/translations.h"
#include "audiopump.h"
#include "config/configrecord.h"
#include "rigctld.h"
#include "tonefile.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

#include <memory>
#include <optional>

namespace {
constexpr int kTimeoutMs = 20000;
constexpr int kMessageSeconds = 20; // outlasts every row that plays it
constexpr int kNotRunning = 3;
constexpr int kSettleMs = 200; // for the keyer's signals to arrive
// For an unkey to fall overdue, or a rig continued to take it.
constexpr int kUnkeyMs = int(KeyingLine::kUnkeyWait.count()) + 1000;
enum class Needs { Nothing, Sound, Rig }; // what a row of commands plays or keys

// A rigctld that a keyer started in that folder keys as its CAT rig.
bool keysThrough(Rigctld& rig, const QString& folder) {
    return rig.ready() && writeBytes(folder + "Tavrin.ini",
                                     "[Rig]\nKeying=CAT\nAddress=" + rig.address().toLatin1());
}

struct Run {
    int code;
    QString out, err;
};

// A session bus of the test's own, and keyers started on it.
class BusSession {
public:
    BusSession() : env_(QProcessEnvironment::systemEnvironment()) {
        bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (bus_.waitForReadyRead(kTimeoutMs))
            env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus_.readLine().trimmed()));
        env_.insert("HOME", home_.path());
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    ~BusSession() {
        for (auto& keyer : keyers_) {
            keyer->terminate();
            keyer->waitForFinished(kTimeoutMs);
        }
    }
    QString folder(const QString& name) const { return home_.filePath(name) + '/'; }
    QProcess& start(const QStringList& args, const QString& homeVariable = {}) {
        QProcess& keyer = *keyers_.emplace_back(std::make_unique<QProcess>());
        keyer.setEnvironment(env_.toStringList() << "TAVRIN_HOME=" + homeVariable);
        keyer.start(QStringLiteral(TAVRIN_EXECUTABLE), args);
        return keyer;
    }
    QDBusConnection bus(const QString& name) const {
        return QDBusConnection::connectToBus(env_.value("DBUS_SESSION_BUS_ADDRESS"), name);
    }
    Run client(const QStringList& args, const QProcessEnvironment& env = {},
               const QString& program = TAVRIN_EXECUTABLE, const QString& dir = {}) const {
        QProcess process;
        process.setProcessEnvironment(env.isEmpty() ? env_ : env);
        process.setWorkingDirectory(dir.isEmpty() ? home_.path() : home_.filePath(dir));
        process.start(program, args);
        // Events run meanwhile, so a keyer in this very process answers; a client still
        // running at the timeout has no exit code to show.
        const bool ended =
            QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, kTimeoutMs);
        return {ended ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput().trimmed()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    bool answers(const QStringList& instance = {}) const {
        QDeadlineTimer deadline(kTimeoutMs);
        while (!deadline.hasExpired() && client(instance + QStringList{"--status"}).code != 0)
            QThread::msleep(100);
        return !deadline.hasExpired();
    }
    // A logger's hook run as the logger runs it, finding tavrin on the PATH: TLF's
    // "./play_vk FILE" through the shell from its contest directory, CQRLOG's
    // voice_keyer.sh with the F-key.
    Run hook(const QString& logger, const QString& argument) const {
        const bool tlf = logger == "tlf";
        const QString name = tlf ? "play_vk" : "voice_keyer.sh", dir = tlf ? "contest" : "cqrlog";
        QDir().mkpath(folder(dir));
        QFile::copy(QStringLiteral(TAVRIN_HOOKS "/%1/%2").arg(logger, name), folder(dir) + name);
        QProcessEnvironment env = env_;
        env.insert("PATH", QFileInfo(TAVRIN_EXECUTABLE).path() + ':' + env.value("PATH"));
        return tlf ? client({"-c", "./play_vk " + folder(argument).chopped(1)}, env, "sh", dir)
                   : client({argument}, env, folder(dir) + name);
    }
    QProcessEnvironment env_;
    QTemporaryDir home_;
    QProcess bus_;
    std::vector<std::unique_ptr<QProcess>> keyers_;
};

} // namespace

class RemoteTest : public QObject {
    Q_OBJECT
    QStringList announced_;

public slots:
    // Flags and numbers with their values, texts and lists by name.
    void propertiesChanged(const QString&, const QVariantMap& changed, const QStringList& names) {
        announced_ += names;
        for (auto [name, value] : changed.asKeyValueRange())
            announced_ +=
                QList{QMetaType::Bool, QMetaType::Int, QMetaType::Double}.contains(value.typeId())
                    ? name + '=' + value.toString()
                    : name;
        announced_.sort();
        announced_.removeDuplicates();
    }

private slots:
    // A command that fails, at once or later while its message plays, opens no box and leaves
    // the focus with the logger's window: the caller and the status line hear of it. The
    // operator's own PLAY afterwards gets its box as before. In German the status line and the
    // box speak German, and the caller still reads English. Command, what fails, exit code, the
    // status line after it, what the caller reads.
    void aRemoteFailureNeverTakesTheFocus_data() {
        columns<QString, QString, int, QString, QString>("command", "fails", "code", "status",
                                                         "answer");
        const auto row = [](const char* command, const char* fails, int code, const char* status,
                            const char* answer) {
            QTest::newRow(fails) << command << fails << code << status << QString(answer);
        };
        row("--play 5", "a missing memory", 1, "Memory 5 is empty",
            "Play 5 failed: Could not open the file");
        row("--play-file nothing.wav", "a missing file", 1, "Nothing to play in nothing.wav",
            "failed: Could not open the file");
        row("--play 1 --wait", "the device, two blocks in", 1,
            "Error writing to the output device a", "failed: Error writing to the output device a");
        row("--play 1", "the device, at its open", 1, "Error Opening Output wave device",
            "failed: Error Opening Output wave device");
        row("--play 1", "the device, at its open, in German", 1,
            "Fehler beim Öffnen des Audio-Ausgabegeräts",
            "failed: Error Opening Output wave device");
        row("--tune on", "a rig that stops answering", 0, "rigctld at 127.0.0.1:", "");
        row("--play 1 --wait", "nothing", 0, "Playback ended", "");
    }
    void aRemoteFailureNeverTakesTheFocus() {
        QFETCH(QString, command);
        QFETCH(QString, fails);
        QFETCH(int, code);
        QFETCH(QString, status);
        QFETCH(QString, answer);
        if (fails.contains("rig") && !Rigctld::available())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        const bool german = fails.contains("German");
        installTranslations(*qApp, QLocale(german ? "de_DE" : "en_US"));
        const auto english = qScopeGuard([] { qDeleteAll(qApp->findChildren<QTranslator*>()); });
        BusSession station;
        WindowHarness h;
        h.writeMessage(1, pattern(6 * kBlock));
        std::optional<Rigctld> rig;
        QVERIFY(!fails.contains("rig") || keysThrough(rig.emplace(), h.installDir()));
        MainWindow& w = rig ? h.open() : h.openKeying();
        if (fails.startsWith("the device"))
            fails.contains("open") ? h.wave.failOn(Dir::Output, Op::Open)
                                   : h.wave.failOn(Dir::Output, Op::Queue, 3);
        QWidget logger;
        logger.show();
        logger.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&logger));
        RemoteControl remote(w.station(), w.noteBox());
        static int rowsRun = 0; // a row that failed leaves its connection behind
        const QString name = QStringLiteral("inproc%1").arg(++rowsRun);
        QString error;
        QVERIFY2(remote.publish(station.bus(name), remote::serviceName(name), error),
                 qPrintable(error));
        AudioPump pump(h.wave, Dir::Output);
        const Run run = station.client(QStringList{"--instance", name} + command.split(' '));
        QCOMPARE(run.code, code);
        if (rig) // the transmitter keyed, the rig goes
            rig->stop();
        QTRY_VERIFY2(w.ui().statusLine->text().contains(status),
                     qPrintable(w.ui().statusLine->text()));
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(QApplication::activeWindow(), &logger);
        QVERIFY2(code == 0 || (run.err.count('\n') == 1 && run.err.contains("failed") &&
                               run.err.contains(answer)),
                 qPrintable(run.err));
        QDBusConnection::disconnectFromBus(name);
        click(w.ui().memoryButtons[4]);
        click(w.ui().playButton);
        QCOMPARE(h.dialogs.texts(), QStringList{"Could not open the file"});
        QCOMPARE(h.dialogs.messages[0].shown, QString(german ? "Die Datei konnte nicht geöffnet "
                                                               "werden"
                                                             : "Could not open the file"));
    }

    // A bank is chosen from the bus or the command line, alone or before a command, as the
    // window chooses it; the status names it, lists the banks and gives its notes. Refused
    // while a message is paused; a name no bank has is a wrong command line, and so is a bank
    // whose folder in the settings file lies outside the banks folder. Commands, exit
    // code of the last, whether S&P is chosen after, what the last says.
    void banksFromOutside_data() {
        columns<QString, int, bool, QString>("commands", "code", "chosen", "says");
        QTest::newRow("alone") << "--bank S&P" << 0 << true << QString();
        QTest::newRow("and play") << "--bank S&P --play 2" << 0 << true << QString();
        QTest::newRow("any case") << "--bank s&p --status" << 0 << true << "bank S&P";
        QTest::newRow("bus") << "call S&P" << 0 << true << QString();
        QTest::newRow("unknown") << "--bank Up --play 2" << 2 << false << "banks are Run, S&P";
        QTest::newRow("paused") << "--play 1;--pause;--bank S&P" << 1 << false
                                << "refused: the keyer is paused 1";
    }
    void banksFromOutside() {
        QFETCH(QString, commands);
        QFETCH(int, code);
        QFETCH(bool, chosen);
        QFETCH(QString, says);
        BusSession station;
        WindowHarness h;
        h.writeMessage(2, pattern(2 * kBlock, 9), "S_P");
        QVERIFY(writeBytes(h.installDir() + "Tavrin.ini",
                           "[Banks]\nBank\\1\\Name=S&P\nBank\\2\\Name=Up\nBank\\2\\Folder=..\n"
                           "Bank\\1\\Folder=S_P\nBank\\1\\Note2=QRZ?\nBank\\size=2\n"));
        h.writeMessage(1, pattern(6 * kBlock));
        MainWindow& w = h.openKeying();
        RemoteControl remote(w.station(), w.noteBox());
        const QString name = QStringLiteral("banks%1").arg(QTest::currentDataTag()).remove(' ');
        QString error;
        QVERIFY2(remote.publish(station.bus(name), remote::serviceName(name), error),
                 qPrintable(error));
        AudioPump pump(h.wave, Dir::Output);
        const bool paused = commands.contains("pause");
        if (paused) // memory 1 stays at its start, paused
            pump.stop();
        Run run;
        for (const QString& command : commands.split(';')) {
            if (command.startsWith("call")) { // a logger's own D-Bus code
                QDBusPendingCall reply = station.bus("caller").asyncCall(
                    QDBusMessage::createMethodCall(remote::serviceName(name), remote::kObjectPath,
                                                   remote::kInterface, "SelectBank")
                    << command.mid(5));
                QTRY_VERIFY(reply.isFinished());
                run.code = reply.isError();
            } else {
                run = station.client(QStringList{"--instance", name} + command.split(' '));
            }
        }
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
        QCOMPARE(w.ui().statusLine->text().startsWith("The bank stays"), paused);
        if (paused)
            w.station().keyer().stopEverything();
        untilMessageEnds(w);
        const bool played = commands.endsWith("--play 2") && !code;
        QCOMPARE(h.wave.played().startsWith(pattern(2 * kBlock, 9)), played);
        const QJsonDocument json =
            QJsonDocument::fromJson(station.client({"--instance", name, "--json"}).out.toUtf8());
        QCOMPARE(json["bank"].toString(), chosen ? "S&P" : "Run");
        QCOMPARE(json["memory"].toInt(), played ? 2 : 1); // a refused bank takes its command along
        QCOMPARE(json["banks"].toArray(), QJsonArray({"Run", "S&P"}));
        QCOMPARE(json["memories"][1]["note"].toString(), chosen ? "QRZ?" : "");
        QCOMPARE(json["memories"][0]["present"].toBool(), !chosen); // S&P has memory 2 alone
        QDBusConnection::disconnectFromBus(name);
        QDBusConnection::disconnectFromBus("caller");
    }

    // Without a keyer, and without a display, the client still answers; a bad command line is
    // refused before the bus is asked, Qt's own options pass. Arguments (LONG: a name past the
    // bus's 255 characters), whether a bus runs, exit code, what it says.
    void withoutKeyer_data() {
        columns<QStringList, bool, int, QString>("arguments", "bus", "code", "says");
        const auto row = [](QString arguments, bool bus, int code, const char* says) {
            QTest::newRow(
                qPrintable(QString(arguments).replace('\n', "\\n") + (bus ? "" : ", no bus")))
                << arguments.replace("LONG", QString(238, 'a')).split(' ') << bus << code << says;
        };
        row("--version", false, 0, "tavrin 1.23");
        row("--help", false, 0, "--play <n>");
        row("--play x", true, 2, "memory number");
        for (const char* arguments : {"--play 0", "--select 13", "--record -1"})
            row(arguments, true, 2, "memory number from 1 to 12");
        for (const char* arguments : {"--instance LONG", "--instance a\n"})
            row(arguments, true, 2, "Not an instance name");
        row("--stop --select 1", true, 2, "One command");
        row("--loop maybe", true, 2, "--loop wants on or off");
        row("--loop-delay soon", true, 2, "--loop-delay wants a number of seconds");
        row("--play 3", true, 3, "no Tavrin is running");
        row("-platform offscreen -style=fusion --play 3", true, 3, "no Tavrin is running");
        row("--play 3", false, 3, "no session bus: Failed to connect");
    }
    void withoutKeyer() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, bus);
        QFETCH(int, code);
        QFETCH(QString, says);
        const BusSession station;
        QProcessEnvironment env = station.env_;
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        if (!bus)
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        const Run run = station.client(arguments, env);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
    }

    // Each command runs the button's own handler: same refusals, same keying. Memory 3 holds a
    // message with a note, memory 6 a FLAC of 2 s under a .wav name, the others none; the status
    // tells them apart in every state. Commands ("call": a method called on the bus directly, as
    // a logger's own D-Bus code does; "stall", "resume": the rigctld keyed through; "wait": for
    // an unkey to be late; "sleep MS"; "tlf FILE", "cqrlog F<n>": the shipped hooks), whether
    // they play or key a rig, exit code of the last, status after, what the last announces.
    void commands_data() {
        columns<QStringList, Needs, int, QString, QStringList>("commands", "needs", "code",
                                                               "status", "announces");
        const auto row = [](QStringList commands, Needs needs, int code, const char* status,
                            QStringList announces = {}) {
            QTest::newRow(qPrintable(commands.join(';')))
                << commands << needs << code << status << announces;
        };
        const QStringList silentTune = {"--tune on", "stall", "--tune off", "wait"};
        row(silentTune, Needs::Rig, 0, "idle, memory 1, transmitting, unkey not confirmed",
            {"UnkeyNotConfirmed=true"});
        row(silentTune + QStringList{"resume"}, Needs::Rig, 0, "idle, memory 1, receiving",
            {"Transmitting=false", "UnkeyNotConfirmed=false"});
        row({"--tune on"}, Needs::Nothing, 0, "idle, memory 1, tuning, transmitting",
            {"Transmitting=true", "Tuning=true"});
        row({"--tune on", "--tune off"}, Needs::Nothing, 0, "idle, memory 1, receiving",
            {"Transmitting=false", "Tuning=false"});
        row({"--tx-enable on"}, Needs::Nothing, 0, "idle, memory 1, receiving, tx enable on",
            {"TxEnabled=true"});
        row({"call Play 13"}, Needs::Nothing, 2, "idle, memory 1");
        row({"--loop-delay 1e9"}, Needs::Nothing, 2, "idle, memory 1");
        row({"--loop on", "--loop-delay 2.5"}, Needs::Nothing, 0, "idle, memory 1, looping",
            {"LoopDelay=2.5"});
        row({"--pause"}, Needs::Nothing, 1, "idle, memory 1");
        // The failure comes back, and no box stays.
        row({"--play 5"}, Needs::Nothing, 1, "idle, memory 5", {"Memory=5"});
        row({"--play 5", "--tune on"}, Needs::Nothing, 0, "idle, memory 5, tuning, transmitting",
            {"Transmitting=true", "Tuning=true"});
        row({"--play 6 --wait --status"}, Needs::Sound, 0, "idle, memory 6", {"Memory=6", "State"});
        row({"--play 6", "--play 6 --wait"}, Needs::Sound, 0, "idle, memory 6", {"State"});
        row({"--tx-enable on", "--play 3"}, Needs::Sound, 0,
            "playing 3, transmitting, tx enable on", {"Memory=3", "State", "Transmitting=true"});
        row({"--play 3"}, Needs::Sound, 0, "playing 3, receiving", {"Memory=3", "State"});
        row({"--play 3", "--play 6", "sleep 200"}, Needs::Sound, 0, "playing 6, receiving");
        row({"--play 6", "sleep 1500", "--play 6", "sleep 1000"}, Needs::Sound, 0,
            "playing 6"); // again from its start
        row({"--play 3", "--pause"}, Needs::Sound, 0, "paused 3, receiving", {"State"});
        row({"--play 3", "--pause", "--select 6", "--pause"}, Needs::Sound, 0, "playing /",
            {"State"}); // 3 resumes
        row({"--play-file ext.flac"}, Needs::Sound, 0, "playing /", {"File", "State"});
        // An exchange spoken from phrases; Q is not recorded.
        row({"--say 59"}, Needs::Sound, 0, "playing /", {"File", "State"});
        row({"--say 5Q9"}, Needs::Nothing, 2, "idle, memory 1");
        row({"--tx-enable on", "--play 3", "--stop"}, Needs::Sound, 0,
            "idle, memory 3, receiving, tx enable on", {"State", "Transmitting=false"});
        row({"--record 4"}, Needs::Sound, 0, "recording 4, receiving", {"Memory=4", "State"});
        row({"--record 4", "sleep 1000", "--stop"}, Needs::Sound, 0, "idle, memory 4",
            {"Lengths", "Present", "State"});
        row({"cqrlog F3"}, Needs::Sound, 0, "playing 3", {"Memory=3", "State"});
        row({"cqrlog F3", "cqrlog F3"}, Needs::Sound, 0, "idle, memory 3", {"State"});
        row({"cqrlog F3", "cqrlog F6", "sleep 200"}, Needs::Sound, 0, "playing 6");
        row({"tlf Tavrin/memory6.wav"}, Needs::Sound, 0, "idle, memory 6",
            {"Memory=6", "State"}); // ended on return
        row({"tlf ext.flac"}, Needs::Sound, 0, "idle, memory 1", {"File", "State"});
        row({"--record 4", "--play 3"}, Needs::Sound, 1, "recording 4, receiving");
        row({"--play 3", "--record 4"}, Needs::Sound, 1, "playing 3");
        // The memory is right, the state is not.
        row({"--play 3", "--record 3"}, Needs::Sound, 1, "playing 3");
        row({"--play 3", "--select 1"}, Needs::Sound, 1, "playing 3");
    }
    void commands() {
        QFETCH(QStringList, commands);
        QFETCH(Needs, needs);
        QFETCH(int, code);
        QFETCH(QString, status);
        QFETCH(QStringList, announces);
        if (needs == Needs::Sound && qEnvironmentVariableIsEmpty("TAVRIN_PULSE"))
            QSKIP("no PulseAudio (run through scripts/test.sh)");
        if (needs == Needs::Rig && !Rigctld::available())
            QSKIP("rigctld (libhamlib-utils) is not installed");
        std::optional<Rigctld> rig; // outlives the keyer, which unkeys it at its end
        BusSession station;
        const QString dir = station.folder("Tavrin");
        QVERIFY(QDir().mkpath(dir) && (needs != Needs::Rig || keysThrough(rig.emplace(), dir)));
        WaveBytes wave;
        wave.samples = QByteArray(kMessageSeconds * 22050 + 8820, 0);
        QVERIFY(writeBytes(dir + "memory3.wav", wave.bytes()));
        QVERIFY(QDir().mkpath(dir + "phrases"));
        for (const char* digit : {"5", "9"})
            QVERIFY(writeTone(dir + "phrases/" + digit + ".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                              11025, 1, 11025, 0.5));
        for (auto [name, rate, channels, seconds] :
             {std::tuple{"Tavrin/memory6.wav", 48000, 2, 2}, std::tuple{"ext.flac", 22050, 1, 1}})
            QVERIFY(writeTone(station.folder(name).chopped(1), SF_FORMAT_FLAC | SF_FORMAT_PCM_16,
                              rate, channels, rate * seconds, 0.5));
        ConfigRecord record;
        record.messageTexts[3] = "CQ contest";
        QVERIFY(writeBytes(dir + "Tavrin.cfg", record.serialize()));
        station.start({"-platform", "offscreen", "-style", "Windows"});
        QVERIFY(station.answers());
        QDBusConnection bus = station.bus(QTest::currentDataTag());
        QVERIFY(bus.connect({}, remote::kObjectPath, "org.freedesktop.DBus.Properties",
                            "PropertiesChanged", this,
                            SLOT(propertiesChanged(QString, QVariantMap, QStringList))));
        Run run;
        for (const QString& command : commands) {
            announced_.clear();
            const QStringList words = command.split(' ');
            if (words[0] == "call") {
                const QDBusMessage reply = bus.call(
                    QDBusMessage::createMethodCall(remote::serviceName({}), remote::kObjectPath,
                                                   remote::kInterface, words[1])
                    << words[2].toInt());
                const bool invalid = reply.errorName() == "org.freedesktop.DBus.Error.InvalidArgs";
                run = {invalid ? 2 : reply.type() == QDBusMessage::ErrorMessage,
                       {},
                       reply.errorMessage() + '\n'};
            } else if (command == "stall" || command == "resume") {
                rig->pause(command == "stall");
            } else if (words[0] == "sleep") {
                QTest::qWait(words[1].toInt());
            } else if (words[0] == "tlf" || words[0] == "cqrlog") {
                run = station.hook(words[0], words[1]);
            } else if (command != "wait") {
                run = station.client(words);
            }
            QTest::qWait(QStringList{"wait", "stall", "resume"}.contains(command) ? kUnkeyMs
                                                                                  : kSettleMs);
        }
        QDBusConnection::disconnectFromBus(bus.name());
        QCOMPARE(announced_, announces);
        QCOMPARE(run.code, code);
        QVERIFY2(run.code != 1 || run.err.contains("refused") ||
                     run.err.contains("failed: Could not open the file"),
                 qPrintable(run.err));
        // Out of range as the keyer judges it: one line, no usage hint as for a mistyped option.
        QVERIFY2(run.code != 2 || (run.err.count('\n') == 1 && !run.err.contains("--help")),
                 qPrintable(run.err));
        // A state asked for with the command is the state after it (after its end, with --wait).
        QVERIFY2(!commands.last().endsWith("--status") || run.out.startsWith(status),
                 qPrintable(run.out));
        const QString now = station.client({"--status"}).out;
        QVERIFY2(now.startsWith(status), qPrintable(now));
        const QJsonDocument json = QJsonDocument::fromJson(station.client({"--json"}).out.toUtf8());
        const QJsonArray memories = json["memories"].toArray();
        QCOMPARE(json["file"].toString().startsWith('/'), now.contains('/')); // a file's own
        QVERIFY(memories.size() == 12 && !memories[0]["present"].toBool());
        QVERIFY(memories[2]["present"].toBool() && memories[2]["note"] == "CQ contest");
        QVERIFY(memories[5]["present"].toBool() && memories[5]["seconds"].toDouble() == 2.0);
        QCOMPARE(memories[2]["seconds"].toDouble(), kMessageSeconds + 0.4);
        QVERIFY(commands.last() != "resume" || rig->ptt() == 0);
    }

    // Memory 4 is kept as the template "{serial} {call}", spoken from phrases of 200 ms each:
    // fields set with --set (before the command in the same run) or over the bus change what it
    // speaks; an unknown field, a bad serial or a field not set is refused as the caller's
    // mistake (exit code 2), before anything plays. Each command (a client run, or "call METHOD
    // ARGS…" on the bus), exit code of the last, what it says (contained), how many pieces the
    // exchange played last holds (0: none was played).
    void fieldsChangeWhatIsSpoken_data() {
        columns<QStringList, int, QString, int>("commands", "code", "said", "pieces");
        QTest::newRow("set and play")
            << QStringList{"--set serial=59 --set call=ab --play 4 --wait"} << 0 << "" << 4;
        QTest::newRow("a new serial is heard")
            << QStringList{"--set serial=9 --set call=A --play 4 --wait",
                           "--set serial=599 --play 4 --wait"}
            << 0 << "" << 4;
        QTest::newRow("over the bus")
            << QStringList{"call SetField serial 0095", "call SetField call B", "--play 4 --wait"}
            << 0 << "" << 3;
        QTest::newRow("read back")
            << QStringList{"call SetField call dl1abc", "call Field call"} << 0 << "DL1ABC" << 0;
        QTest::newRow("unset") << QStringList{"--set serial=5", "--set serial= --play 4"} << 2
                               << "Play 4: the field serial is not set" << 0;
        QTest::newRow("unknown field")
            << QStringList{"--set band=20 --play 4"} << 2 << "no field is named \"band\"" << 0;
        QTest::newRow("bad serial")
            << QStringList{"call SetField serial 12a"} << 2 << "a number from 0 to 99999" << 0;
        QTest::newRow("not name=value")
            << QStringList{"--set serial --play 4"} << 2 << "--set wants name=value" << 0;
        QTest::newRow("a phrase missing") << QStringList{"--set serial=7 --set call=A --play 4"}
                                          << 2 << "Play 4: \"7\" is not recorded in " << 0;
    }
    void fieldsChangeWhatIsSpoken() {
        QFETCH(QStringList, commands);
        QFETCH(int, code);
        QFETCH(QString, said);
        QFETCH(int, pieces);
        if (qEnvironmentVariableIsEmpty("TAVRIN_PULSE"))
            QSKIP("no PulseAudio (run through scripts/test.sh)");
        constexpr int kPieceFrames = 4410; // 200 ms at 22050 Hz
        BusSession station;
        const QString dir = station.folder("Tavrin");
        QVERIFY(QDir().mkpath(dir + "phrases") &&
                writeBytes(dir + "memory4.txt", "{serial} {call}\n"));
        for (const char* token : {"5", "9", "0", "A", "B", "D", "L", "1", "C"})
            QVERIFY(writeTone(dir + "phrases/" + token + ".wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                              22050, 1, kPieceFrames, 0.5));
        station.start({"-platform", "offscreen"});
        QVERIFY(station.answers());
        QDBusConnection bus = station.bus(QTest::currentDataTag());
        Run run;
        for (const QString& command : commands) {
            const QStringList words = command.split(' ');
            if (words[0] != "call") {
                run = station.client(words);
                continue;
            }
            QDBusMessage message = QDBusMessage::createMethodCall(
                remote::serviceName({}), remote::kObjectPath, remote::kInterface, words[1]);
            for (const QString& argument : words.mid(2))
                message << argument;
            const QDBusMessage reply = bus.call(message);
            const bool invalid = reply.errorName() == "org.freedesktop.DBus.Error.InvalidArgs";
            run = {invalid ? 2 : reply.type() == QDBusMessage::ErrorMessage,
                   reply.arguments().value(0).toString(), reply.errorMessage()};
        }
        QDBusConnection::disconnectFromBus(bus.name());
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(said), qPrintable(run.out + run.err));
        const QJsonDocument json = QJsonDocument::fromJson(station.client({"--json"}).out.toUtf8());
        // Memory 4, a template with no recording, plays all the same.
        QVERIFY(json["state"] == "idle" && json["memories"][3]["present"].toBool());
        SF_INFO info;
        const std::vector<short> spoken = readSound(dir + "exchange.wav", info);
        // A piece is cut to its sound, which the tone nearly fills; each join fades over 5 ms.
        const double heard = spoken.empty() ? 0
                                            : double(spoken.size()) * 22050 / info.samplerate /
                                                  (kPieceFrames - 22050 * 5 / 1000);
        QVERIFY2(std::lround(heard) == pieces, qPrintable(QString::number(heard)));
    }

    // One keyer per folder, none on a folder it cannot lock. The second keyer's --home and
    // TAVRIN_HOME, whether the first was killed (its lock file stays), whether it runs or why not.
    void folders_data() {
        columns<QString, QString, bool, QString>("home", "variable", "killed", "outcome");
        QTest::newRow("another folder") << "B" << QString() << false << "runs";
        QTest::newRow("the same folder") << "A" << QString() << false << "already runs";
        QTest::newRow("the same folder by the variable")
            << QString() << "A" << false << "already runs";
        QTest::newRow("the same folder, the first killed") << "A" << QString() << true << "runs";
        QTest::newRow("a folder named Tavrin.lock held")
            << "L" << QString() << false << "Could not lock";
        // Immutable: nothing can be made in it, not even by root.
        QTest::newRow("immutable") << "R" << QString() << false << "Could not lock";
    }
    void folders() {
        QFETCH(QString, home);
        QFETCH(QString, variable);
        QFETCH(bool, killed);
        QFETCH(QString, outcome);
        const bool runs = outcome == "runs";
        BusSession station;
        QVERIFY(QDir().mkpath(station.folder("L") + "Tavrin.lock") &&
                QDir().mkpath(station.folder("R")));
        const auto chattr = [&](const char* flag) {
            return home != "R" || QProcess::execute("chattr", {flag, station.folder("R")}) == 0;
        };
        const auto thaw = qScopeGuard([&] { chattr("-i"); });
        QVERIFY(chattr("+i"));
        const auto on = [](const char* instance, const QStringList& args) {
            return QStringList{"--instance", instance} + args;
        };
        QProcess& keyer = station.start(on("r1", {"--home", station.folder("A")}));
        QVERIFY(station.answers(on("r1", {})) &&
                station.client(on("r1", {"--select", "4"})).code == 0);
        QVERIFY(!killed || (keyer.kill(), keyer.waitForFinished(kTimeoutMs)));
        QProcess& other = station.start(
            on("r2", home.isEmpty() ? QStringList() : QStringList{"--home", station.folder(home)}),
            variable.isEmpty() ? "" : station.folder(variable));
        if (runs)
            QVERIFY(station.answers(on("r2", {})) &&
                    station.client(on("r2", {"--select", "9"})).code == 0 &&
                    station.client(on("r2", {"--status"})).out.startsWith("idle, memory 9"));
        else
            QVERIFY(other.waitForFinished(kTimeoutMs) && other.exitCode() == 1 &&
                    other.readAllStandardError().contains(outcome.toUtf8()));
        const Run first = station.client(on("r1", {"--status"}));
        QCOMPARE(first.code, killed ? kNotRunning : 0);
        QVERIFY(killed || first.out.startsWith("idle, memory 4"));
    }
};

QTEST_MAIN(RemoteTest)
#include "tst_remote.moc"
