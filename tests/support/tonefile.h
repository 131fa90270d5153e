#pragma once

#include <QString>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Sound files of any kind for tests, written and read through libsndfile.

// A 1 kHz tone over a steady offset of 0.25 full scale, the same on every channel, its highest
// sample exactly 0.25 + amplitude.
inline bool writeTone(const QString& path, int format, int rate, int channels, int frames,
                      double amplitude) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    double peak = 0;
    for (int f = 0; f < frames; ++f)
        peak = std::max(peak, std::sin(2 * M_PI * 1000.0 * f / rate));
    std::vector<double> data;
    for (int f = 0; f < frames; ++f)
        data.insert(data.end(), channels,
                    0.25 + amplitude * (std::sin(2 * M_PI * 1000.0 * f / rate) / peak));
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE); // a hot float file stays hot
    return sf_writef_double(file, data.data(), frames) == frames && sf_close(file) == 0;
}

// The first channel's samples; info tells the rest.
inline std::vector<short> readSound(const QString& path, SF_INFO& info) {
    info = {};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<short> all(info.frames * info.channels), first;
    for (sf_count_t i = 0, got = sf_readf_short(file, all.data(), info.frames); i < got; ++i)
        first.push_back(all[i * info.channels]);
    sf_close(file);
    return first;
}

// A tone's frequency from its crossings of its mean, away from the converter's edges.
inline double toneHz(const std::vector<short>& s, int rate) {
    const std::size_t from = 50, to = s.size() > 200 ? s.size() - 50 : from;
    double mean = 0;
    for (std::size_t i = from; i < to; ++i)
        mean += s[i] / double(to - from);
    int crossings = 0;
    for (std::size_t i = from + 1; i < to; ++i)
        crossings += (s[i - 1] < mean) != (s[i] < mean);
    return crossings / 2.0 * rate / double(to - from);
}
