#include "config/openwave.h"

#include "keyer/exchange.h"
#include "keyer/messagereader.h"
#include "keyer/soundfile.h"
#include "support/atomicfile.h"
#include "support/littleendian.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>

#include <array>
#include <chrono>
#include <vector>

namespace {

constexpr std::uint32_t kDeviceRate = kMessageFormat.samplesPerSecond;
// The longest message a memory keeps: what a player reads at most.
constexpr std::uint64_t kLongestSamples = kMaxPlayableBytes / kMessageFormat.blockAlign;
constexpr int kPermille = 1000;
// Bytes of a message read at a time while it is saved.
constexpr std::size_t kSaveBlockBytes = 4096;

QString seconds(std::uint64_t samples) {
    return QString::number(static_cast<double>(samples) / kDeviceRate, 'f', 2) +
           QStringLiteral(" s");
}

Notice importTitle() {
    return translatable("MessageImport", "Import Message");
}

Notice couldNotImport(const Notice& why) {
    return translatable("MessageImport", "Could not import the file: ") + why;
}

Notice tooLong() {
    using Hours = std::chrono::duration<double, std::chrono::hours::period>;
    const Hours longest =
        std::chrono::duration<double>(static_cast<double>(kLongestSamples) / kDeviceRate);
    return couldNotImport(
        translatable("MessageImport", "it is longer than the longest message a memory keeps (%1 h)")
            .arg(longest.count(), 0, 'f', 1));
}

Notice withDetail(const MessageBoxText& message, const QString& detail) {
    return detail.isEmpty() ? message.textNotice()
                            : message.textNotice() + QStringLiteral(": ") + detail;
}

void show(Dialogs& dialogs, const MessageBoxText& message, const QString& detail = {}) {
    dialogs.showMessage(withDetail(message, detail), message.titleNotice());
}

// "keepme" saved as "WAV files (*.wav)" is "keepme.wav": the extension between "(*" and ")".
QString withExtension(const QString& name, const QString& fileType) {
    static const QRegularExpression extension(QStringLiteral(R"(\(\*(\.[^)]+)\))"));
    const QRegularExpressionMatch match = extension.match(fileType);
    if (!QFileInfo(name).suffix().isEmpty() || !match.hasMatch())
        return name;
    return name + match.captured(1);
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
    QString fileType;
    const QString title = QCoreApplication::translate("SaveWave", "Save Wave");
    const QString typed =
        dialogs.saveFileName(title, QString::fromLatin1(kSaveWaveFilter), fileType);
    if (typed.isEmpty())
        return;
    // The question is about the file that will be written, extension and all.
    const QString target = withExtension(typed, fileType);
    AtomicReplacement replacement(target);
    if (replacement.fd() < 0) {
        show(dialogs, kCouldNotWriteWaveFile, replacement.reason());
        return;
    }
    if (QFileInfo::exists(target) &&
        !dialogs.askYesNo(QCoreApplication::translate(
                              "SaveWave", "%1 already exists.\nDo you want to replace it?")
                              .arg(QFileInfo(target).fileName()),
                          title))
        return;
    MessageReader reader(std::move(opened));
    SoundFileWriter writer(replacement.fd(), soundFileKindFor(target));
    std::array<std::uint8_t, kSaveBlockBytes> block{};
    std::vector<std::int16_t> samples;
    bool written = true;
    while (const std::size_t got = written ? reader.read(block.data(), block.size()) : 0) {
        samples.clear();
        for (std::size_t i = 0; i + 1 < got; i += kMessageFormat.blockAlign)
            samples.push_back(static_cast<std::int16_t>(loadLe16(&block[i])));
        written = writer.write(samples);
    }
    if (!writer.finish())
        show(dialogs, kCouldNotWriteWaveFile, writer.reason());
    else if (!replacement.commit())
        show(dialogs, kCouldNotWriteWaveFile, replacement.reason());
}

MessageImport::MessageImport(const QString& source, const QString& target, Kind kind,
                             QObject* parent)
    : QObject(parent), source_(source), target_(target), kind_(kind) {
    worker_ = std::thread([this] {
        convert();
        QMetaObject::invokeMethod(
            this,
            [this] {
                done_ = true;
                emit finished();
            },
            Qt::QueuedConnection);
    });
}

MessageImport::~MessageImport() {
    cancel();
    worker_.join();
}

void MessageImport::refuse(const Notice& text) {
    refusal_ = text;
}

void MessageImport::tellProgress(int permille) {
    if (permille == shownPermille_)
        return;
    shownPermille_ = permille;
    // Delivered in the window's thread, and dropped once this object is gone.
    QMetaObject::invokeMethod(
        this, [this, permille] { emit progressed(permille); }, Qt::QueuedConnection);
}

void MessageImport::convert() {
    QString reason;
    FileHandle file = openFile(source_, "rb", &reason);
    if (!file)
        return refuse(couldNotImport(
            translatable("MessageImport", "the file cannot be opened: %1").arg(reason)));
    Notice why;
    std::unique_ptr<MonoSource> sound = openSoundFile(std::move(file), &why);
    if (!sound)
        return refuse(couldNotImport(why));
    DeviceConverter converter(std::move(sound), ConverterQuality::Best);
    if (converter.lengthKnown() && converter.samples() > kLongestSamples)
        return refuse(tooLong());
    auto converted = std::make_unique<AtomicReplacement>(target_);
    if (converted->fd() < 0)
        return refuse(withDetail(kCouldNotWriteWaveFile, converted->reason()));
    SoundFileWriter writer(converted->fd(), SoundFileKind::Wav);
    std::vector<std::int16_t> piece;
    std::uint64_t samples = 0;
    while (!cancelled_ && converter.convertMore(piece)) {
        samples += piece.size();
        if (samples > kLongestSamples)
            return refuse(tooLong());
        // A phrase is short: it is held whole, so that its ends can be found.
        if (kind_ == Kind::Message) {
            if (!writer.write(piece))
                return refuse(withDetail(kCouldNotWriteWaveFile, writer.reason()));
            piece.clear();
        }
        tellProgress(converter.lengthKnown() && converter.samples() > 0
                         ? static_cast<int>(samples * kPermille / converter.samples())
                         : -1);
    }
    if (cancelled_)
        return;
    if (samples == 0)
        return refuse(couldNotImport(translatable("MessageImport", "it holds no sound")));
    if (kind_ == Kind::Phrase) {
        piece = trimmedToSound(std::move(piece));
        samples = piece.size();
        if (!writer.write(piece))
            return refuse(withDetail(kCouldNotWriteWaveFile, writer.reason()));
    }
    if (!writer.finish())
        return refuse(withDetail(kCouldNotWriteWaveFile, writer.reason()));
    if (!converted->finishWriting())
        return refuse(withDetail(kCouldNotWriteWaveFile, converted->reason()));
    samples_ = samples;
    clipped_ = converter.clipped();
    converted_ = std::move(converted);
}

Notice MessageImport::completePhrase() {
    const std::unique_ptr<AtomicReplacement> converted = std::move(converted_);
    if (!converted)
        return refusal_;
    if (!converted->commit())
        return withDetail(kCouldNotWriteWaveFile, converted->reason());
    return {};
}

bool MessageImport::complete(int slot, Dialogs& dialogs, TrimMargin margin,
                             const LevelTarget& level) {
    if (!refusal_.isEmpty())
        dialogs.showMessage(refusal_, fileErrorTitle());
    // Taken, so that whatever happens next the temporary file goes with it.
    const std::unique_ptr<AtomicReplacement> converted = std::move(converted_);
    if (!converted)
        return false;
    const QString length = seconds(samples_);
    if (QFileInfo::exists(target_) &&
        !dialogs.askYesNo(QCoreApplication::translate(
                              "MessageImport", "Memory %1 holds a message. Replace it with this "
                                               "one of %2?")
                              .arg(slot)
                              .arg(length),
                          importTitle().shown()))
        return false;
    if (!converted->commit()) {
        show(dialogs, kCouldNotWriteWaveFile, converted->reason());
        return false;
    }
    const TrimOutcome trimmed = margin ? trimMessage(target_, *margin) : TrimOutcome{};
    if (!margin)
        forgetAsRecorded(target_);
    const bool cut = trimmed.result == TrimResult::Trimmed;
    Notice text = translatable("MessageImport", "Memory %1 now holds a message of %2.")
                      .arg(slot)
                      .arg(cut ? seconds(trimmed.dataBytes / kMessageFormat.blockAlign) : length);
    if (cut)
        text += translatable("MessageImport", " Silence at its ends was trimmed.");
    if (trimmed.result == TrimResult::OnlySilence)
        text += translatable("MessageImport", " It holds only silence and was kept as it is.");
    // After the trim, as after a recording: the copy kept for Undo is the file imported. Silence
    // the trim found has been told of already.
    if (level.mode != LevelMode::Off && trimmed.result != TrimResult::OnlySilence)
        text += QLatin1Char(' ') + levelReport(slot, level, levelMessage(target_, level)) +
                QLatin1Char('.');
    if (clipped_)
        text += translatable("MessageImport", " Samples over full scale were clipped.");
    dialogs.showMessage(text, importTitle());
    return true;
}
