#pragma once

#include <QString>

// Where Tavrin keeps its files: one installation directory under the user's home.
class InstallPaths {
public:
    explicit InstallPaths(const QString& home);
    // A folder of the operator's choosing, for a keyer beside the one in the home directory.
    static InstallPaths inFolder(const QString& dir);

    // With the trailing separator, as the file names are appended to it.
    QString dir() const { return dir_; }
    QString configFile() const { return dir_ + QStringLiteral("Tavrin.cfg"); }
    QString helpFile() const { return dir_ + QStringLiteral("Tavrin.chm"); }
    QString slotFile(int slot) const;

private:
    InstallPaths() = default;

    QString dir_;
};
