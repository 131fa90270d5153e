#include "config/configrecord.h"

#include "support/littleendian.h"

#include <QStringDecoder>

#include <cstring>

namespace {

constexpr int kTextsOffset = 0;
constexpr int kPathsOffset = kTextsOffset + ConfigRecord::kEntries * ConfigRecord::kEntryBytes;
constexpr int kSelectedMemoryOffset =
    kPathsOffset + ConfigRecord::kEntries * ConfigRecord::kEntryBytes;
constexpr int kReservedAOffset = kSelectedMemoryOffset + 4;
constexpr int kReservedBOffset = kReservedAOffset + 4;
constexpr int kLoopDelayOffset = kReservedBOffset + 4;
constexpr int kPortKindOffset = kLoopDelayOffset + 4;
constexpr int kPortNameOffset = kPortKindOffset + 4;
constexpr int kMicGainOffset = kPortNameOffset + ConfigRecord::kPortNameBytes;
constexpr int kPolarityOffset = kMicGainOffset + 4;
constexpr int kIdAlarmOnOffset = kPolarityOffset + 4;
constexpr int kIdAlarmSecondsOffset = kIdAlarmOnOffset + 1;
constexpr int kStayOnTopOffset = kIdAlarmSecondsOffset + 4;
constexpr int kInputDeviceOffset = kStayOnTopOffset + 1;
constexpr int kOutputDeviceOffset = kInputDeviceOffset + 4;
static_assert(kSelectedMemoryOffset == 6656 && kIdAlarmSecondsOffset == 6717);
static_assert(kOutputDeviceOffset + 4 == ConfigRecord::kRecordBytes);

// Calls visit(offset, width, field) for every field in the order of the record, so that writing
// and reading share one layout.
template <typename Record, typename Visit> void forEachField(Record& r, Visit&& visit) {
    for (int k = 0; k < ConfigRecord::kEntries; ++k)
        visit(kTextsOffset + k * ConfigRecord::kEntryBytes, ConfigRecord::kEntryBytes,
              r.messageTexts[k]);
    for (int k = 0; k < ConfigRecord::kEntries; ++k)
        visit(kPathsOffset + k * ConfigRecord::kEntryBytes, ConfigRecord::kEntryBytes,
              r.slotPaths[k]);
    visit(kSelectedMemoryOffset, 4, r.selectedMemory);
    visit(kReservedAOffset, 4, r.reservedA);
    visit(kReservedBOffset, 4, r.reservedB);
    visit(kLoopDelayOffset, 4, r.loopDelay);
    visit(kPortKindOffset, 4, r.keyingPortKind);
    visit(kPortNameOffset, ConfigRecord::kPortNameBytes, r.keyingPortName);
    visit(kMicGainOffset, 4, r.micGainCode);
    visit(kPolarityOffset, 4, r.keyingPolarity);
    visit(kIdAlarmOnOffset, 1, r.idAlarmOn);
    visit(kIdAlarmSecondsOffset, 4, r.idAlarmSeconds);
    visit(kStayOnTopOffset, 1, r.stayOnTop);
    visit(kInputDeviceOffset, 4, r.inputDevice);
    visit(kOutputDeviceOffset, 4, r.outputDevice);
}

// The UTF-8 of text, cut to fit an entry of width bytes with its terminating zero, never inside
// a character.
QByteArray encodeEntry(const QString& text, int width) {
    QByteArray bytes = text.toUtf8();
    int keep = width - 1;
    if (bytes.size() <= keep)
        return bytes;
    while (keep > 0 && (static_cast<unsigned char>(bytes[keep]) & 0xC0) == 0x80)
        --keep; // bytes[keep] continues the character that starts before it
    bytes.truncate(keep);
    return bytes;
}

QByteArray terminatedBytes(const char* entry, int width) {
    const void* zero = std::memchr(entry, 0, static_cast<std::size_t>(width));
    return QByteArray(entry,
                      zero ? static_cast<int>(static_cast<const char*>(zero) - entry) : width);
}

QString decodeEntry(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

struct Writer {
    char* out;

    void operator()(int offset, int width, const QString& text) const {
        const QByteArray bytes = encodeEntry(text, width);
        std::memcpy(out + offset, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    }
    void operator()(int offset, int width, const QByteArray& raw) const {
        std::memcpy(out + offset, raw.constData(),
                    static_cast<std::size_t>(qMin(raw.size(), width - 1)));
    }
    void operator()(int offset, int, std::uint32_t value) const {
        storeLe32(reinterpret_cast<unsigned char*>(out + offset), value);
    }
    void operator()(int offset, int, std::int32_t value) const {
        (*this)(offset, 4, static_cast<std::uint32_t>(value));
    }
    void operator()(int offset, int, std::uint8_t value) const {
        out[offset] = static_cast<char>(value);
    }
};

struct Reader {
    const QByteArray& bytes;

    bool holds(int offset, int width) const { return offset + width <= bytes.size(); }
    const char* at(int offset) const { return bytes.constData() + offset; }
    std::uint32_t le32(int offset) const {
        return loadLe32(reinterpret_cast<const unsigned char*>(at(offset)));
    }

    void operator()(int offset, int width, QString& text) const {
        if (holds(offset, width))
            text = decodeEntry(terminatedBytes(at(offset), width));
    }
    void operator()(int offset, int width, QByteArray& raw) const {
        if (holds(offset, width))
            raw = terminatedBytes(at(offset), width);
    }
    void operator()(int offset, int width, std::uint32_t& value) const {
        if (holds(offset, width))
            value = le32(offset);
    }
    void operator()(int offset, int width, std::int32_t& value) const {
        if (holds(offset, width))
            value = static_cast<std::int32_t>(le32(offset));
    }
    void operator()(int offset, int width, std::uint8_t& value) const {
        if (holds(offset, width))
            value = static_cast<std::uint8_t>(bytes[offset]);
    }
};

} // namespace

int ConfigRecord::selectedSlot() const {
    const bool valid = selectedMemory >= kFirstSlot && selectedMemory <= kLastSlot;
    return valid ? static_cast<int>(selectedMemory) : kFirstSlot;
}

QByteArray ConfigRecord::serialize() const {
    QByteArray bytes(kRecordBytes, '\0');
    forEachField(*this, Writer{bytes.data()});
    return bytes;
}

ConfigRecord ConfigRecord::parse(const QByteArray& bytes, const ConfigRecord& base) {
    ConfigRecord record = base;
    forEachField(record, Reader{bytes});
    return record;
}

FileRead readConfigFile(const QString& path) {
    return readRegularFile(path, ConfigRecord::kRecordBytes);
}
