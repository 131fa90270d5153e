// The transmit state said aloud through speech-dispatcher's client, here a stand-in script that
// writes down each line, and kept quiet while a screen reader runs, as the desktop or a running
// Orca tells.
#include "app/speechdispatcher.h"
#include "windowharness.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int kTimeoutMs = 15000; // past the five seconds a stuck client is given
constexpr int kQuietMs = 1500;    // long enough for a line that should not come to come
} // namespace

class SpeechTest : public QObject {
    Q_OBJECT

    QProcess bus_;
    QTemporaryDir dir_;

private slots:
    void initTestCase() {
        bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        QVERIFY(bus_.waitForReadyRead(kTimeoutMs));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.readLine().trimmed());
        // Says each line by writing it down; a line "stall" never returns, as a client of a
        // stalled speech server does not.
        QFile client(dir_.filePath("spd-say"));
        QVERIFY(client.open(QIODevice::WriteOnly) &&
                client.write("#!/bin/sh\n"
                             "[ \"$6\" = stall ] && exec sleep 60\n"
                             "echo \"$*\" >> \"$0.said\"\n") > 0);
        client.close();
        QVERIFY(client.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    void cleanupTestCase() { bus_.kill(), bus_.waitForFinished(); }

    // Who says a screen reader runs, the lines given, what the speech server is handed.
    void linesAreSaidUnlessAReaderSpeaks_data() {
        columns<QString, QStringList, QStringList>("reader", "lines", "handed");
        QTest::newRow("none") << QString() << QStringList{"Transmitting", "Playing memory 1"}
                              << QStringList{"Transmitting", "Playing memory 1"};
        QTest::newRow("none, a stalled client") // given up
            << QString() << QStringList{"stall", "Receiving"} << QStringList{"Receiving"};
        for (const char* reader : {"orca", "desktop"})
            QTest::newRow(reader) << reader << QStringList{"Transmitting"} << QStringList();
        QTest::newRow("dead orca") // a zombie its parent has not reaped
            << "dead orca" << QStringList{"Transmitting"} << QStringList{"Transmitting"};
    }
    void linesAreSaidUnlessAReaderSpeaks() {
        QFETCH(QString, reader);
        QFETCH(QStringList, lines);
        QFETCH(QStringList, handed);
        QStringList said;
        for (const QString& line : handed)
            said << "--application-name Tavrin --priority message -- " + line;
        QFile::remove(dir_.filePath("spd-say.said"));
        QProcess orca;
        const QByteArray script = QFile::encodeName(dir_.filePath("orca"));
        // A process of ours named as Orca's script is.
        QVERIFY(QFile::copy("/bin/sleep", script) || QFile::exists(script));
        if (reader == "orca") {
            orca.start(script, {"60"});
            QVERIFY(orca.waitForStarted());
        }
        const pid_t dead = reader == "dead orca" ? ::fork() : -1;
        if (dead == 0)
            ::execl(script.constData(), "orca", "0", nullptr), ::_exit(127);
        const auto reap = qScopeGuard([dead] { dead > 0 && ::waitpid(dead, nullptr, 0); });
        QTRY_VERIFY(dead < 0 || readBytes(QString("/proc/%1/stat").arg(dead)).contains(") Z "));
        // The desktop's word, given to AT-SPI's bus launcher as GNOME gives it.
        QDBusMessage set = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus",
                                                          "org.freedesktop.DBus.Properties", "Set");
        set << "org.a11y.Status"
            << "ScreenReaderEnabled" << QVariant::fromValue(QDBusVariant(reader == "desktop"));
        const QDBusMessage answer = QDBusConnection::sessionBus().call(set);
        if (answer.type() == QDBusMessage::ErrorMessage &&
            qEnvironmentVariableIsEmpty("CI")) // in CI, scripts/deps.sh has installed it
            QSKIP("AT-SPI's bus launcher (at-spi2-core) is not installed");
        QVERIFY2(answer.type() == QDBusMessage::ReplyMessage, qPrintable(answer.errorMessage()));
        SpeechDispatcher speech(dir_.filePath("spd-say"));
        QTest::qWait(kQuietMs); // the desktop's answer
        QCOMPARE(speech.screenReaderRunning(), said.isEmpty());
        for (const QString& line : lines)
            speech.say(line);
        const auto heard = [&] {
            QFile file(dir_.filePath("spd-say.said"));
            return !file.open(QIODevice::ReadOnly)
                       ? QStringList{}
                       : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
        };
        QTRY_COMPARE_WITH_TIMEOUT(heard(), said, kTimeoutMs);
        QTest::qWait(kQuietMs);
        QCOMPARE(heard(), said);
        orca.kill(), orca.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(SpeechTest)
#include "tst_speech.moc"
