#include "keyer/exchange.h"

#include "keyer/memories.h"
#include "keyer/messageedit.h"
#include "keyer/messagefile.h"
#include "keyer/messagereader.h"
#include "keyer/trim.h"
#include "support/atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

const QString kSlashToken = QStringLiteral("slash");
constexpr int kRate = static_cast<int>(kMessageFormat.samplesPerSecond);

constexpr std::size_t samplesIn(std::chrono::milliseconds length) {
    return static_cast<std::size_t>(length.count() * kRate / 1000);
}

// The sound found window by window, cut to the first and last sample that rise above its level:
// pieces then join with no gap of their own, and the crossfade smooths the cut.
std::vector<std::int16_t> trimmedToTheSample(const std::vector<std::int16_t>& samples,
                                             SampleSpan sound) {
    const auto loud = [&](std::size_t i) { return std::abs(double(samples[i])) > sound.level; };
    while (sound.begin < sound.end && !loud(sound.begin))
        ++sound.begin;
    while (sound.end > sound.begin && !loud(sound.end - 1))
        --sound.end;
    return {samples.begin() + std::ptrdiff_t(sound.begin),
            samples.begin() + std::ptrdiff_t(sound.end)};
}

Notice noSound(const QString& name) {
    return translatable("Exchange", "%1: no sound in it").arg(name);
}

// The piece's samples as the output device plays them, trimmed unless whole; empty with why set
// when it cannot be read.
std::vector<std::int16_t> readPiece(const QString& file, bool whole, Notice& why) {
    const QString name = QFileInfo(file).fileName();
    OpenedMessage opened = openMessageFile(file);
    if (opened.result != HeaderResult::Ok) {
        const auto refusal = headerFailureMessage(opened.result);
        why = refusal ? QStringLiteral("%1: ").arg(name) + refusal->textNotice() : noSound(name);
        return {};
    }
    MessageReader reader(std::move(opened));
    QByteArray bytes(qsizetype(reader.playBytes()), Qt::Uninitialized);
    bytes.resize(qsizetype(
        reader.read(reinterpret_cast<std::uint8_t*>(bytes.data()), std::size_t(bytes.size()))));
    std::vector<std::int16_t> samples(std::size_t(bytes.size()) / kBytesPerSample);
    if (samples.empty()) {
        why = noSound(name);
        // An empty vector's storage may be null, which the bulk conversion must not be handed.
        return samples;
    }
    qFromLittleEndian<std::int16_t>(bytes.constData(), qsizetype(samples.size()), samples.data());
    return whole ? samples : trimmedToSound(std::move(samples));
}

// Appends piece to out, its start faded in over out's end.
void joinOn(std::vector<std::int16_t>& out, const std::vector<std::int16_t>& piece) {
    const std::size_t fade = std::min({samplesIn(kPhraseCrossfade), out.size(), piece.size()});
    const std::size_t at = out.size() - fade;
    for (std::size_t i = 0; i < fade; ++i) {
        const double in = double(i + 1) / double(fade + 1);
        out[at + i] =
            static_cast<std::int16_t>(std::lround(out[at + i] * (1 - in) + piece[i] * in));
    }
    out.insert(out.end(), piece.begin() + std::ptrdiff_t(fade), piece.end());
}

// Adds the pieces text is spoken with; false, with what is missing said, when a token has none.
bool addSpoken(const PhraseBook& book, const QString& text, SpokenExchange& exchange) {
    for (const QString& token : book.tokensOf(text)) {
        const QString file = book.fileFor(token);
        if (file.isEmpty()) {
            exchange.missing = token;
            exchange.why =
                translatable("Exchange", "\"%1\" is not recorded in %2").arg(token, book.folder());
            return false;
        }
        exchange.files << file;
        exchange.whole << false;
    }
    return true;
}

constexpr int kLongestSerial = 99999;
constexpr qsizetype kLongestCall = 20;
const QString kSerial = QStringLiteral("serial");
const QString kCall = QStringLiteral("call");

// A template's field: "{mem N}", "{serial}", "{serial:0W}", "{call}".
QRegularExpression anchored(const char* pattern) {
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)),
                              QRegularExpression::CaseInsensitiveOption);
}

// Adds what the field inside braces speaks; false, with what is missing said, when it cannot.
bool addField(const PhraseBook& book, const QString& inside, const ExchangeFields& fields,
              const std::function<QString(int)>& memoryFile, SpokenExchange& exchange) {
    static const QRegularExpression memory = anchored("mem\\s*(\\d{1,2})");
    static const QRegularExpression serial = anchored("serial(?::0([1-9]))?");
    static const QRegularExpression call = anchored("call");
    const QString field = inside.trimmed();
    const auto fail = [&](const QString& missing, const Notice& why) {
        exchange.missing = missing;
        exchange.why = why;
        return false;
    };
    if (const auto match = memory.match(field); match.hasMatch()) {
        const int slot = match.captured(1).toInt();
        const QString name = QStringLiteral("memory %1").arg(slot);
        if (!MemorySlots::isSlot(slot))
            return fail(name, translatable("Exchange", "{%1}: memories are 1 to %2")
                                  .arg(field)
                                  .arg(MemorySlots::kSlots));
        const QString file = memoryFile(slot);
        // A header alone holds no sound.
        if (file.isEmpty() || !QFileInfo(file).isFile() ||
            QFileInfo(file).size() <= kMessageHeaderBytes)
            return fail(name, translatable("Exchange", "memory %1 is empty").arg(slot));
        exchange.files << file;
        exchange.whole << true;
        return true;
    }
    const auto serialMatch = serial.match(field);
    const bool isCall = call.match(field).hasMatch();
    if (!serialMatch.hasMatch() && !isCall)
        return fail(
            QStringLiteral("{%1}").arg(field),
            translatable("Exchange", "{%1} is no field: {mem N}, {serial}, {serial:03} or {call}")
                .arg(field));
    const QString& name = isCall ? kCall : kSerial;
    QString value = fields.value(name);
    if (value.isEmpty())
        return fail(name, translatable("Exchange", "the field %1 is not set").arg(name));
    if (!isCall && serialMatch.hasCaptured(1))
        value = value.rightJustified(serialMatch.captured(1).toInt(), QLatin1Char('0'));
    return addSpoken(book, value, exchange);
}

} // namespace

PhraseBook::PhraseBook(const QString& folder) : folder_(folder) {
    const QFileInfoList entries =
        QDir(folder).entryInfoList({QStringLiteral("*.wav")}, QDir::Files | QDir::Readable);
    for (const QFileInfo& entry : entries)
        files_.insert(entry.completeBaseName().toUpper(), entry.fileName());
}

QString PhraseBook::fileFor(const QString& token) const {
    const QString name = files_.value(token.toUpper());
    return name.isEmpty() ? QString() : QDir(folder_).filePath(name);
}

QStringList PhraseBook::tokensOf(const QString& text) const {
    QStringList tokens;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!fileFor(word).isEmpty()) {
            tokens << word;
            continue;
        }
        for (const QChar letter : word)
            tokens << (letter == QLatin1Char('/') ? kSlashToken : QString(letter).toUpper());
    }
    return tokens;
}

SpokenExchange spokenExchange(const PhraseBook& book, const QString& text) {
    SpokenExchange exchange;
    addSpoken(book, text, exchange);
    return exchange;
}

const QStringList& ExchangeFields::names() {
    static const QStringList names{kSerial, kCall};
    return names;
}

QString ExchangeFields::set(const QString& name, const QString& value) {
    const QString field = name.trimmed().toLower();
    const QString text = value.trimmed();
    if (!names().contains(field))
        return QStringLiteral("no field is named \"%1\": %2")
            .arg(name, names().join(QStringLiteral(", ")));
    static const QRegularExpression number = anchored("\\d{1,5}");
    static const QRegularExpression callsign = anchored("[A-Z0-9/]+");
    if (text.isEmpty()) {
        values_.remove(field);
        return {};
    }
    if (field == kSerial) {
        if (!number.match(text).hasMatch())
            return QStringLiteral("serial \"%1\": a number from 0 to %2 is wanted")
                .arg(value)
                .arg(kLongestSerial);
        values_.insert(field, QString::number(text.toInt()));
        return {};
    }
    if (!callsign.match(text).hasMatch() || text.size() > kLongestCall)
        return QStringLiteral("call \"%1\": letters, digits and '/' are wanted, at most %2")
            .arg(value)
            .arg(kLongestCall);
    values_.insert(field, text.toUpper());
    return {};
}

SpokenExchange templateExchange(const PhraseBook& book, const QString& text,
                                const ExchangeFields& fields,
                                const std::function<QString(int)>& memoryFile) {
    static const QRegularExpression placeholder(QStringLiteral("\\{([^{}]*)\\}"));
    SpokenExchange exchange;
    qsizetype at = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (!addSpoken(book, text.mid(at, match.capturedStart() - at), exchange) ||
            !addField(book, match.captured(1), fields, memoryFile, exchange))
            return exchange;
        at = match.capturedEnd();
    }
    addSpoken(book, text.mid(at), exchange);
    return exchange;
}

Notice joinPieces(const SpokenExchange& exchange, const QString& path) {
    std::vector<std::int16_t> joined;
    for (qsizetype i = 0; i < exchange.files.size(); ++i) {
        const QString& file = exchange.files[i];
        Notice why;
        const std::vector<std::int16_t> piece = readPiece(file, exchange.whole.value(i), why);
        if (!why.isEmpty())
            return why;
        joinOn(joined, piece);
    }
    // Nothing here is worth waiting for the disk: the next Say makes it again. It is renamed into
    // place all the same, so that a message still playing the last exchange keeps its file.
    QByteArray bytes(qsizetype(joined.size() * kBytesPerSample), Qt::Uninitialized);
    qToLittleEndian<std::int16_t>(joined.data(), qsizetype(joined.size()), bytes.data());
    const QString fresh = path + QStringLiteral(".new");
    QFile file(fresh);
    const QByteArray header = messageHeader(static_cast<std::uint32_t>(bytes.size()));
    if (header.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(header + bytes) != header.size() + bytes.size() || !file.flush() ||
        std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) != 0)
        return QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

std::vector<std::int16_t> trimmedToSound(std::vector<std::int16_t> samples) {
    if (const auto sound = findSound(samples.data(), samples.size(), kRate, {}))
        return trimmedToTheSample(samples, *sound);
    return samples;
}

QString trimPhraseFile(const QString& path) {
    Notice why;
    const std::vector<std::int16_t> samples = readPiece(path, false, why);
    if (!why.isEmpty())
        return why.source();
    QByteArray bytes(qsizetype(samples.size() * kBytesPerSample), Qt::Uninitialized);
    qToLittleEndian<std::int16_t>(samples.data(), qsizetype(samples.size()), bytes.data());
    if (const FileStatus written =
            writeFileAtomically(path, messageHeader(std::uint32_t(bytes.size())) + bytes);
        !written)
        return QStringLiteral("%1: %2").arg(path, written.reason());
    return {};
}

bool isPhraseName(const QString& name) {
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_+-]+$"));
    return name.size() <= kLongestPhraseName && allowed.match(name).hasMatch();
}

QStringList phraseTokens(const QString& folder) {
    QStringList tokens;
    for (char digit = '0'; digit <= '9'; ++digit)
        tokens << QString(QLatin1Char(digit));
    for (char letter = 'A'; letter <= 'Z'; ++letter)
        tokens << QString(QLatin1Char(letter));
    tokens << kSlashToken;
    QStringList words;
    const QFileInfoList entries =
        QDir(folder).entryInfoList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name);
    for (const QFileInfo& entry : entries) {
        const QString word = entry.completeBaseName();
        if (isPhraseName(word) && !tokens.contains(word, Qt::CaseInsensitive) &&
            !words.contains(word, Qt::CaseInsensitive))
            words << word;
    }
    return tokens + words;
}
