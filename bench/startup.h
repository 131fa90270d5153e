#pragma once

#include <chrono>
#include <map>
#include <string>

struct StartupFigures {
    // Process start to the first-run configuration file in place: the window's creation handler
    // writes it as its last step before the window is shown. -1 when it never came.
    double toWindowMs = -1;
    long idleResidentKb = 0; // VmRSS once idle
    double closeMs = -1;     // SIGTERM to the end of the process
    // Resident and private dirty kB once idle, by kind of mapping ("Qt libraries", "heap", ...).
    std::map<std::string, std::pair<long, long>> residentByKind;
};

// Runs the built program as a child in a fresh temporary home with the offscreen platform, lets
// it stand idle, then ends it with SIGTERM as a desktop session would.
StartupFigures startProgram(const std::string& program, std::chrono::milliseconds idle);
