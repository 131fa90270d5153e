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
    // The settings the configuration file has no room for.
    QString iniFile() const { return dir_ + QStringLiteral("Tavrin.ini"); }
    QString helpFile() const { return dir_ + QStringLiteral("Tavrin.chm"); }
    // The recorded letters, digits and words exchanges are spoken from.
    QString phrasesDir() const { return dir_ + QStringLiteral("phrases"); }
    // The last exchange spoken, as it went on the air.
    QString exchangeFile() const { return dir_ + QStringLiteral("exchange.wav"); }
    QString slotFile(int slot) const;
    // The folders of the banks of memories after the first, whose messages lie in dir().
    QString banksDir() const { return dir_ + QStringLiteral("banks/"); }

    // The HTML manual installed with the program whose executable lies in programDir.
    static QString manualFile(const QString& programDir);

private:
    InstallPaths() = default;

    QString dir_;
};
