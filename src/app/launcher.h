#pragma once

#include <QString>

// Starts other programs for the operator without waiting for them.
class Launcher {
public:
    virtual ~Launcher() = default;

    // True when the file is a regular file that can be opened for reading.
    virtual bool exists(const QString& path) = 0;
    // Starts a program detached, its output discarded. True when it started.
    virtual bool startProgram(const QString& path) = 0;
    // Hands a document to the desktop's viewer for its type. True when a viewer was started.
    virtual bool openDocument(const QString& path) = 0;
};
