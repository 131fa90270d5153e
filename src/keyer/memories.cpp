#include "keyer/memories.h"

#include <stdexcept>

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

QString MemorySlots::fitEntry(const QString& text) {
    int bytes = 0;
    int units = 0;
    while (units < text.size()) {
        const QChar c = text.at(units);
        const bool pair =
            c.isHighSurrogate() && units + 1 < text.size() && text.at(units + 1).isLowSurrogate();
        const char32_t cp = pair ? QChar::surrogateToUcs4(c, text.at(units + 1)) : c.unicode();
        const int length = cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
        if (bytes + length > kMaxEntryBytes)
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
