// The configuration record, its atomic replacement, and the window that reads and writes it.
#include "config/atomicfile.h"
#include "config/configrecord.h"
#include "filesizelimit.h"
#include "keyer/keyer.h"
#include "tx/idalarm.h"
#include "tx/keyingline.h"
#include "windowharness.h"

#include <QAction>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
enum class Step { None, Create, Write, Sync, Close, Rename, SyncDirectory };

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
} // namespace

class ConfigTest : public QObject {
    Q_OBJECT

private slots:
    // The built-in defaults, byte for byte; any record reads back as it was written.
    void theRecordIsExactlyItsLayout() {
        QByteArray expected(6730, '\0');
        for (const auto& [offset, value] : {std::pair{6656, 1u},
                                            {6664, 25000u},
                                            {6668, 10u},
                                            {6708, 1u},
                                            {6712, 1u},
                                            {6717, 10u}})
            expected.replace(offset, 4, WaveBytes::le32(value));
        QCOMPARE(ConfigRecord().serialize(), expected);
        ConfigRecord r;
        for (int k = 0; k < ConfigRecord::kEntries; ++k) {
            r.messageTexts[k] = QStringLiteral("note %1").arg(k).toUtf8();
            r.slotPaths[k] = QStringLiteral("/home/op/memory%1.wav").arg(k);
        }
        r.keyingPortName = "COM3";
        r.keyingPolarity = -7;
        r.idAlarmOn = 0x81;
        r.outputDevice = 0x7FFFFFF0;
        const QByteArray bytes = r.serialize();
        QCOMPARE(ConfigRecord::parse(bytes, ConfigRecord()).serialize(), bytes);
    }

    // An entry without terminator is read only within its field and written back cut to it.
    void entriesStayWithinTheirFields() {
        QByteArray bytes = ConfigRecord().serialize();
        bytes.replace(7 * 256, 256, QByteArray(256, 'A'));
        bytes.replace(6676, 32, QByteArray(32, 'N'));
        const ConfigRecord older = ConfigRecord::parse(bytes, ConfigRecord());
        QCOMPARE(older.messageTexts[7], QByteArray(256, 'A'));
        QCOMPARE(older.messageTexts[8], QByteArray());
        QCOMPARE(older.keyingPortName, QByteArray(32, 'N'));
        const QByteArray again = older.serialize();
        QCOMPARE(again.mid(7 * 256, 256), QByteArray(255, 'A') + '\0');
        QCOMPARE(again.mid(6676, 32), QByteArray(31, 'N') + '\0');
    }

    // Whichever step fails, or kills the program, the file is the whole old one or the whole new
    // one, with no temporary left beside it.
    void theFileIsReplacedAtomically_data() {
        QTest::addColumn<Step>("step");
        QTest::addColumn<bool>("crash");
        const char* names[] = {"none", "create", "write", "sync", "close", "rename", "sync dir"};
        for (int s = 0; s <= int(Step::SyncDirectory); ++s)
            for (bool crash : {false, true})
                if (s != 0 || !crash)
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
        QVERIFY(
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        FaultyFileSystem fs(step, crash);
        if (crash) {
            const pid_t child = fork();
            if (child == 0)
                _exit(writeFileAtomically(target, newBytes, fs) ? 1 : 2); // the step ends it first
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            QCOMPARE(writeFileAtomically(target, newBytes, fs), step == Step::None);
        }
        const bool replaced = step == Step::None || step == Step::SyncDirectory;
        QCOMPARE(readBytes(target), replaced ? newBytes : oldBytes);
        if (!crash)
            QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                     QStringList{"Tavrin.cfg"});
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }

    void aFullDiskKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString target = dir.filePath("Tavrin.cfg");
        QVERIFY(writeBytes(target, QByteArray(6730, 'o')));
        {
            FileSizeLimit disk(1000);
            QVERIFY(!writeFileAtomically(target, QByteArray(6730, 'n')));
        }
        QCOMPARE(readBytes(target), QByteArray(6730, 'o'));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Tavrin.cfg"});
    }

    // What the operator set is there again after a restart.
    void settingsSurviveARestart() {
        WindowHarness h;
        writeBytes(h.installDir() + "Tavrin.cfg", ConfigRecord{}.serialize());
        {
            TTavrin& w = h.open();
            click(w.ui().MemBtn[6]);
            w.ui().MessageWindow->setPlainText("test de station");
            w.findChild<QAction*>("N25sec1")->trigger();
            w.findChild<QAction*>("N40dB")->trigger();
            w.ui().COM[3]->trigger();
            w.ui().Invert1->trigger();
            w.ui().ON1->trigger();
            h.dialogs.inputAnswers << FakeDialogs::Answer{true, "120"};
            w.ui().Set1->trigger();
            w.ui().On2->trigger();
            w.audioDevices().OutputDevice = 3;
            QVERIFY(w.close());
            h.window.reset();
        }
        TTavrin& w = h.open();
        QCOMPARE(w.keyerState().selectedMemory(), 7);
        QCOMPARE(w.ui().MessageWindow->toPlainText(), QStringLiteral("test de station"));
        QVERIFY(w.findChild<QAction*>("N25sec1")->isChecked());
        QCOMPARE(w.keyerState().micGainCode(), 10000);
        QCOMPARE(w.keyingLine().KeyingPortName(), QStringLiteral("COM4"));
        QVERIFY(w.ui().Invert1->isChecked());
        QVERIFY(w.ui().ON1->isChecked());
        QCOMPARE(w.idAlarm().IdAlarmSeconds(), 120);
        QVERIFY(w.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(w.audioDevices().OutputDevice, 3);
    }

    // A first run installs a default configuration and keeps what the operator chose.
    void aFirstRunKeepsItsSettings() {
        WindowHarness first;
        QVERIFY(QDir(first.installDir()).removeRecursively());
        first.open().findChild<QAction*>("N7sec1")->trigger();
        QVERIFY(first.window->close());
        const QByteArray written = readBytes(first.installDir() + "Tavrin.cfg");
        QCOMPARE(ConfigRecord::parse(written, ConfigRecord{}).loopDelay, 70);
    }
};

QTEST_MAIN(ConfigTest)
#include "tst_config.moc"
