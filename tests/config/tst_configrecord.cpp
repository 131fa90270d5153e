#include "config/configrecord.h"

#include "wavebytes.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

namespace {

// A record whose every field differs from the defaults and from every other field.
ConfigRecord distinctRecord(int seed) {
    ConfigRecord r;
    for (int k = 0; k < ConfigRecord::kEntries; ++k) {
        r.messageTexts[k] = QStringLiteral("note %1 of slot %2").arg(seed).arg(k).toLatin1();
        r.slotPaths[k] = QStringLiteral("/home/op/Tavrin/memory%1-%2.wav").arg(k).arg(seed);
    }
    r.selectedMemory = 3 + seed;
    r.reservedA = 0xA1B2C3D4u + seed;
    r.reservedB = 0x0BADF00Du + seed;
    r.loopDelay = 450 + seed;
    r.keyingPortKind = 1 + seed;
    r.keyingPortName = "COM" + QByteArray::number(3 + seed);
    r.micGainCode = 1000 + seed;
    r.keyingPolarity = -7 - seed;
    r.idAlarmOn = static_cast<std::uint8_t>(0x81 + seed);
    r.idAlarmSeconds = 0x01020304 + seed;
    r.stayOnTop = static_cast<std::uint8_t>(0x42 + seed);
    r.inputDevice = 2 + seed;
    r.outputDevice = 0x7FFFFFF0 + seed;
    return r;
}

struct Field {
    const char* name;
    int offset;
    int width;
    std::function<QString(const ConfigRecord&)> value;
};

// The layout, written out field by field for the tests.
QList<Field> layout() {
    QList<Field> fields;
    for (int k = 0; k < ConfigRecord::kEntries; ++k) {
        fields.append({"text", k * 256, 256, [k](const ConfigRecord& r) {
                           return QString::fromLatin1(r.messageTexts[k]);
                       }});
        fields.append(
            {"path", 3328 + k * 256, 256, [k](const ConfigRecord& r) { return r.slotPaths[k]; }});
    }
    const auto number = [](auto member) {
        return [member](const ConfigRecord& r) { return QString::number(r.*member); };
    };
    fields.append({"SelectedMemory", 6656, 4, number(&ConfigRecord::selectedMemory)});
    fields.append({"reserved A", 6660, 4, number(&ConfigRecord::reservedA)});
    fields.append({"reserved B", 6664, 4, number(&ConfigRecord::reservedB)});
    fields.append({"LoopDelay", 6668, 4, number(&ConfigRecord::loopDelay)});
    fields.append({"KeyingPortKind", 6672, 4, number(&ConfigRecord::keyingPortKind)});
    fields.append({"KeyingPortName", 6676, 32,
                   [](const ConfigRecord& r) { return QString::fromLatin1(r.keyingPortName); }});
    fields.append({"MicGainCode", 6708, 4, number(&ConfigRecord::micGainCode)});
    fields.append({"KeyingPolarity", 6712, 4, number(&ConfigRecord::keyingPolarity)});
    fields.append({"IdAlarmOn", 6716, 1, number(&ConfigRecord::idAlarmOn)});
    fields.append({"IdAlarmSeconds", 6717, 4, number(&ConfigRecord::idAlarmSeconds)});
    fields.append({"stay on top", 6721, 1, number(&ConfigRecord::stayOnTop)});
    fields.append({"InputDevice", 6722, 4, number(&ConfigRecord::inputDevice)});
    fields.append({"OutputDevice", 6726, 4, number(&ConfigRecord::outputDevice)});
    return fields;
}

void compareRecords(const ConfigRecord& actual, const ConfigRecord& expected) {
    for (const Field& f : layout())
        QVERIFY2(f.value(actual) == f.value(expected),
                 qPrintable(QStringLiteral("%1 at %2: %3 instead of %4")
                                .arg(f.name)
                                .arg(f.offset)
                                .arg(f.value(actual), f.value(expected))));
}

QByteArray entry(const QByteArray& record, int k) {
    return record.mid(k * 256, 256);
}

} // namespace

class TestConfigRecord : public QObject {
    Q_OBJECT

private slots:
    void writesTheDefaults() {
        const QByteArray bytes = ConfigRecord().serialize();
        QCOMPARE(bytes.size(), 6730);
        QByteArray expected(6730, '\0');
        expected.replace(6656, 4, WaveBytes::le32(1));
        expected.replace(6664, 4, WaveBytes::le32(25000));
        expected.replace(6668, 4, WaveBytes::le32(10));
        expected.replace(6708, 4, WaveBytes::le32(1));
        expected.replace(6712, 4, WaveBytes::le32(1));
        expected.replace(6717, 4, WaveBytes::le32(10));
        QCOMPARE(bytes, expected);
    }

    void placesEveryFieldAtItsOffset() {
        const ConfigRecord r = distinctRecord(0);
        const QByteArray bytes = r.serialize();
        QCOMPARE(bytes.size(), 6730);
        for (int k = 0; k < 13; ++k) {
            const QByteArray text = r.messageTexts[k];
            QCOMPARE(bytes.mid(k * 256, 256), text + QByteArray(256 - text.size(), '\0'));
            const QByteArray path = r.slotPaths[k].toUtf8();
            QCOMPARE(bytes.mid(3328 + k * 256, 256), path + QByteArray(256 - path.size(), '\0'));
        }
        QCOMPARE(bytes.mid(6656, 4), WaveBytes::le32(3));
        QCOMPARE(bytes.mid(6660, 4), QByteArray::fromHex("d4c3b2a1"));
        QCOMPARE(bytes.mid(6664, 4), QByteArray::fromHex("0df0ad0b"));
        QCOMPARE(bytes.mid(6668, 4), WaveBytes::le32(450));
        QCOMPARE(bytes.mid(6672, 4), WaveBytes::le32(1));
        QCOMPARE(bytes.mid(6676, 32), QByteArray("COM3") + QByteArray(28, '\0'));
        QCOMPARE(bytes.mid(6708, 4), WaveBytes::le32(1000));
        QCOMPARE(bytes.mid(6712, 4), QByteArray::fromHex("f9ffffff"));
        QCOMPARE(bytes.mid(6716, 1), QByteArray::fromHex("81"));
        QCOMPARE(bytes.mid(6717, 4), QByteArray::fromHex("04030201"));
        QCOMPARE(bytes.mid(6721, 1), QByteArray::fromHex("42"));
        QCOMPARE(bytes.mid(6722, 4), WaveBytes::le32(2));
        QCOMPARE(bytes.mid(6726, 4), QByteArray::fromHex("f0ffff7f"));
    }

    void readsBackWhatItWrote() {
        const ConfigRecord written = distinctRecord(5);
        compareRecords(ConfigRecord::parse(written.serialize(), ConfigRecord()), written);
    }

    void keepsTheCurrentValuesBeyondTheEndOfAShortFile_data() {
        QTest::addColumn<int>("length");
        for (int length : {0, 255, 256, 3328, 6656, 6657, 6659, 6660, 6690, 6708, 6716, 6717, 6719,
                           6721, 6722, 6729})
            QTest::newRow(qPrintable(QString::number(length))) << length;
    }
    void keepsTheCurrentValuesBeyondTheEndOfAShortFile() {
        QFETCH(int, length);
        const ConfigRecord current = distinctRecord(1);
        const ConfigRecord stored = distinctRecord(2);
        const ConfigRecord read = ConfigRecord::parse(stored.serialize().left(length), current);
        for (const Field& f : layout()) {
            const bool inside = f.offset + f.width <= length;
            QVERIFY2(f.value(read) == f.value(inside ? stored : current),
                     qPrintable(QStringLiteral("%1 at %2").arg(f.name).arg(f.offset)));
        }
    }

    void aFileOfTheTablesOnlyLeavesTheDefaults() {
        ConfigRecord stored = distinctRecord(3);
        ConfigRecord expected;
        expected.messageTexts = stored.messageTexts;
        expected.slotPaths = stored.slotPaths;
        compareRecords(ConfigRecord::parse(stored.serialize().left(6656), ConfigRecord()),
                       expected);
    }

    void ignoresBytesAfterTheRecord() {
        const ConfigRecord stored = distinctRecord(4);
        const QByteArray bytes = stored.serialize() + QByteArray(5000, '\x55');
        compareRecords(ConfigRecord::parse(bytes, ConfigRecord()), stored);
    }

    void readsRandomBytesIntoAStableRecord() {
        auto* random = QRandomGenerator::global();
        for (int run = 0; run < 300; ++run) {
            QByteArray bytes(random->bounded(8000), '\0');
            for (char& b : bytes)
                b = static_cast<char>(random->bounded(256));
            const QByteArray once = ConfigRecord::parse(bytes, ConfigRecord()).serialize();
            QCOMPARE(once.size(), 6730);
            QCOMPARE(ConfigRecord::parse(once, ConfigRecord()).serialize(), once);
        }
    }

    void storesPathsAsUtf8AndReadsOlderOnesAsLatin1() {
        ConfigRecord r;
        r.slotPaths[2] = QStringLiteral("/home/jörg/Tavrin/memory2.wav");
        QByteArray bytes = r.serialize();
        QVERIFY(entry(bytes, 13 + 2).startsWith(r.slotPaths[2].toUtf8() + '\0'));
        bytes.replace((13 + 3) * 256, 8, QByteArray("/j\xF6rg/\0", 8));
        QCOMPARE(ConfigRecord::parse(bytes, ConfigRecord()).slotPaths[3], QStringLiteral("/jörg/"));
    }

    void cutsALongPathWithoutSplittingACharacter_data() {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<int>("kept");
        QTest::newRow("ASCII") << QStringLiteral("a") << 255;
        QTest::newRow("two bytes") << QStringLiteral("é") << 254;
        QTest::newRow("three bytes") << QStringLiteral("€") << 255;
        QTest::newRow("four bytes") << QStringLiteral("\U0001F4FB") << 252;
        QTest::newRow("mixed") << QStringLiteral("aa\U0001F4FB") << 254;
    }
    void cutsALongPathWithoutSplittingACharacter() {
        QFETCH(QString, unit);
        QFETCH(int, kept);
        ConfigRecord r;
        r.slotPaths[4] = unit.repeated(300);
        r.slotPaths[5] = QStringLiteral("next");
        const QByteArray bytes = r.serialize();
        const ConfigRecord read = ConfigRecord::parse(bytes, ConfigRecord());
        QCOMPARE(read.slotPaths[4].toUtf8().size(), kept);
        QVERIFY(r.slotPaths[4].startsWith(read.slotPaths[4]));
        QCOMPARE(bytes.at((13 + 4) * 256 + kept), '\0');
        QCOMPARE(read.slotPaths[5], QStringLiteral("next"));
    }

    void readsEntriesWithoutATerminatorOnlyWithinTheirField() {
        QByteArray bytes = ConfigRecord().serialize();
        bytes.replace(6 * 256, 256, QByteArray(256, 'A'));
        bytes.replace(7 * 256, 3, "BBB");
        bytes.replace(3328 + 12 * 256, 256, QByteArray(256, 'P'));
        bytes.replace(6676, 32, QByteArray(32, 'N'));
        const ConfigRecord read = ConfigRecord::parse(bytes, ConfigRecord());
        QCOMPARE(read.messageTexts[6], QByteArray(256, 'A'));
        QCOMPARE(read.messageTexts[7], QByteArray("BBB"));
        QCOMPARE(read.slotPaths[12], QString(256, 'P'));
        QCOMPARE(read.keyingPortName, QByteArray(32, 'N'));
        QCOMPARE(read.selectedMemory, 1u);
        QCOMPARE(read.micGainCode, 1);

        // Written back, each gets its terminator inside its field.
        const QByteArray again = read.serialize();
        QCOMPARE(entry(again, 6), QByteArray(255, 'A') + '\0');
        QCOMPARE(again.mid(6676, 32), QByteArray(31, 'N') + '\0');
        QCOMPARE(again.mid(6708, 4), WaveBytes::le32(1));
    }

    void selectsSlotOneForASlotThatDoesNotExist() {
        ConfigRecord r;
        for (std::uint32_t stored : {0u, 13u, 0xFFFFFFFFu}) {
            r.selectedMemory = stored;
            QCOMPARE(r.selectedSlot(), 1);
        }
        r.selectedMemory = 12;
        QCOMPARE(r.selectedSlot(), 12);
    }

    void readsAtMostOneRecordFromAFile() {
        QTemporaryDir dir;
        QCOMPARE(readConfigFile(dir.filePath("Tavrin.cfg")).status, FileRead::Status::Missing);
        const QByteArray stored = distinctRecord(6).serialize();
        QVERIFY(writeBytes(dir.filePath("Tavrin.cfg"), stored + "trailing"));
        QCOMPARE(readConfigFile(dir.filePath("Tavrin.cfg")).bytes, stored);
    }
};

QTEST_GUILESS_MAIN(TestConfigRecord)
#include "tst_configrecord.moc"
