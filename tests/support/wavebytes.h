#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtEndian>

// Builds the bytes of a wave file for tests, its format fields open to change. The defaults give
// the header a recording writes.
struct WaveBytes {
    quint32 fmtSize = 16;
    quint16 formatTag = 1;
    quint16 channels = 1;
    quint32 samplesPerSecond = 11025;
    quint32 bytesPerSecond = 22050;
    quint16 blockAlign = 2;
    quint16 bitsPerSample = 16;
    QByteArray fmtExtra;   // format bytes beyond the 16 standard ones
    QByteArray beforeData; // whole chunks between the format chunk and the data chunk
    QByteArray samples;

    static QByteArray le16(quint16 v) {
        const quint16 le = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char*>(&le), 2);
    }
    static QByteArray le32(quint32 v) {
        const quint32 le = qToLittleEndian(v);
        return QByteArray(reinterpret_cast<const char*>(&le), 4);
    }
    // A fact chunk: id, size 4, and a 4-byte sample count.
    static QByteArray factChunk(quint32 sampleCount) {
        return "fact" + le32(4) + le32(sampleCount);
    }

    QByteArray bytes() const {
        const QByteArray afterRiffSize =
            "WAVEfmt " + le32(fmtSize) + le16(formatTag) + le16(channels) + le32(samplesPerSecond) +
            le32(bytesPerSecond) + le16(blockAlign) + le16(bitsPerSample) + fmtExtra + beforeData +
            "data" + le32(static_cast<quint32>(samples.size())) + samples;
        return "RIFF" + le32(static_cast<quint32>(afterRiffSize.size())) + afterRiffSize;
    }
};

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The little-endian 32-bit value at offset; the caller makes sure the bytes hold it.
inline quint32 le32At(const QByteArray& bytes, int offset) {
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
