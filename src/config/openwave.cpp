#include "config/openwave.h"

#include "keyer/soundfile.h"
#include "support/littleendian.h"

#include <QFileInfo>

#include <array>

namespace {

const QString kImportTitle = QStringLiteral("Import Message");

QString seconds(std::size_t samples) {
    return QString::number(static_cast<double>(samples) / kMessageFormat.samplesPerSecond, 'f', 2) +
           QStringLiteral(" s");
}

void show(Dialogs& dialogs, const MessageBoxText& message, const QString& detail = {}) {
    const QString text = QString::fromLatin1(message.text);
    dialogs.showMessage(detail.isEmpty() ? text : text + QStringLiteral(": ") + detail,
                        QString::fromLatin1(message.title));
}

} // namespace

std::optional<MessageBoxText> checkWaveFile(const QString& path) {
    const HeaderResult result = openMessageFile(path).result;
    if (result == HeaderResult::CannotOpen)
        return kCouldNotOpenWaveFile;
    return headerFailureMessage(result);
}

void saveWave(const QString& source, Dialogs& dialogs) {
    OpenedMessage opened = openMessageFile(source);
    if (const auto refusal = headerFailureMessage(opened.result)) {
        show(dialogs, *refusal,
             opened.result == HeaderResult::UnplayableFormat ? describeFormat(opened.format)
                                                             : QString());
        return;
    }
    const QString target =
        dialogs.saveFileName(QStringLiteral("Save Wave"), QString::fromLatin1(kSaveWaveFilter));
    if (target.isEmpty())
        return;
    MessageReader reader(std::move(opened));
    std::vector<std::int16_t> samples;
    samples.reserve(reader.playBytes() / kMessageFormat.blockAlign);
    std::array<std::uint8_t, 4096> block{};
    while (const std::size_t got = reader.read(block.data(), block.size()))
        for (std::size_t i = 0; i + 1 < got; i += kMessageFormat.blockAlign)
            samples.push_back(static_cast<std::int16_t>(loadLe16(&block[i])));
    if (!writeSoundFile(target, samples, soundFileKindFor(target)))
        show(dialogs, kCouldNotWriteWaveFile);
}

bool importMessage(const QString& source, const QString& target, int slot, Dialogs& dialogs) {
    const ImportedSound sound = importSound(source);
    if (!sound.ok) {
        dialogs.showMessage(QStringLiteral("Could not import the file: ") + sound.reason,
                            QStringLiteral("File Error Message"));
        return false;
    }
    const QString length = seconds(sound.samples.size());
    if (QFileInfo::exists(target) &&
        !dialogs.askYesNo(
            QStringLiteral("Memory %1 holds a message. Replace it with this one of %2?")
                .arg(slot)
                .arg(length),
            kImportTitle))
        return false;
    if (!writeSoundFile(target, sound.samples, SoundFileKind::Wav)) {
        show(dialogs, kCouldNotWriteWaveFile);
        return false;
    }
    QString text = QStringLiteral("Memory %1 now holds a message of %2.").arg(slot).arg(length);
    if (sound.clipped)
        text += QStringLiteral(" Samples over full scale were clipped.");
    dialogs.showMessage(text, kImportTitle);
    return true;
}
