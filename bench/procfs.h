#pragma once

#include <fstream>
#include <string>

// Reading the kernel's /proc files.

// The number after a key of a status file ("VmRSS:", "voluntary_ctxt_switches:"); 0 when the key
// or the file is missing.
inline double procStatusValue(const std::string& path, const std::string& key) {
    std::ifstream in(path);
    std::string word;
    while (in >> word) {
        if (word == key) {
            double value = 0;
            in >> value;
            return value;
        }
    }
    return 0;
}

inline std::string procFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}
