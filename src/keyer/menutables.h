#pragma once

#include <QCoreApplication>
#include <QString>

#include <array>
#include <cstdint>

// The Loop Delay menu: item name and the pause in tenths of a second.
struct LoopDelayItem {
    const char* name;
    std::int32_t tenths;
};

inline constexpr std::array<LoopDelayItem, 19> kLoopDelays{{
    {"N1sec1", 10}, {"N15sec2", 15},  {"N2sec1", 20},   {"N25sec1", 25},  {"N3sec1", 30},
    {"N4sec1", 40}, {"N5sec1", 50},   {"N6sec1", 60},   {"N7sec1", 70},   {"N8sec1", 80},
    {"N9sec1", 90}, {"N10sec1", 100}, {"N15sec1", 150}, {"N20sec1", 200}, {"N30sec1", 300},
    {"N451", 450},  {"N601", 600},    {"N901", 900},    {"N1201", 1200},
}};

// "1 sec", "1.5 sec", …
inline QString loopDelayCaption(std::int32_t tenths) {
    const QString seconds =
        tenths % 10 == 0 ? QString::number(tenths / 10) : QString::number(tenths / 10.0, 'f', 1);
    return seconds + QCoreApplication::translate("MainWindowUi", " sec");
}

// The microphone Gain menu: item name, caption, stored code and the factor applied to samples.
struct GainItem {
    const char* name;
    const char* caption;
    std::int32_t code;
    int factor;
};

inline constexpr std::array<GainItem, 4> kGains{{
    {"UnityGain", QT_TRANSLATE_NOOP("MainWindowUi", "Unity"), 1, 1},
    {"N20dB", "10 dB", 100, 10},
    {"N30dB", "15 dB", 1000, 50},
    {"N40dB", "20 dB", 10000, 100},
}};
