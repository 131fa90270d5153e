#pragma once

#include "wavebytes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <cmath>

// Phrases stood in for by tones of distinct pitch between silences, and the faults an exchange
// joined from them can have.
namespace phrasetones {
inline constexpr int kRate = 11025, kAmplitude = 8000;
inline constexpr int kToneSamples = kRate * 120 / 1000;

inline double pitch(const QStringList& tokens, const QString& token) {
    return 400.0 + 150 * tokens.indexOf(token);
}
// A tone of kToneSamples at hz with the given silences around it, as 16-bit samples.
inline QByteArray piece(double hz, int before, int after) {
    QByteArray bytes(2 * before, 0);
    for (int i = 0; i < kToneSamples; ++i)
        bytes += WaveBytes::le16(
            quint16(qint16(std::lround(kAmplitude * std::sin(2 * M_PI * hz * i / kRate)))));
    return bytes + QByteArray(2 * after, 0);
}
inline QVector<qint16> samples(const QByteArray& bytes) {
    QVector<qint16> out(bytes.size() / 2);
    // Nothing captured yet is no samples: an empty array has no data to convert from.
    if (!out.isEmpty())
        qFromLittleEndian<qint16>(bytes.constData(), out.size(), out.data());
    return out;
}
// What is wrong with out as the pieces of heard spoken in order: a piece of another length or
// pitch, a gap longer than 10 ms, or a step larger than the highest tone's own. Empty when
// nothing is.
inline QString fault(QVector<qint16> out, const QStringList& tokens, const QStringList& heard) {
    while (!out.isEmpty() && out.back() == 0) // what the device is handed after the message
        out.removeLast();
    const double step = double(out.size()) / heard.size();
    if (std::abs(step - kToneSamples) >= kRate * 5 / 1000)
        return QStringLiteral("pieces of %1 samples").arg(step);
    for (int k = 0; k < heard.size(); ++k) { // the pitch at each piece's middle 60 ms
        const int from = int(k * step + step / 2) - kRate * 30 / 1000;
        int crossings = 0;
        for (int i = from; i < from + kRate * 60 / 1000; ++i)
            crossings += (out[i] < 0) != (out[i + 1] < 0);
        if (std::abs(crossings / 2 / 0.06 - pitch(tokens, heard[k])) >= 25)
            return QStringLiteral("piece %1 is no %2").arg(k).arg(heard[k]);
    }
    int quiet = 0, longestQuiet = 0, largestStep = 0;
    double highest = 0;
    for (const QString& token : heard)
        highest = std::max(highest, pitch(tokens, token));
    for (int i = 1; i < out.size(); ++i) {
        quiet = std::abs(out[i]) < kAmplitude / 20 ? quiet + 1 : 0;
        longestQuiet = std::max(longestQuiet, quiet);
        largestStep = std::max(largestStep, std::abs(out[i] - out[i - 1]));
    }
    if (longestQuiet > kRate * 10 / 1000)
        return QStringLiteral("a gap of %1 samples").arg(longestQuiet);
    if (largestStep > kAmplitude * 2 * M_PI * highest / kRate * 1.25)
        return QStringLiteral("a step of %1").arg(largestStep);
    return {};
}
} // namespace phrasetones
