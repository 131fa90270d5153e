#pragma once

#include <QString>

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <vector>

// Sound files of any kind for tests, written and read through libsndfile.

struct Sound {
    SF_INFO info{};
    std::vector<short> samples; // the first channel
};

// A 1 kHz tone over a steady offset, the same on every channel.
inline bool writeTone(const QString& path, int format, int rate, int channels, int frames,
                      double amplitude, double offset = 0.25) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_FALSE); // a hot float file stays hot
    std::vector<double> data;
    for (int f = 0; f < frames; ++f)
        data.insert(data.end(), channels,
                    offset + amplitude * std::sin(2 * M_PI * 1000.0 * f / rate));
    const bool written = sf_writef_double(file, data.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

inline Sound readSound(const QString& path) {
    Sound sound;
    if (SNDFILE* file = sf_open(path.toLocal8Bit().constData(), SFM_READ, &sound.info)) {
        std::vector<short> all(static_cast<std::size_t>(sound.info.frames * sound.info.channels));
        sf_readf_short(file, all.data(), sound.info.frames);
        for (std::size_t i = 0; i < all.size(); i += sound.info.channels)
            sound.samples.push_back(all[i]);
        sf_close(file);
    }
    return sound;
}

// A tone's frequency from its crossings of its mean, away from the converter's edges.
inline double toneHz(const std::vector<short>& s, int rate) {
    constexpr std::size_t kEdge = 50;
    if (s.size() < 4 * kEdge)
        return 0;
    double mean = 0;
    for (std::size_t i = kEdge; i < s.size() - kEdge; ++i)
        mean += s[i];
    mean /= static_cast<double>(s.size() - 2 * kEdge);
    int crossings = 0;
    for (std::size_t i = kEdge + 1; i < s.size() - kEdge; ++i)
        crossings += (s[i - 1] < mean) != (s[i] < mean);
    return crossings / 2.0 * rate / static_cast<double>(s.size() - 2 * kEdge);
}
