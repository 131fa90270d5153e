// The built program controlled from outside: a private session bus, the program's own client.
#include "config/configrecord.h"
#include "wavebytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
constexpr int kTimeoutMs = 20000;
constexpr int kMessageSeconds = 20; // outlasts every row that plays it
constexpr int kNotRunning = 3;

struct Run {
    int code;
    QString out, err;
};

// A session bus of the test's own, and keyers started on it.
class Station {
public:
    Station() : env_(QProcessEnvironment::systemEnvironment()) {
        bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (bus_.waitForReadyRead(kTimeoutMs))
            env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus_.readLine().trimmed()));
        env_.insert("HOME", home_.path());
        env_.insert("QT_QPA_PLATFORM", "offscreen");
    }
    ~Station() {
        for (auto& keyer : keyers_) {
            keyer->terminate();
            keyer->waitForFinished(kTimeoutMs);
        }
        bus_.kill();
        bus_.waitForFinished();
    }
    QString folder(const QString& name) const { return home_.filePath(name) + '/'; }
    QProcess& start(const QStringList& args, const QString& homeVariable = {}) {
        auto keyer = std::make_unique<QProcess>();
        QProcessEnvironment env = env_;
        env.insert("TAVRIN_HOME", homeVariable);
        keyer->setProcessEnvironment(env);
        keyer->start(QStringLiteral(TAVRIN_EXECUTABLE), args);
        keyers_.push_back(std::move(keyer));
        return *keyers_.back();
    }
    Run client(const QStringList& args, QProcessEnvironment env = {}) const {
        if (env.isEmpty())
            env = env_;
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(TAVRIN_EXECUTABLE), args);
        process.waitForFinished(kTimeoutMs);
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput().trimmed()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // Waits until the keyer of that instance answers.
    bool answers(const QStringList& instance = {}) const {
        QDeadlineTimer deadline(kTimeoutMs);
        while (!deadline.hasExpired() && client(instance + QStringList{"--status"}).code != 0)
            QThread::msleep(100);
        return !deadline.hasExpired();
    }
    QProcessEnvironment env_;

private:
    QTemporaryDir home_;
    QProcess bus_;
    std::vector<std::unique_ptr<QProcess>> keyers_;
};

QByteArray message(int bytes) {
    WaveBytes wave;
    wave.samples = QByteArray(bytes, 0);
    return wave.bytes();
}
} // namespace

class RemoteTest : public QObject {
    Q_OBJECT

private slots:
    // Without a keyer, and without a display, the client still answers.
    void withoutKeyer_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("bus");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("says");
        QTest::newRow("version") << QStringList{"--version"} << false << 0 << "tavrin 1.23";
        QTest::newRow("help") << QStringList{"--help"} << false << 0 << "--play <n>";
        QTest::newRow("bad number") << QStringList{"--play", "x"} << true << 2 << "memory number";
        QTest::newRow("two commands")
            << QStringList{"--stop", "--select", "1"} << true << 2 << "One command";
        QTest::newRow("nothing runs")
            << QStringList{"--play", "3"} << true << kNotRunning << "no Tavrin is running";
        QTest::newRow("no bus") << QStringList{"--status"} << false << kNotRunning
                                << "no session bus";
    }
    void withoutKeyer() {
        QFETCH(QStringList, args);
        QFETCH(bool, bus);
        QFETCH(int, code);
        QFETCH(QString, says);
        const Station station;
        QProcessEnvironment env = station.env_;
        env.remove("QT_QPA_PLATFORM");
        env.remove("DISPLAY");
        if (!bus)
            env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
        const Run run = station.client(args, env);
        QCOMPARE(run.code, code);
        QVERIFY2((run.out + run.err).contains(says), qPrintable(run.out + run.err));
    }

    // Each command runs the button's own handler: same refusals, same keying. Memory 3 holds a
    // message, memory 5 none.
    void commands_data() {
        QTest::addColumn<QStringList>("commands");
        QTest::addColumn<bool>("plays");
        QTest::addColumn<int>("code"); // of the last command
        QTest::addColumn<QString>("status");
        const auto row = [](const char* name, const QString& commands, bool plays, int code,
                            const char* status) {
            QTest::newRow(name) << commands.split(';') << plays << code << status;
        };
        row("tune keys", "--tune on", false, 0, "idle, memory 1, tuning, transmitting");
        row("tune off", "--tune on;--tune off", false, 0, "idle, memory 1, receiving");
        row("no such memory", "--select 13", false, 1, "idle, memory 1");
        row("tune under a failure box", "--play 5;--tune on", false, 1, "playing 5, receiving");
        row("play keys when enabled", "--tx-enable on;--play 3", true, 0,
            "playing 3, transmitting, tx enable on");
        row("play without tx enable", "--play 3", true, 0, "playing 3, receiving");
        row("play again pauses", "--play 3;--play 3", true, 0, "paused 3, receiving");
        row("stop unkeys", "--tx-enable on;--play 3;--stop", true, 0,
            "idle, memory 3, receiving, tx enable on");
        row("play while recording", "--record 4;--play 3", true, 1, "recording 4, receiving");
        row("record while playing", "--play 3;--record 4", true, 1, "playing 3");
        row("select while playing", "--play 3;--select 1", true, 1, "playing 3");
    }
    void commands() {
        QFETCH(QStringList, commands);
        QFETCH(bool, plays);
        QFETCH(int, code);
        QFETCH(QString, status);
        if (plays && qEnvironmentVariableIsEmpty("TAVRIN_PULSE"))
            QSKIP("no PulseAudio (run through scripts/test.sh)");
        Station station;
        QVERIFY(QDir().mkpath(station.folder("Tavrin")));
        QVERIFY(
            writeBytes(station.folder("Tavrin") + "memory3.wav", message(kMessageSeconds * 22050)));
        station.start({});
        QVERIFY(station.answers());
        Run run;
        for (const QString& command : commands)
            run = station.client(command.split(' '));
        QCOMPARE(run.code, code);
        QVERIFY2(run.code == 0 || run.err.contains("refused"), qPrintable(run.err));
        const QString now = station.client({"--status"}).out;
        QVERIFY2(now.startsWith(status), qPrintable(now));
    }

    void statusTellsTheMemories() {
        Station station;
        QVERIFY(QDir().mkpath(station.folder("Tavrin")));
        QVERIFY(writeBytes(station.folder("Tavrin") + "memory2.wav", message(2 * 22050 + 8820)));
        ConfigRecord record;
        record.messageTexts[2] = "CQ contest";
        QVERIFY(writeBytes(station.folder("Tavrin") + "Tavrin.cfg", record.serialize()));
        station.start({});
        QVERIFY(station.answers());
        const QJsonArray memories = QJsonDocument::fromJson(station.client({"--json"}).out.toUtf8())
                                        .object()["memories"]
                                        .toArray();
        QCOMPARE(memories[1]["present"].toBool(), true);
        QCOMPARE(memories[1]["seconds"].toDouble(), 2.4);
        QCOMPARE(memories[1]["note"].toString(), "CQ contest");
        QCOMPARE(memories[0]["present"].toBool(), false);
    }

    // One keyer per folder; keyers on folders of their own run side by side.
    void folders_data() {
        QTest::addColumn<QString>("home");     // of the second keyer
        QTest::addColumn<QString>("variable"); // TAVRIN_HOME
        QTest::addColumn<bool>("killFirst");   // its lock file stays behind
        QTest::addColumn<bool>("runs");
        QTest::newRow("own folder") << "B"
                                    << "" << false << true;
        QTest::newRow("same folder") << "A"
                                     << "" << false << false;
        QTest::newRow("same folder by variable") << ""
                                                 << "A" << false << false;
        QTest::newRow("first one died") << "A"
                                        << "" << true << true;
    }
    void folders() {
        QFETCH(QString, home);
        QFETCH(QString, variable);
        QFETCH(bool, killFirst);
        QFETCH(bool, runs);
        Station station;
        QProcess& first = station.start({"--home", station.folder("A"), "--instance", "r1"});
        QVERIFY(station.answers({"--instance", "r1"}));
        QVERIFY(station.client({"--instance", "r1", "--select", "4"}).code == 0);
        if (killFirst) {
            first.kill();
            QVERIFY(first.waitForFinished(kTimeoutMs));
        }
        const QStringList homeOption{"--home", station.folder(home)};
        QProcess& other = station.start((home.isEmpty() ? QStringList() : homeOption) +
                                            QStringList{"--instance", "r2"},
                                        variable.isEmpty() ? "" : station.folder(variable));
        if (!runs) {
            QVERIFY(other.waitForFinished(kTimeoutMs));
            QCOMPARE(other.exitCode(), 1);
            QVERIFY(other.readAllStandardError().contains("already runs"));
            QVERIFY(
                station.client({"--instance", "r1", "--status"}).out.startsWith("idle, memory 4"));
            return;
        }
        QVERIFY(station.answers({"--instance", "r2"}));
        QVERIFY(station.client({"--instance", "r2", "--select", "9"}).code == 0);
        QVERIFY(station.client({"--instance", "r2", "--status"}).out.startsWith("idle, memory 9"));
        QCOMPARE(station.client({"--instance", "r1", "--status"}).code, killFirst ? 3 : 0);
        QVERIFY(killFirst ||
                station.client({"--instance", "r1", "--status"}).out.startsWith("idle, memory 4"));
    }
};

QTEST_GUILESS_MAIN(RemoteTest)
#include "tst_remote.moc"
