#pragma once

#include <string>

// A long contest weekend of remote plays: what the built program holds after its first plays and
// at the end of many more.
struct SoakFigures {
    long firstResidentKb = 0; // VmRSS after the first plays
    long lastResidentKb = 0;  // and after the last
    int firstFds = 0;
    int lastFds = 0;
    int firstThreads = 0;
    int lastThreads = 0;
    int refused = 0; // Play or Stop calls answered with an error
};

// Runs the built program as a child in a fresh home holding two 1-second messages, named on the
// benchmark's session bus, and calls Play (memories 1 and 2 in turn) and Stop on it `plays` times,
// as a logger does. The figures are read `firstPlays` plays in and at the end, each after a
// pause that lets the last message's device close and Qt's idle helper threads end.
SoakFigures soakRemotePlays(const std::string& program, int plays, int firstPlays);
