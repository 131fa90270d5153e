#include "keyer/memories.h"

#include <QStringDecoder>

#include <optional>
#include <stdexcept>

namespace {
constexpr unsigned char kContinuationMask = 0xC0;
constexpr unsigned char kContinuation = 0x80;
constexpr int kLongestSequence = 4;

// The length of the UTF-8 sequence that lead begins.
int sequenceLength(unsigned char lead) {
    if (lead >= 0xF0)
        return 4;
    if (lead >= 0xE0)
        return 3;
    return lead >= 0xC0 ? 2 : 1;
}

std::optional<QString> utf8(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The length of bytes without a final UTF-8 sequence that the end cuts short, or -1 when the
// bytes do not end inside a sequence.
int withoutCutSequence(const QByteArray& bytes) {
    const int size = static_cast<int>(bytes.size());
    for (int start = size - 1; start >= 0 && start >= size - kLongestSequence; --start) {
        const auto byte = static_cast<unsigned char>(bytes[start]);
        if ((byte & kContinuationMask) != kContinuation)
            return sequenceLength(byte) > size - start ? start : -1;
    }
    return -1;
}
} // namespace

QString MemorySlots::fileName(int slot) {
    return QStringLiteral("memory%1.wav").arg(slot);
}

std::size_t MemorySlots::index(int entry) {
    if (entry < 0 || entry >= kEntries)
        throw std::out_of_range("memory table entry out of range");
    return static_cast<std::size_t>(entry);
}

QString MemorySlots::toStored(const QString& windowText) {
    QString text = windowText;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return text;
}

QString MemorySlots::toWindow(const QString& stored) {
    QString text = stored;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

QString MemorySlots::decodeNote(const QByteArray& bytes) {
    if (auto text = utf8(bytes))
        return *text;
    // Only a note that fills its entry can have been cut by it; a shorter one that ends in a
    // lead byte is Latin-1 ("René"), and its last letter stays.
    const int whole = bytes.size() == kMaxEntryBytes ? withoutCutSequence(bytes) : -1;
    if (whole >= 0) {
        if (auto text = utf8(bytes.left(whole)))
            return *text;
    }
    return QString::fromLatin1(bytes);
}

QString MemorySlots::fitEntry(const QString& text, int maxBytes) {
    int bytes = 0;
    int units = 0;
    while (units < text.size()) {
        const QChar c = text.at(units);
        const bool pair =
            c.isHighSurrogate() && units + 1 < text.size() && text.at(units + 1).isLowSurrogate();
        const char32_t cp = pair ? QChar::surrogateToUcs4(c, text.at(units + 1)) : c.unicode();
        const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (bytes + length > maxBytes)
            break;
        bytes += length;
        units += pair ? 2 : 1;
    }
    QString cut = text.left(units);
    // A cut CR LF pair would leave a lone CR that the window would not show as a break.
    if (units < text.size() && cut.endsWith(QLatin1Char('\r')))
        cut.chop(1);
    return cut;
}
