// Messages through real sound servers, each private and set up as desktops run it. ALSA's
// file plugin stands in front of the server and keeps what Tavrin hands ALSA, sample for sample.
#include "app/remotecontrol.h"
#include "audio/alsawaveservice.h"
#include "keyer/keyer.h"
#include "keyer/monitor.h"
#include "phrasetones.h"
#include "soundserver.h"
#include "windowharness.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QLabel>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>

// What befalls the monitor's sound card while a message plays.
enum class MonitorFault { None, TransmittersCard, Stalled };
Q_DECLARE_METATYPE(MonitorFault)

namespace {
// About 1.5 s of sound: long enough for the server to start refusing writes.
constexpr int kBlocks = 16;
constexpr double kTolerance = 0.15;
// A message long enough to be cut by the server's failure.
constexpr int kLongBlocks = 60;
constexpr int kFailAfterMs = 1500;
constexpr qint64 kPromptMs = 250;
constexpr qint64 kWatchdogMs = 1000;
constexpr qint64 kSinkPauseMs = 2500;

// A server that is not installed fails the run in CI, where scripts/deps.sh installs every one.
#define REQUIRE_SERVER(kind)                                                                       \
    if (const QString why = SoundServer::missing(kind); !why.isEmpty()) {                          \
        if (!qEnvironmentVariableIsEmpty("CI"))                                                    \
            QFAIL(qPrintable(why));                                                                \
        QSKIP(qPrintable(why));                                                                    \
    }

double soundMs(int bytes) {
    return bytes / kBytesPerSample * 1000.0 / WaveFormat{}.samplesPerSecond;
}
bool inRealTime(qint64 ms, int bytes) {
    return ms >= soundMs(bytes) * (1 - kTolerance) && ms <= soundMs(bytes) * (1 + kTolerance);
}
} // namespace

class SoundServersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        REQUIRE_SERVER(SoundServer::Kind::PulseAudio);
        captured_ = pattern(4 * kLongBlocks * kBlock, 9);
        QVERIFY(writeBytes(dir_.filePath("in.raw"), captured_));
        QVERIFY(writeBytes(
            dir_.filePath("tap.conf"),
            QStringLiteral("pcm.tap_out { type file slave.pcm \"pulse\" file \"%1\" "
                           "format \"raw\" }\npcm.tap_in { type file slave.pcm "
                           "\"pulse\" file \"/dev/null\" infile \"%2\" format "
                           "\"raw\" }\npcm.tap_phones { type file slave.pcm { type "
                           "pulse server { @func getenv vars [ PHONES_SERVER ] default \"\" } } "
                           "file \"%3\" format \"raw\" }\n")
                .arg(out(), dir_.filePath("in.raw"), phones())
                .toUtf8()));
        const QByteArray path = "/usr/share/alsa/alsa.conf:" + dir_.filePath("tap.conf").toUtf8();
        QCOMPARE(setenv("ALSA_CONFIG_PATH", path.constData(), 1), 0);
    }

    // Each sample handed to ALSA once and in order, in real time, whatever the sink does with
    // rewinds; a recording keeps every sample the server gives. A server that stops answering or
    // dies while a keyed message plays has the line released and the window answering at once,
    // the operator told which device failed, and once it is back the next message plays whole.
    // Server, sink options, what befalls the server during a first message.
    void everySampleOnce_data() {
        using Kind = SoundServer::Kind;
        columns<Kind, QString, QString>("kind", "sink", "failure");
        QTest::newRow("PulseAudio, default sink") << Kind::PulseAudio << QString() << QString();
        QTest::newRow("PulseAudio, sink without rewinds")
            << Kind::PulseAudio << "norewinds=1" << QString();
        QTest::newRow("PipeWire") << Kind::PipeWire << QString() << QString();
        for (const char* failure : {"stalled, then STOP", "stalled", "killed", "stalled at PLAY"})
            QTest::addRow("PulseAudio, %s", failure) << Kind::PulseAudio << QString() << failure;
    }
    void everySampleOnce() {
        QFETCH(SoundServer::Kind, kind);
        QFETCH(QString, sink);
        QFETCH(QString, failure);
        REQUIRE_SERVER(kind);
        const bool killed = failure == "killed", stopped = failure.endsWith("STOP"),
                   atStart = failure.endsWith("PLAY");
        auto server = std::make_unique<SoundServer>(kind, sink);
        QVERIFY(server->running());
        AlsaWaveService alsa(tap("out"), tap("in"));
        WindowHarness h;
        h.realWave = &alsa;
        MainWindow& w = h.openKeying();
        QElapsedTimer clock;
        if (!failure.isEmpty()) {
            h.writeMessage(1, pattern(kLongBlocks * kBlock));
            qint64 released = -1, stopTook = -1;
            QTimer watch;
            QObject::connect(&watch, &QTimer::timeout, &w, [&] {
                if (released < 0 && clock.isValid() && !h.keyed())
                    released = clock.elapsed();
            });
            watch.start(5);
            if (atStart) {
                server->stall();
                clock.start();
            } else {
                QTimer::singleShot(kFailAfterMs, &w, [&] {
                    QVERIFY(h.keyed());
                    killed ? server->kill() : server->stall();
                    clock.start();
                    if (stopped) {
                        QTest::qWait(600); // the watchdog has asked the device to reset by then
                        QElapsedTimer press;
                        press.start();
                        click(w.ui().stopButton);
                        stopTook = press.elapsed();
                    }
                });
            }
            click(w.ui().playButton);
            QTRY_VERIFY_WITH_TIMEOUT(w.station().keyerState().keyerStopped(), 10000);
            QVERIFY(clock.isValid() && !h.keyed());
            if (released < 0)
                released = clock.elapsed();
            // By hand the line is free at once; by itself a stalled server gets the longest
            // silence after the blocks in flight, a dead one not even that, one that does not
            // open a second.
            const qint64 limit =
                stopped   ? 600 + kPromptMs
                : killed  ? kPromptMs
                : atStart ? kWatchdogMs + kPromptMs
                          : Keyer::kLongestSilence.count() + 2 * kBlock / 22 + kWatchdogMs;
            QVERIFY2(released < limit, qPrintable(QString::number(released)));
            QVERIFY2(!stopped || stopTook < kPromptMs, qPrintable(QString::number(stopTook)));
            if (atStart) // asked again while it hangs, the device is not opened a second time
                click(w.ui().playButton);
            const QString first = h.dialogs.messages.value(0).text;
            QVERIFY2(stopped ? first.isEmpty()
                             : first.contains(atStart ? "Tap: did not answer" : "Tap"),
                     qPrintable(first));
            QVERIFY(!atStart ||
                    h.dialogs.messages.value(1).text.contains("since it was last opened"));
            if (killed)
                server = std::make_unique<SoundServer>();
            else
                server->resume();
        }

        const QByteArray message = pattern(kBlocks * kBlock, 3);
        h.writeMessage(1, message);
        clock.start();
        click(w.ui().playButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.station().keyerState().keyerStopped(), 10000);
        const qint64 played = clock.elapsed();
        // The file is complete once the device has let go of it, and the device thread closes
        // the stream itself; a server back from a stall or a restart may take seconds to.
        QTRY_VERIFY2_WITH_TIMEOUT(readBytes(out()) == message, qPrintable(firstDifference(message)),
                                  15000);
        QTRY_COMPARE(server->pactl({"list", "short", "sink-inputs"}), QByteArray());
        QCOMPARE(h.dialogs.messages.size(), failure.isEmpty() || stopped ? 0 : atStart ? 2 : 1);
        if (!failure.isEmpty())
            return;
        // A sink that renders ahead pauses on its own (aplay's sound pauses there too): only the
        // other keeps time exactly.
        QVERIFY2(played >= 0.9 * soundMs(message.size()) &&
                     (!sink.isEmpty() ? inRealTime(played, message.size())
                                      : played < soundMs(message.size()) + kSinkPauseMs),
                 qPrintable(QString::number(played)));

        qint64 recorded = -1;
        QTimer stopper;
        QObject::connect(&stopper, &QTimer::timeout, &w, [&] {
            if (recorded < 0 && w.station().keyerState().recordedBytes() >= message.size()) {
                recorded = clock.elapsed();
                click(w.ui().stopButton);
            }
        });
        stopper.start(1);
        clock.start();
        click(w.ui().recordButton);
        QTRY_VERIFY_WITH_TIMEOUT(w.station().keyerState().keyerStopped(), 10000);
        const QByteArray data = readBytes(h.slotPath(1)).mid(44);
        QVERIFY(data.size() >= message.size() && data == captured_.left(data.size()));
        QVERIFY2(inRealTime(recorded, message.size()), qPrintable(QString::number(recorded)));
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(alsa.underruns() + alsa.overruns(), 0u);
        // A device number from another machine's settings names no device here.
        QVERIFY(alsa.query(Dir::Output, 1, {}) == WaveResult::NoSuchDevice &&
                alsa.query(Dir::Input, -1, {}) == WaveResult::NoSuchDevice);
        // PLAY at once after STOP waits on the stream still closing no longer than its close.
        QTest::mouseClick(w.ui().playButton, Qt::LeftButton);
        click(w.ui().stopButton);
        clock.start();
        QTest::mouseClick(w.ui().playButton, Qt::LeftButton);
        QVERIFY2(clock.elapsed() < 500 && w.station().keyerState().playActive(),
                 qPrintable(QString::number(clock.elapsed())));
    }

    // The operator's headphones on a second sink: while the monitor is on they get what the
    // transmitter gets, sample for sample at their own volume; Preview plays there alone and
    // keys nothing. The monitor is what gives way: on the transmitter's own card, or on a server
    // that stalls, it goes off and says why, with no box, and the message on the air plays whole.
    void monitorHearsTheTransmitter_data() {
        columns<int, bool, MonitorFault>("volumeDb", "preview", "fault");
        QTest::newRow("as transmitted") << 0 << false << MonitorFault::None;
        QTest::newRow("-20 dB") << -20 << false << MonitorFault::None;
        QTest::newRow("preview at -6 dB") << -6 << true << MonitorFault::None;
        QTest::newRow("on the transmitter's card") << 0 << false << MonitorFault::TransmittersCard;
        QTest::newRow("its server stalls") << 0 << false << MonitorFault::Stalled;
        QTest::newRow("preview, its server stalls") << 0 << true << MonitorFault::Stalled;
    }
    void monitorHearsTheTransmitter() {
        QFETCH(int, volumeDb);
        QFETCH(bool, preview);
        QFETCH(MonitorFault, fault);
        SoundServer server;
        std::unique_ptr<SoundServer> own;
        if (fault == MonitorFault::Stalled) {
            own = std::make_unique<SoundServer>();
            qputenv("PULSE_SERVER", server.address());
        }
        qputenv("PHONES_SERVER", own ? own->address() : server.address());
        QFile::remove(out());
        QFile::remove(phones());
        AlsaWaveService alsa({{"tap_out", "Tap"}, {"tap_phones", "Phones"}}, tap("in"));
        WindowHarness h;
        h.realWave = &alsa;
        MainWindow& w = h.openKeying();
        w.station().audioDevices().monitorDevice = fault == MonitorFault::TransmittersCard ? 0 : 1;
        w.ui().monitorItems[1]->trigger();
        for (QAction* volume : w.ui().monitorVolumeItems)
            if (volume->data().toInt() == volumeDb)
                volume->trigger();
        const QByteArray message = pattern(kBlocks * kBlock, 5);
        h.writeMessage(1, message);
        click(w.ui().memoryButtons[0]);
        if (own)
            QTimer::singleShot(kFailAfterMs / 2, &w, [&] { own->stall(); });
        if (preview)
            w.ui().previewItem->trigger();
        else
            click(w.ui().playButton);
        const QString status = w.ui().statusLine->text();
        if (preview) {
            QVERIFY2(status == "Previewing memory 1 on Phones", qPrintable(status));
            QTRY_VERIFY_WITH_TIMEOUT(w.ui().statusLine->text() != status, 10000);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(w.station().keyerState().keyerStopped(), 10000);
            QTRY_VERIFY2_WITH_TIMEOUT(readBytes(out()) == message,
                                      qPrintable(firstDifference(message)), 15000);
        }
        QVERIFY(h.dialogs.messages.isEmpty());
        QCOMPARE(h.everKeyed(), !preview);
        const QString told = w.ui().statusLine->text();
        if (fault != MonitorFault::None) {
            // A stalled server is given up on once no sound has moved for the longest silence.
            QTRY_VERIFY2_WITH_TIMEOUT(
                w.ui().statusLine->text().contains(
                    fault == MonitorFault::Stalled
                        ? "The monitor is off: sound stopped on Phones"
                        : "The monitor is off: Tap is the transmitter's sound card"),
                qPrintable(w.ui().statusLine->text()), 10000);
            QVERIFY(h.dialogs.messages.isEmpty());
            QCOMPARE(w.ui().monitorItems[1]->isChecked(), preview);
            return;
        }
        QVERIFY2(!preview || told == "Preview ended", qPrintable(told));
        QVERIFY(!QFile::exists(out()) || !preview);
        QByteArray heard = message;
        auto* sample = reinterpret_cast<qint16*>(heard.data());
        for (int i = 0; i < heard.size() / 2; ++i)
            sample[i] =
                static_cast<qint16>(std::lround(sample[i] * std::pow(10.0, volumeDb / 20.0)));
        QTRY_VERIFY_WITH_TIMEOUT(readBytes(phones()) == heard, 15000);
    }

    // An exchange said over D-Bus through a desktop's server, its tokens recorded as tones of
    // their own pitch between silences, is heard as exactly those pieces in that order: no gap
    // over 10 ms, no step at a join larger than the pieces' own. Sink options, text, pieces heard.
    void exchangeIsHeardWhole_data() {
        columns<QString, QString, QStringList>("sink", "text", "heard");
        QTest::newRow("default sink")
            << ""
            << "DL1ABC/P" << QStringList{"D", "L", "1", "A", "B", "C", "slash", "P"};
        QTest::newRow("sink without rewinds") << "norewinds=1"
                                              << "599 9" << QStringList{"599", "9"};
    }
    void exchangeIsHeardWhole() {
        QFETCH(QString, sink);
        QFETCH(QString, text);
        QFETCH(QStringList, heard);
        const QStringList tokens{"D", "L", "1", "A", "B", "C", "slash", "P", "599", "9"};
        SoundServer server(SoundServer::Kind::PulseAudio, sink);
        QVERIFY(server.running());
        QFile::remove(out());
        AlsaWaveService alsa(tap("out"), tap("in"));
        WindowHarness h;
        h.realWave = &alsa;
        QVERIFY(QDir().mkpath(h.installDir() + "phrases"));
        for (const QString& token : tokens) {
            WaveBytes piece;
            piece.samples = phrasetones::piece(phrasetones::pitch(tokens, token), 900, 700);
            QVERIFY(writeBytes(h.installDir() + "phrases/" + token + ".wav", piece.bytes()));
        }
        MainWindow& w = h.openKeying();
        QProcess bus;
        bus.start("dbus-daemon", {"--session", "--nofork", "--print-address"});
        QVERIFY(bus.waitForReadyRead(5000));
        const QString address = QString::fromUtf8(bus.readLine().trimmed());
        RemoteControl remote(w.station(), w.noteBox());
        QString error;
        const QString name = QString(QTest::currentDataTag()).remove(QLatin1Char(' '));
        QVERIFY2(remote.publish(QDBusConnection::connectToBus(address, name),
                                remote::serviceName(name), error),
                 qPrintable(error));
        // Asked as a client asks, without the introspection that would wait on this very thread.
        auto call = QDBusMessage::createMethodCall(remote::serviceName(name), remote::kObjectPath,
                                                   remote::kInterface, "Say");
        QDBusPendingCallWatcher said(
            QDBusConnection::connectToBus(address, name + "client").asyncCall(call << text));
        QTRY_VERIFY2(said.isFinished() && !said.isError(), qPrintable(said.error().message()));
        QTRY_COMPARE_WITH_TIMEOUT(
            phrasetones::fault(phrasetones::samples(readBytes(out())), tokens, heard), QString(),
            15000);
        QVERIFY(h.dialogs.messages.isEmpty());
        bus.terminate();
        bus.waitForFinished();
    }

private:
    QString out() const { return dir_.filePath("out.raw"); }
    QString phones() const { return dir_.filePath("phones.raw"); }
    static std::vector<AlsaPcm> tap(const char* direction) {
        return {{std::string("tap_") + direction, QStringLiteral("Tap")}};
    }
    QString firstDifference(const QByteArray& message) const {
        const QByteArray heard = readBytes(out());
        const auto i =
            std::mismatch(heard.begin(), heard.end(), message.begin(), message.end()).first -
            heard.begin();
        return QStringLiteral("%1 of %2 bytes, first difference at sample %3")
            .arg(heard.size())
            .arg(message.size())
            .arg(i / kBytesPerSample);
    }

    QTemporaryDir dir_;
    QByteArray captured_;
};

QTEST_MAIN(SoundServersTest)
#include "tst_soundservers.moc"
