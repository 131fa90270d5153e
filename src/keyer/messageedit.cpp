#include "keyer/messageedit.h"

#include "keyer/messagefile.h"
#include "support/atomicfile.h"
#include "support/regularfile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qint64 kLongestEditedBytes =
    std::chrono::seconds(kLongestEditedMessage).count() * kMessageFormat.bytesPerSecond;
const QString kAsRecordedSuffix = QStringLiteral(".untrimmed");

} // namespace

QByteArray messageHeader(std::uint32_t dataBytes) {
    char* buffer = nullptr;
    std::size_t size = 0;
    {
        FileHandle stream(open_memstream(&buffer, &size));
        if (!stream || !writeMessageHeader(stream.get(), kMessageFormat, dataBytes))
            return {};
    }
    QByteArray header(buffer, static_cast<qsizetype>(size));
    std::free(buffer);
    return header;
}

FileStatus writeMessage(const QString& path, const std::int16_t* samples, std::size_t count) {
    QByteArray bytes(qsizetype(count * kBytesPerSample), Qt::Uninitialized);
    qToLittleEndian<std::int16_t>(samples, qsizetype(count), bytes.data());
    const QByteArray header = messageHeader(static_cast<std::uint32_t>(bytes.size()));
    return header.isEmpty() ? FileStatus::failed(EFBIG) : writeFileAtomically(path, header + bytes);
}

std::optional<EditableMessage> readEditableMessage(const QString& path) {
    FileRead read = readRegularFile(path, kLongestEditedBytes + 1);
    if (read.status != FileRead::Status::Read || read.bytes.size() > kLongestEditedBytes)
        return std::nullopt;
    HeaderReading header;
    long offset = 0;
    {
        FileHandle stream(
            fmemopen(read.bytes.data(), static_cast<std::size_t>(read.bytes.size()), "rb"));
        if (!stream)
            return std::nullopt;
        header = readMessageHeader(stream.get());
        offset = std::ftell(stream.get());
    }
    if (header.result != HeaderResult::Ok || !isDeviceFormat(header.format))
        return std::nullopt;
    EditableMessage message{read.bytes, {}};
    // Its storage is never null, not even for a recording of no samples: the bulk conversion
    // must not be handed a null pointer.
    message.samples.resize(qsizetype(header.dataBytes / kBytesPerSample));
    qFromLittleEndian<std::int16_t>(read.bytes.constData() + offset,
                                    qsizetype(message.samples.size()), message.samples.data());
    return message;
}

FileStatus replaceMessage(const QString& path, const EditableMessage& old,
                          const std::int16_t* samples, std::size_t count) {
    const bool keeping = !QFileInfo::exists(asRecordedPath(path));
    if (keeping) {
        if (const FileStatus kept = writeFileAtomically(asRecordedPath(path), old.file); !kept)
            return kept;
    }
    const FileStatus written = writeMessage(path, samples, count);
    if (!written && keeping)
        forgetAsRecorded(path);
    return written;
}

QString asRecordedPath(const QString& path) {
    return path + kAsRecordedSuffix;
}

FileStatus restoreAsRecorded(const QString& path) {
    const FileRead kept = readRegularFile(asRecordedPath(path), kLongestEditedBytes + 1);
    if (kept.status != FileRead::Status::Read || kept.bytes.size() > kLongestEditedBytes)
        return kept.status == FileRead::Status::Failed ? kept.failure : FileStatus::failed(ENOENT);
    const FileStatus restored = writeFileAtomically(path, kept.bytes);
    if (restored)
        forgetAsRecorded(path);
    return restored;
}

void forgetAsRecorded(const QString& path) {
    QFile::remove(asRecordedPath(path));
}
