#include "keyer/templates.h"

#include "keyer/memories.h"
#include "support/atomicfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

namespace {
const QString kTemplateSuffix = QStringLiteral(".txt");
const QString kMessageSuffix = QStringLiteral(".wav");

Assembly assembled(const SpokenExchange& exchange, const QString& path) {
    if (!exchange.why.isEmpty())
        return {exchange.why, true};
    if (exchange.files.isEmpty())
        return {translatable("Templates", "nothing to say"), true};
    return {joinPieces(exchange, path)};
}
} // namespace

void Templates::setPaths(const QString& phrasesDir, const QString& exchangeFile) {
    phrasesDir_ = phrasesDir;
    exchangeFile_ = exchangeFile;
}

Assembly Templates::assembleSay(const QString& text) {
    return assembled(spokenExchange(PhraseBook(phrasesDir_), text), exchangeFile_);
}

QString Templates::templatePath(int slot) const {
    QString path = memories_.path(slot);
    if (path.endsWith(kMessageSuffix, Qt::CaseInsensitive))
        path.chop(kMessageSuffix.size());
    return path.isEmpty() ? QString() : path + kTemplateSuffix;
}

QString Templates::templateOf(int slot) const {
    if (!MemorySlots::isSlot(slot))
        return {};
    QFile file(templatePath(slot));
    if (file.fileName().isEmpty() || !file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine()).trimmed();
}

QString Templates::setTemplate(int slot, const QString& text) {
    const QString path = templatePath(slot);
    if (!MemorySlots::isSlot(slot) || path.isEmpty())
        return QStringLiteral("memory %1 has no file").arg(slot);
    const QString line = text.simplified();
    if (line.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path))
            return QStringLiteral("%1: could not be removed").arg(path);
        return {};
    }
    if (const FileStatus written = writeFileAtomically(path, line.toUtf8() + '\n'); !written)
        return QStringLiteral("%1: %2").arg(path, written.reason());
    return {};
}

Assembly Templates::assembleTemplate(int slot) {
    const QString text = templateOf(slot);
    if (text.isEmpty())
        return {translatable("Templates", "memory %1 has no template").arg(slot), true};
    return assembled(templateExchange(PhraseBook(phrasesDir_), text, fields_,
                                      [this](int memory) { return memories_.path(memory); }),
                     exchangeFile_);
}
