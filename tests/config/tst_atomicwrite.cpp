#include "config/atomicfile.h"

#include "wavebytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

enum class Step { Create, Write, Sync, Close, Rename, SyncDirectory };
enum class Mode { Fail, Crash };

// The real file system, with one step failing, or the process dying as that step begins
// (a power cut or a kill). A failing write writes half its bytes first, as a full disk does.
class FaultyFileSystem final : public FileSystem {
public:
    FaultyFileSystem(Step step, Mode mode) : step_(step), mode_(mode) {}

    int createTemporary(const std::string& target, std::string& tempPath) override {
        return fault(Step::Create) ? -1 : real_.createTemporary(target, tempPath);
    }
    bool write(int fd, const char* data, std::size_t size) override {
        if (!fault(Step::Write))
            return real_.write(fd, data, size);
        real_.write(fd, data, size / 2);
        return false;
    }
    bool sync(int fd) override { return !fault(Step::Sync) && real_.sync(fd); }
    bool close(int fd) override {
        const bool closed = real_.close(fd);
        return !fault(Step::Close) && closed;
    }
    bool rename(const std::string& from, const std::string& to) override {
        return !fault(Step::Rename) && real_.rename(from, to);
    }
    bool syncDirectory(const std::string& directory) override {
        return !fault(Step::SyncDirectory) && real_.syncDirectory(directory);
    }
    void remove(const std::string& path) override { real_.remove(path); }

private:
    bool fault(Step step) const {
        if (step != step_)
            return false;
        if (mode_ == Mode::Crash)
            _exit(0);
        return true;
    }

    PosixFileSystem real_;
    Step step_;
    Mode mode_;
};

const QByteArray kOld = QByteArray(6730, 'o');
const QByteArray kNew = QByteArray(6730, 'n');

} // namespace

class TestAtomicWrite : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString target() const { return dir.filePath("Tavrin.cfg"); }
    QStringList entries() const {
        return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private slots:
    void init() {
        for (const QString& name : entries())
            QFile::remove(dir.filePath(name));
        QVERIFY(writeBytes(target(), kOld));
    }

    void replacesTheFileKeepingItsPermissions() {
        QVERIFY(QFile::setPermissions(target(),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(writeFileAtomically(target(), kNew));
        QCOMPARE(readBytes(target()), kNew);
        QCOMPARE(entries(), QStringList{"Tavrin.cfg"});
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(target()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0640));
    }

    void createsAFileThatDidNotExist() {
        QVERIFY(QFile::remove(target()));
        QVERIFY(writeFileAtomically(target(), kNew));
        QCOMPARE(readBytes(target()), kNew);
        QCOMPARE(entries(), QStringList{"Tavrin.cfg"});
    }

    void replacesTheFileBehindASymbolicLink() {
        const QString link = dir.filePath("link.cfg");
        QVERIFY(QFile::link(target(), link));
        QVERIFY(writeFileAtomically(link, kNew));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(readBytes(target()), kNew);
    }

    void leavesAnythingButAWritableRegularFileAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("named pipe") << "pipe";
        QTest::newRow("link to a device") << "device";
        QTest::newRow("read-only") << "read-only";
    }
    void leavesAnythingButAWritableRegularFileAlone() {
        QFETCH(QString, kind);
        const QByteArray path = QFile::encodeName(target());
        const QByteArray aside = QFile::encodeName(dir.filePath("aside"));
        if (kind == "pipe")
            QVERIFY(QFile::remove(target()) && ::mkfifo(path, 0644) == 0);
        else if (kind == "device")
            QVERIFY(QFile::remove(target()) && ::mknod(aside, S_IFCHR | 0666, makedev(1, 3)) == 0 &&
                    ::symlink(aside, path) == 0);
        else
            QCOMPARE(::chmod(path, 0444), 0);
        const QStringList before = entries();
        struct stat old {
        }, now{};
        QCOMPARE(::stat(path, &old), 0);
        QVERIFY(!writeFileAtomically(target(), kNew));
        QCOMPARE(::stat(path, &now), 0);
        QCOMPARE(now.st_ino, old.st_ino);
        QCOMPARE(now.st_mode, old.st_mode);
        QCOMPARE(entries(), before);
    }

    void keepsTheOldFileWhenAStepFails_data() {
        QTest::addColumn<Step>("step");
        QTest::newRow("create") << Step::Create;
        QTest::newRow("write") << Step::Write;
        QTest::newRow("sync") << Step::Sync;
        QTest::newRow("close") << Step::Close;
        QTest::newRow("rename") << Step::Rename;
    }
    void keepsTheOldFileWhenAStepFails() {
        QFETCH(Step, step);
        FaultyFileSystem fs(step, Mode::Fail);
        QVERIFY(!writeFileAtomically(target(), kNew, fs));
        QCOMPARE(readBytes(target()), kOld);
        QCOMPARE(entries(), QStringList{"Tavrin.cfg"});
    }

    void reportsAFailedDirectorySyncWithTheNewFileInPlace() {
        FaultyFileSystem fs(Step::SyncDirectory, Mode::Fail);
        QVERIFY(!writeFileAtomically(target(), kNew, fs));
        QCOMPARE(readBytes(target()), kNew);
        QCOMPARE(entries(), QStringList{"Tavrin.cfg"});
    }

    // A process killed at any step leaves the whole old file or the whole new one.
    void leavesOldOrNewWhenKilledAtAnyStep() {
        for (Step step : {Step::Create, Step::Write, Step::Sync, Step::Close, Step::Rename,
                          Step::SyncDirectory}) {
            init();
            const pid_t child = fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                FaultyFileSystem fs(step, Mode::Crash);
                writeFileAtomically(target(), kNew, fs);
                _exit(1); // not reached: the step ends the process
            }
            int status = 0;
            QCOMPARE(waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
            QCOMPARE(readBytes(target()), step == Step::SyncDirectory ? kNew : kOld);
        }
    }

    void keepsTheOldFileWhenTheDiskIsFull() {
        // A file size limit makes the kernel refuse the write just as a full disk would.
        rlimit saved;
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 1000;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeFileAtomically(target(), kNew);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QCOMPARE(readBytes(target()), kOld);
        QCOMPARE(entries(), QStringList{"Tavrin.cfg"});
    }

    void failsWithoutADirectory() {
        QVERIFY(!writeFileAtomically(dir.filePath("missing/Tavrin.cfg"), kNew));
        QVERIFY(!writeFileAtomically(QString(), kNew));
        QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
    }
};

QTEST_GUILESS_MAIN(TestAtomicWrite)
#include "tst_atomicwrite.moc"
