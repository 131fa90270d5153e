// The configuration record, its atomic replacement, and the file as the window reads and writes
// it: any length or content, notes byte for byte, long home paths, files it must leave alone.
#include "app/linuxlauncher.h"
#include "app/station.h"
#include "config/configrecord.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "support/atomicfile.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "tx/transmitcontrols.h"
#include "windowharness.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>

#include <cstring>
#include <map>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr int kEntryBytes = 256;
constexpr std::int32_t kStoredDelay = 90;
using Files = std::map<QString, QByteArray>;
enum class Step { None, Create, Write, Sync, Close, Rename, SyncDirectory, FullDisk };

// The real file system with one step failing, or the process dying as that step begins (a power
// cut or a kill). A failing write writes half its bytes first, as a full disk does.
class FaultyFileSystem final : public FileSystem {
public:
    FaultyFileSystem(Step step, bool crash) : step_(step), crash_(crash) {}
    int createTemporary(const std::string& target, std::string& temp) override {
        return fault(Step::Create) ? -1 : real_.createTemporary(target, temp);
    }
    bool write(int fd, const char* data, std::size_t size) override {
        return fault(Step::Write) ? (real_.write(fd, data, size / 2), false)
                                  : real_.write(fd, data, size);
    }
    bool sync(int fd) override { return !fault(Step::Sync) && real_.sync(fd); }
    bool close(int fd) override { return real_.close(fd) && !fault(Step::Close); }
    bool rename(const std::string& from, const std::string& to) override {
        return !fault(Step::Rename) && real_.rename(from, to);
    }
    bool syncDirectory(const std::string& dir) override {
        return !fault(Step::SyncDirectory) && real_.syncDirectory(dir);
    }
    void remove(const std::string& path) override { real_.remove(path); }

private:
    bool fault(Step step) const {
        if (step == step_ && crash_)
            _exit(0);
        return step == step_;
    }
    PosixFileSystem real_;
    Step step_;
    bool crash_;
};

// Every setting away from its built-in default, so that each one shows whether it was applied.
ConfigRecord storedSettings() {
    ConfigRecord r;
    for (int slot = 1; slot <= 12; ++slot)
        r.messageTexts[slot] = "note " + QByteArray::number(slot);
    r.keyingPortName = "COM3";
    std::tie(r.selectedMemory, r.reservedA, r.reservedB, r.loopDelay, r.keyingPortKind,
             r.micGainCode, r.keyingPolarity, r.idAlarmOn, r.idAlarmSeconds, r.stayOnTop,
             r.inputDevice, r.outputDevice) =
        std::tuple(4, 77, 12345, kStoredDelay, 1, 1000, 2, 1, 45, 1, 2, 1);
    return r;
}
QByteArray randomBytes(QRandomGenerator& random, int bytes) {
    QByteArray data(bytes, '\0');
    for (char& c : data)
        c = static_cast<char>(random.bounded(256));
    return data;
}
Files filesIn(const QString& dir) {
    Files files;
    for (const QString& name : QDir(dir).entryList(QDir::Files))
        files[name] = readBytes(dir + name);
    return files;
}

// What lies at path and what it leads to, without opening anything that could block.
QString describe(const QString& path) {
    struct stat link = {}, target = {};
    ::lstat(QFile::encodeName(path).constData(), &link);
    ::stat(QFile::encodeName(path).constData(), &target);
    return QString::number(link.st_mode, 8) + " -> " + QFileInfo(path).symLinkTarget() + " " +
           QString::number(target.st_mode, 8);
}
} // namespace

class ConfigTest : public QObject {
    Q_OBJECT

private slots:
    // Whichever step fails, or kills the program, and on a full disk, the file is the whole old
    // one or the whole new one, with no temporary left beside it, its mode kept and no descriptor
    // held: a station that saves all day must not run out of them.
    void theFileIsReplacedAtomically_data() {
        QTest::addColumn<Step>("step");
        QTest::addColumn<bool>("crash");
        const char* names[] = {"none",  "create", "write",    "sync",
                               "close", "rename", "sync dir", "full disk"};
        for (int s = 0; s <= int(Step::FullDisk); ++s)
            for (bool crash : {false, true})
                if ((s != 0 && s != int(Step::FullDisk)) || !crash)
                    QTest::addRow("%s %s", names[s], crash ? "killed" : "fails")
                        << Step(s) << crash;
    }
    void theFileIsReplacedAtomically() {
        QFETCH(Step, step);
        QFETCH(bool, crash);
        QTemporaryDir dir;
        const QString target = dir.filePath("Tavrin.cfg");
        const QByteArray oldBytes(6730, 'o'), newBytes(6730, 'n');
        QVERIFY(writeBytes(target, oldBytes));
        QVERIFY(::chmod(QFile::encodeName(target), 0640) == 0);
        FaultyFileSystem fs(step, crash);
        const uint descriptors = QDir(QStringLiteral("/proc/self/fd")).count();
        if (crash) {
            const pid_t child = fork();
            if (child == 0)
                _exit(writeFileAtomically(target, newBytes, fs) ? 1 : 2); // the step ends it first
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else { // on a full disk the file system itself fails the write
            const auto disk =
                step == Step::FullDisk ? std::make_unique<FileSizeLimit>(1000) : nullptr;
            QCOMPARE(writeFileAtomically(target, newBytes, fs).ok(), step == Step::None);
        }
        const bool replaced = step == Step::None || step == Step::SyncDirectory;
        QCOMPARE(readBytes(target), replaced ? newBytes : oldBytes);
        if (!crash) {
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"Tavrin.cfg"});
            QCOMPARE(QDir(QStringLiteral("/proc/self/fd")).count(), descriptors);
        }
        QVERIFY2(describe(target).startsWith("100640 "), "a regular file, its mode kept");
    }

    // What the operator set on a first run is there again after a restart.
    void settingsSurviveARestart() {
        const char* const kChosen[] = {
            "N25sec1", "N40dB",         "COM4",      "Invert1",         "ON1",
            "Trim300", "LevelLoudness", "MonitorOn", "MonitorVolume20", "OperatorPttDsr"};
        WindowHarness h;
        h.homePath += ("/" + QString(65, QChar(0xE9))).repeated(2); // paths cut inside a letter
        {
            MainWindow& w = h.open();
            click(w.ui().memoryButtons[6]);
            for (const char* name : kChosen)
                item(w, name)->trigger();
            h.dialogs.inputAnswers << FakeDialogs::Answer{true, "120"};
            w.ui().idSetItem->trigger();
            item(w, "On2")->trigger();
            w.station().audioDevices().monitorDevice = 1;
            QVERIFY(w.close());
            h.window.reset();
        }
        // Slot 7's path (after the 13 notes), kept for other copies: what fits, in whole letters.
        const QByteArray path = readBytes(h.installDir() + "Tavrin.cfg")
                                    .mid((13 + 7) * kEntryBytes, kEntryBytes)
                                    .split('\0')
                                    .first();
        QVERIFY(path.size() >= 254 && h.installDir().toUtf8().startsWith(path));
        QCOMPARE(QString::fromUtf8(path).toUtf8(), path);
        MainWindow& w = h.open();
        for (const char* name : kChosen)
            QVERIFY2(item(w, name)->isChecked(), name);
        QCOMPARE(QVariantList({w.station().keyerState().selectedMemory(),
                               w.station().keyerState().micGainCode(),
                               w.station().keyingLine().portName(), w.station().idAlarm().seconds(),
                               w.station().audioDevices().monitorDevice}),
                 QVariantList({7, 10000, "COM4", 120, 1}));
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint && !item(w, "Off2")->isChecked());
        item(w, "Off2")->trigger();
        QVERIFY(!(w.windowFlags() & Qt::WindowStaysOnTopHint));
    }

    // The station needs no window: it applies the record, keys the port and plays a memory,
    // keeps its bank while the message plays, and writes the settings back at its end.
    void theStationRunsWithoutAWindow() {
        WindowHarness h;
        ConfigRecord stored = storedSettings();
        stored.outputDevice = 0; // the one output the harness has
        QVERIFY(writeBytes(h.installDir() + "Tavrin.cfg", stored.serialize()));
        h.writeMessage(4, QByteArray(8 * kBlock, 's'));
        h.wave.setRealTime(true);
        Station station(h.platform(), h.dialogs);
        station.start();
        station.transmitControls().toggleTxEnable();
        QSignalSpy refused(&station, &Station::bankRefused);
        station.keyer().playMemory(4);
        QVERIFY(!station.chooseBank("S&P") && refused.count() == 1);
        untilMessageEnds(station);
        QVERIFY(QApplication::allWidgets().isEmpty());
        for (const char* seen : {"open COM3", "SETDTR", "CLRDTR"})
            QVERIFY2(h.ports.events().contains(seen), seen);
        QVERIFY(h.wave.played().contains(QByteArray(8 * kBlock, 's')));
        QVERIFY(station.chooseBank("S&P"));
        station.shutDown();
        const ConfigRecord written =
            ConfigRecord::parse(readBytes(h.installDir() + "Tavrin.cfg"), {});
        QCOMPARE(QVariantList({written.selectedMemory, written.loopDelay, written.micGainCode,
                               QString::fromLatin1(written.keyingPortName)}),
                 QVariantList({4, kStoredDelay, 1000, "COM3"}));
        QCOMPARE(readBytes(h.installDir() + "Tavrin.ini").contains("S&P"), true);
    }

    // A stored record cut at any length applies exactly the fields it holds whole; random bytes
    // and notes in any coding apply as read. Closing rewrites a whole record, keeps what it did
    // not understand and every note byte for byte, and changes no other file.
    void aRecordOfAnyContentLosesNothing_data() {
        QTest::addColumn<QByteArray>("config");
        QTest::addColumn<bool>("cut");      // the stored settings, cut short
        QTest::addColumn<QString>("shown"); // null: not checked
        const QByteArray record = storedSettings().serialize();
        for (int length : {0,    1,    255,  256,  511,  3328, 6655, 6656, 6659, 6660, 6667, 6668,
                           6707, 6708, 6712, 6716, 6717, 6720, 6721, 6722, 6726, 6729, 6730})
            QTest::addRow("%d bytes", length) << record.left(length) << true << QString();
        QRandomGenerator random(0xC0FFEE);
        QTest::addRow("4096 bytes beyond")
            << record + randomBytes(random, 4096) << true << QString();
        for (int run = 0; run < 24; ++run) {
            const int length = run % 3 == 0 ? 6730 : random.bounded(0, 9000);
            QTest::addRow("random %d: %d bytes", run, length)
                << randomBytes(random, length) << false << QString();
        }
        // The stored settings with two notes in that coding, and how the note box shows them.
        const auto noted = [](const char* name, const QByteArray& note, const QString& shown) {
            ConfigRecord r = storedSettings();
            r.messageTexts[4] = r.messageTexts[5] = note;
            QTest::newRow(name) << r.serialize() << true << shown;
        };
        const QByteArray e = QStringLiteral("é").toUtf8();
        noted("UTF-8 lines", "Grüße\r\n73", QStringLiteral("Grüße\n73"));
        noted("Latin-1", QByteArray(255, '\xE9'), QString(255, QChar(0xE9)));
        noted("stray byte", "Grüße \xB0", QString::fromLatin1("Grüße \xB0"));
        noted("cut character", e.repeated(127) + e.left(1), QString(127, QChar(0xE9)));
        noted("accent at the end", "Ciao Ren\xE9", QString::fromLatin1("Ciao Ren\xE9"));
    }
    void aRecordOfAnyContentLosesNothing() {
        QFETCH(QByteArray, config);
        QFETCH(bool, cut);
        QFETCH(QString, shown);
        const ConfigRecord read = ConfigRecord::parse(config, ConfigRecord{});
        if (cut) {
            // The defaults, with every stored field the bytes hold whole laid over them.
            QByteArray expected = ConfigRecord{}.serialize();
            QList<std::pair<int, int>> fields{
                {6656, 4}, {6660, 4}, {6664, 4}, {6668, 4}, {6672, 4}, {6676, 32}, {6708, 4},
                {6712, 4}, {6716, 1}, {6717, 4}, {6721, 1}, {6722, 4}, {6726, 4}};
            for (int offset = 0; offset < 6656; offset += kEntryBytes)
                fields.append({offset, kEntryBytes});
            for (const auto& [offset, width] : fields)
                if (offset + width <= config.size())
                    expected.replace(offset, width, config.mid(offset, width));
            QCOMPARE(read.serialize(), expected);
        }
        WindowHarness h;
        for (int slot = 1; slot <= 3; ++slot)
            h.writeMessage(slot, pattern(slot * kBlock, slot));
        writeBytes(h.installDir() + "Tavrin.cfg", config);
        Files before = filesIn(h.installDir());
        MainWindow& w = h.open();
        const int selected = read.selectedMemory - 1 < 12u ? int(read.selectedMemory) : 1;
        QCOMPARE(h.ports.events().contains("open COM3"), read.keyingPortName == "COM3");
        QCOMPARE(bool(w.windowFlags() & Qt::WindowStaysOnTopHint), read.stayOnTop == 1);
        QVERIFY(h.dialogs.messages.isEmpty());
        // Shown, and kept through a visit to the next slot and back.
        for (int slot : {selected % 12 + 1, selected}) {
            QVERIFY(shown.isNull() || w.ui().noteEditor->toPlainText() == shown);
            click(w.ui().memoryButtons[slot - 1]);
        }

        QVERIFY(w.close());
        Files after = filesIn(h.installDir());
        const ConfigRecord written = ConfigRecord::parse(after["Tavrin.cfg"], ConfigRecord{});
        QCOMPARE(after["Tavrin.cfg"].size(), 6730);
        before["Tavrin.cfg"] = after["Tavrin.cfg"]; // only the record may change
        QVERIFY(after == before);
        const auto is = [](auto value, auto on) { return value == on ? 1 : 0; };
        QCOMPARE(QList<qint64>({written.selectedMemory, written.reservedA, written.reservedB,
                                written.loopDelay, written.micGainCode, written.keyingPolarity,
                                written.idAlarmOn, written.idAlarmSeconds, written.stayOnTop,
                                written.inputDevice, written.outputDevice}),
                 QList<qint64>({selected, read.reservedA, read.reservedB, read.loopDelay,
                                read.micGainCode, 2 - is(read.keyingPolarity, 1),
                                is(read.idAlarmOn, 1), read.idAlarmSeconds, is(read.stayOnTop, 1),
                                read.inputDevice, read.outputDevice}));
        QCOMPARE(written.keyingPortName, read.keyingPortName.left(31));
        for (int slot = 1; slot <= 12; ++slot)
            QCOMPARE(written.messageTexts[slot], read.messageTexts[slot].left(255));
    }

    // Each slot keeps the note typed while it was selected, within its entry and stored with CR LF,
    // also when the window closes before another slot is chosen; Tab leaves the box.
    void theNoteBoxKeepsAnEditedNoteWithinItsEntry_data() {
        QTest::addColumn<QString>("stored"); // in Latin-1 before
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("kept");
        QTest::newRow("ASCII") << "" << QString(300, 'a') << QString(255, 'a');
        QTest::newRow("two bytes") << "" << QString(200, QChar(0xE9)) << QString(127, QChar(0xE9));
        // A line break is stored as CR LF: the last one no longer fits, one more letter does.
        QTest::newRow("lines") << "" << QStringLiteral("ab\n").repeated(70)
                               << QStringLiteral("ab\n").repeated(63) + "aba";
        // Half a pair, pasted: measured as its three UTF-8 bytes alone, never with the letter
        // after it, and stored as '?'.
        QTest::newRow("half pair")
            << "" << QString(252, 'a') + QChar(0xD83D) + "b" << QString(252, 'a') + "?";
        QTest::newRow("Tab") << QString() << QStringLiteral("a\tb") << QStringLiteral("ab");
        // Longer than its entry once in UTF-8: the first key cuts it, the next goes on its end.
        QTest::newRow("older note")
            << QString(255, QChar(0x80)) << "ab" << QString(127, QChar(0x80)) + "b";
    }
    void theNoteBoxKeepsAnEditedNoteWithinItsEntry() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(QString, kept);
        WindowHarness h;
        writeBytes(
            h.installDir() + "Tavrin.cfg",
            ConfigRecord{}.serialize().replace(kEntryBytes, stored.size(), stored.toLatin1()));
        MainWindow& w = h.open();
        QTextEdit* note = w.ui().noteEditor;
        if (typed.contains(QChar(0xD83D))) // pasted: the keyboard gives no half pair
            note->insertPlainText(typed);
        else
            for (const QChar c : typed)
                QTest::sendKeyEvent(QTest::Click, note,
                                    c == '\n'   ? Qt::Key_Return
                                    : c == '\t' ? Qt::Key_Tab
                                                : Qt::Key_A,
                                    c, Qt::NoModifier);
        click(w.ui().memoryButtons[2]);
        QVERIFY(note->toPlainText().isEmpty());
        click(w.ui().memoryButtons[0]);
        QCOMPARE(note->toPlainText(), kept);
        click(w.ui().memoryButtons[2]);
        QTest::keyClicks(note, "de"); // no memory button follows
        QVERIFY(w.close());
        const QByteArray written = readBytes(h.installDir() + "Tavrin.cfg");
        for (const auto& [slot, text] : {std::pair{1, kept}, {3, QStringLiteral("de")}})
            QCOMPARE(written.mid(slot * kEntryBytes, kEntryBytes).split('\0').first(),
                     QString(text).replace("\n", "\r\n").toUtf8());
    }

    // The kind of file; what the notice says (of the settings file where it names it, else of the
    // record); whether the stored settings apply.
    void onlyARegularFileIsReadAndReplaced_data() {
        columns<QString, QString, bool>("kind", "notice", "applied");
        for (const char* kind : {"regular", "link"})
            QTest::newRow(kind) << kind << QString() << true;
        QTest::newRow("read-only") << "read-only"
                                   << "read-only" << true;
        for (const char* kind : {"pipe", "link to a device"})
            QTest::newRow(kind) << kind << "not a regular file" << false;
        QTest::newRow("unreadable")
            << "unreadable" << QString::fromLocal8Bit(strerror(EIO)) << false;
        QTest::newRow("no home") << "no home"
                                 << "write the configuration file /proc/tavrin/Tavrin/Tavrin.cfg"
                                 << false;
        QTest::newRow("read-only Tavrin.ini") << "read-only"
                                              << "Tavrin.ini is read-only" << true;
        QTest::newRow("pipe Tavrin.ini") << "pipe"
                                         << "Tavrin.ini: not a regular" << true;
        QTest::newRow("frozen") << "frozen"
                                << "write the configuration file" << true;
    }
    void onlyARegularFileIsReadAndReplaced() {
        QFETCH(QString, kind);
        QFETCH(QString, notice);
        QFETCH(bool, applied);
        QTest::failOnWarning(QRegularExpression("Could not save"));
        WindowHarness h;
        if (kind == "no home") // no directory can be made there, even by root
            h.homePath = "/proc/tavrin";
        const QString cfg = h.installDir() + "Tavrin.cfg", aside = h.installDir() + "aside";
        const QString file = notice.contains("Tavrin.ini") ? h.installDir() + "Tavrin.ini" : cfg;
        const QByteArray record = storedSettings().serialize();
        QVERIFY(file == cfg || writeBytes(cfg, record));
        if (kind == "regular" || kind == "read-only" || kind == "frozen")
            QVERIFY(writeBytes(file, record) &&
                    (kind != "read-only" || ::chmod(QFile::encodeName(file), 0444) == 0));
        if (kind == "link")
            QVERIFY(writeBytes(aside, record) && QFile::link(aside, file));
        // With no writer, a reader that waits on the pipe would hang the start for good.
        QVERIFY(kind != "pipe" || ::mkfifo(QFile::encodeName(file), 0644) == 0);
        QCOMPARE(LinuxLauncher().exists(file), applied && kind != "pipe"); // as the help file is
        if (kind == "link to a device")
            QVERIFY(::mknod(QFile::encodeName(aside), S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                    QFile::link(aside, file));
        if (kind == "unreadable")
            QVERIFY(QFile::link("/proc/self/mem", file));
        // Immutable, no file can be made in the folder, not even by root.
        const auto chattr = [&](const char* flag) {
            return kind != "frozen" || QProcess::execute("chattr", {flag, h.installDir()}) == 0;
        };
        const auto thaw = qScopeGuard([&] { chattr("-i"); });
        QVERIFY(chattr("+i"));
        const QString before = describe(file);
        MainWindow& w = h.open();
        QCOMPARE(w.station().keyerState().loopDelay(), applied ? kStoredDelay : 10);
        QCOMPARE(h.dialogs.messages.size(), notice.isEmpty() ? 0 : 1);
        QVERIFY(notice.isEmpty() ||
                (h.dialogs.messages[0].text.contains(notice) &&
                 h.dialogs.messages[0].title == "Configuration File Error Message"));
        item(w, "N7sec1")->trigger();
        QVERIFY(w.close());
        QCOMPARE(h.dialogs.messages.size(), notice.isEmpty() ? 0 : 1);
        // Settings of its own at their defaults need no file: none is made for them.
        QVERIFY(file != cfg || !QFile::exists(h.installDir() + "Tavrin.ini"));
        if (applied)
            QCOMPARE(ConfigRecord::parse(readBytes(cfg), {}).loopDelay,
                     notice.isEmpty() ? 70 : kStoredDelay);
        else
            QCOMPARE(describe(file), before);
        QCOMPARE(QFileInfo(file).isSymLink(), kind.startsWith("link") || kind == "unreadable");
    }
};

QTEST_MAIN(ConfigTest)
#include "tst_config.moc"
