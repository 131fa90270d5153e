#include "app/linuxlauncher.h"

#include "support/regularfile.h"

#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>

#include <chrono>

namespace {

constexpr std::chrono::milliseconds kQueryTimeout{3000};

bool startDetachedSilently(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

// The desktop file of the default application for a MIME type, or empty when there is none.
QString defaultApplication(const QString& mimeType) {
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return {};
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(static_cast<int>(kQueryTimeout.count()))) {
        query.kill();
        query.waitForFinished();
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
}

} // namespace

bool LinuxLauncher::exists(const QString& path) {
    // Asked on the window's thread: a named pipe put in the help file's place must not hold it.
    return readRegularFile(path, 0).status == FileRead::Status::Read;
}

bool LinuxLauncher::startProgram(const QString& path) {
    return startDetachedSilently(path, {});
}

bool LinuxLauncher::openDocument(const QString& path) {
    if (path.isEmpty() || !exists(path))
        return false;
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (xdgOpen.isEmpty())
        return false;
    // xdg-open succeeds even when nothing can show the file; ask for a viewer first so the
    // operator hears about it.
    const QString mimeType = QMimeDatabase().mimeTypeForFile(path).name();
    if (defaultApplication(mimeType).isEmpty())
        return false;
    return startDetachedSilently(xdgOpen, {path});
}
