// Any bytes as the configuration file: reading it as start-up does, over the built-in defaults,
// and writing the record back as shutdown does; then the whole start-up of a window on that file,
// every stored value applied through its handler, and its shutdown.

#include "config/configrecord.h"
#include "keyer/menutables.h"

#include "app/look.h"
#include "fuzzsupport.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QPushButton>

#include <algorithm>

namespace {

struct NumberField {
    int offset;
    int width;
};

// The record's numbers, written out again here so that the check does not share the layout it
// checks.
constexpr NumberField kNumberFields[] = {
    {6656, 4}, {6660, 4}, {6664, 4}, {6668, 4}, {6672, 4}, {6708, 4},
    {6712, 4}, {6716, 1}, {6717, 4}, {6721, 1}, {6722, 4}, {6726, 4},
};
constexpr int kEntryBytes = 256;
constexpr int kTextEntries = 26; // the notes, then the slot paths

// The file as start-up reads it: at most one record's bytes, over the defaults.
ConfigRecord readRecord(const std::uint8_t* data, std::size_t size, const QString& path) {
    const FileRead read = readConfigFile(path);
    require(read.status == FileRead::Status::Read, "an existing file cannot be read");
    const auto held = std::min<std::size_t>(size, ConfigRecord::kRecordBytes);
    require(read.bytes == QByteArray(reinterpret_cast<const char*>(data), static_cast<int>(held)),
            "the bytes read are not the file's first record");
    return ConfigRecord::parse(read.bytes, ConfigRecord());
}

QByteArray entryUpToZero(const QByteArray& record, int offset) {
    const QByteArray entry = record.mid(offset, kEntryBytes);
    const int zero = entry.indexOf('\0');
    return zero < 0 ? entry : entry.left(zero);
}

bool isAscii(const QByteArray& bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Writing the record back gives a whole record, every number as the file held it or, where the
// file ends before it, as the defaults hold it, every plain ASCII note and path as the file held
// it, and reading that again changes nothing.
void checkWrittenBack(const ConfigRecord& record, const QByteArray& file) {
    const QByteArray written = record.serialize();
    require(written.size() == ConfigRecord::kRecordBytes, "the record written is not 6730 bytes");
    require(ConfigRecord::parse(written, ConfigRecord()).serialize() == written,
            "reading back what was written changes it");

    static const QByteArray defaults = ConfigRecord().serialize();
    for (const NumberField& f : kNumberFields) {
        const QByteArray& source = f.offset + f.width <= file.size() ? file : defaults;
        require(written.mid(f.offset, f.width) == source.mid(f.offset, f.width),
                "a number is not written back as read");
    }
    for (int k = 0; k < kTextEntries && (k + 1) * kEntryBytes <= file.size(); ++k) {
        const QByteArray read = entryUpToZero(file, k * kEntryBytes);
        if (isAscii(read))
            require(entryUpToZero(written, k * kEntryBytes) == read.left(kEntryBytes - 1),
                    "an ASCII note or path is not written back as read");
    }
    require(record.selectedSlot() >= ConfigRecord::kFirstSlot &&
                record.selectedSlot() <= ConfigRecord::kLastSlot,
            "the slot to select is none of the twelve");
}

// A window started on the file applies it through the menu handlers and, closed, writes a whole
// record back; it selects one of the twelve slots and ticks exactly one item in each choice.
void checkWindowOnFile(const std::uint8_t* data, std::size_t size) {
    WindowHarness h;
    QFile file(h.installDir() + QStringLiteral("Tavrin.cfg"));
    require(file.open(QIODevice::WriteOnly), "cannot write the configuration");
    file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    file.close();

    MainWindow& w = h.open();
    const int slot = w.station().keyerState().selectedMemory();
    require(slot >= 1 && slot <= 12, "the window selected none of the twelve slots");
    int red = 0;
    for (QPushButton* b : w.ui().memoryButtons)
        red += look::textColour(b) == look::kRed ? 1 : 0;
    require(red == 1, "not exactly one memory button is red");
    const auto ticks = [](const auto& items) {
        return std::count_if(items.begin(), items.end(), [](QAction* a) { return a->isChecked(); });
    };
    // The item carrying the delay in force is ticked; a delay no item carries leaves none.
    const std::int32_t delay = w.station().keyerState().loopDelay();
    for (std::size_t i = 0; i < kLoopDelays.size(); ++i)
        require(w.ui().loopDelayItems[i]->isChecked() == (kLoopDelays[i].tenths == delay),
                "a loop delay tick differs from the delay in force");
    require(ticks(w.ui().gainItems) == 1, "not exactly one gain is ticked");
    require(w.ui().normalItem->isChecked() != w.ui().invertItem->isChecked(), "polarity ticks");
    require(w.ui().idOnItem->isChecked() != w.ui().idOffItem->isChecked(), "ID alarm ticks");
    require(w.ui().stayOnTopOnItem->isChecked() != w.ui().stayOnTopOffItem->isChecked(),
            "Stay On Top ticks");

    require(w.close(), "the window did not close");
    h.window.reset();
    require(QFile(h.installDir() + QStringLiteral("Tavrin.cfg")).size() ==
                ConfigRecord::kRecordBytes,
            "shutdown did not write a whole record");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    file.fill(data, size);
    const ConfigRecord record = readRecord(data, size, file.path());
    checkWrittenBack(record, QByteArray::fromRawData(reinterpret_cast<const char*>(data),
                                                     static_cast<int>(size)));
    checkWindowOnFile(data, size);
    return 0;
}
