#include "app/phrasesdialog.h"

#include "app/announcer.h"
#include "config/openwave.h"
#include "keyer/exchange.h"
#include "keyer/keyer.h"
#include "keyer/keyerstate.h"
#include "keyer/messagefile.h"
#include "keyer/messagereader.h"
#include "keyer/monitor.h"
#include "support/dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <chrono>
#include <optional>
#include <utility>

namespace {
constexpr int kRate = static_cast<int>(kMessageFormat.samplesPerSecond);

// How long the piece in file lasts; nothing when no piece can be read there.
std::optional<std::chrono::milliseconds> pieceLength(const QString& file) {
    if (file.isEmpty())
        return std::nullopt;
    OpenedMessage opened = openMessageFile(file);
    if (opened.result != HeaderResult::Ok)
        return std::nullopt;
    const MessageReader reader(std::move(opened));
    return std::chrono::milliseconds{std::int64_t(reader.playBytes()) / kBytesPerSample * 1000 /
                                     kRate};
}

QPushButton* button(const QString& caption, const char* name, QWidget* parent) {
    auto* made = new QPushButton(caption, parent);
    made->setObjectName(QLatin1String(name));
    made->setAutoDefault(false);
    return made;
}
} // namespace

PhrasesDialog::PhrasesDialog(Keyer& keyer, const KeyerState& state, Dialogs& dialogs,
                             const QString& folder, QWidget* parent)
    : QDialog(parent), tokens(new QListWidget(this)),
      record(button(tr("&Record"), "PhraseRecord", this)),
      play(button(tr("&Play"), "PhrasePlay", this)),
      importFile(button(tr("&Import…"), "PhraseImport", this)),
      remove(button(tr("&Delete"), "PhraseDelete", this)),
      addWord(button(tr("Add &Word…"), "PhraseAddWord", this)),
      importFolder(button(tr("Import &Folder…"), "PhraseImportFolder", this)),
      status(new QLabel(this)), keyer_(keyer), state_(state), dialogs_(dialogs), folder_(folder),
      announcer_(new Announcer(this)) {
    setObjectName(QStringLiteral("Phrases"));
    setWindowTitle(tr("Phrases"));
    tokens->setObjectName(QStringLiteral("PhraseList"));
    tokens->setAccessibleName(tr("Phrases"));
    status->setTextFormat(Qt::PlainText);
    status->setObjectName(QStringLiteral("PhraseStatus"));
    auto* label = new QLabel(tr("Phrase&s:"), this);
    label->setBuddy(tokens);
    auto* layout = new QGridLayout(this);
    layout->addWidget(label, 0, 0, 1, 2);
    layout->addWidget(tokens, 1, 0, 7, 1);
    int row = 1;
    for (QPushButton* each : {record, play, importFile, remove, addWord, importFolder})
        layout->addWidget(each, row++, 1);
    layout->addWidget(status, 8, 0, 1, 2);

    connect(record, &QPushButton::clicked, this, &PhrasesDialog::recordClicked);
    connect(play, &QPushButton::clicked, this, &PhrasesDialog::playClicked);
    connect(importFile, &QPushButton::clicked, this, &PhrasesDialog::importClicked);
    connect(remove, &QPushButton::clicked, this, &PhrasesDialog::removeClicked);
    connect(addWord, &QPushButton::clicked, this, &PhrasesDialog::addWordClicked);
    connect(importFolder, &QPushButton::clicked, this, &PhrasesDialog::importFolderClicked);
    // Queued: the recording is said to end before its file is put in place and trimmed.
    connect(
        &state_, &KeyerState::recordActiveChanged, this,
        [this](bool on) {
            if (on || !recording_)
                return;
            recording_ = false;
            record->setText(tr("&Record"));
            refresh();
            tell(tr("Recorded %1").arg(selectedToken()));
        },
        Qt::QueuedConnection);
    connect(&keyer_.monitor(), &Monitor::failed, this, [this](const QString& why) {
        if (isVisible())
            tell(why);
    });
    refresh();
    tokens->setCurrentRow(0);
}

PhrasesDialog::~PhrasesDialog() = default;

void PhrasesDialog::refresh() {
    const QString selected = selectedToken();
    QStringList all = phraseTokens(folder_);
    for (const QString& word : std::as_const(added_))
        if (!all.contains(word, Qt::CaseInsensitive))
            all << word;
    const PhraseBook book(folder_);
    tokens->clear();
    for (const QString& token : std::as_const(all)) {
        const auto length = pieceLength(book.fileFor(token));
        auto* item = new QListWidgetItem(
            length
                ? tr("%1: recorded, %2 s").arg(token).arg(double(length->count()) / 1000, 0, 'f', 2)
                : tr("%1: not recorded").arg(token),
            tokens);
        item->setData(Qt::UserRole, token);
        if (token.compare(selected, Qt::CaseInsensitive) == 0)
            tokens->setCurrentItem(item);
    }
}

QString PhrasesDialog::selectedToken() const {
    const QListWidgetItem* item = tokens->currentItem();
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QString PhrasesDialog::fileOf(const QString& token) const {
    const QString recorded = PhraseBook(folder_).fileFor(token);
    return recorded.isEmpty() ? QDir(folder_).filePath(token + QStringLiteral(".wav")) : recorded;
}

bool PhrasesDialog::refusedWhileBusy() {
    if (!state_.busy())
        return false;
    tell(tr("Not while a message plays or records"));
    return true;
}

void PhrasesDialog::tell(const QString& text) {
    status->setText(text);
    announcer_->say(text);
}

void PhrasesDialog::recordClicked() {
    // Record again ends the phrase's recording, as STOP does.
    if (recording_) {
        keyer_.stop();
        return;
    }
    const QString token = selectedToken();
    if (token.isEmpty() || refusedWhileBusy())
        return;
    QDir().mkpath(folder_);
    if (!keyer_.recordPhrase(fileOf(token)))
        return;
    recording_ = state_.recordActive();
    if (recording_) {
        record->setText(tr("Stop &Recording"));
        tell(tr("Recording %1: Record again or STOP ends it").arg(token));
    }
}

void PhrasesDialog::playClicked() {
    const QString token = selectedToken();
    if (token.isEmpty() || refusedWhileBusy())
        return;
    if (PhraseBook(folder_).fileFor(token).isEmpty()) {
        tell(tr("%1 is not recorded").arg(token));
        return;
    }
    if (keyer_.previewFile(fileOf(token)))
        tell(tr("Playing %1 on the monitor's sound card").arg(token));
}

void PhrasesDialog::importClicked() {
    const QString token = selectedToken();
    if (token.isEmpty() || import_ || refusedWhileBusy())
        return;
    const QString source = dialogs_.openFileName();
    if (source.isEmpty())
        return;
    queue_ = {{source, token}};
    importNext();
}

void PhrasesDialog::removeClicked() {
    const QString token = selectedToken();
    const QString file = PhraseBook(folder_).fileFor(token);
    if (file.isEmpty() || refusedWhileBusy() ||
        !dialogs_.askYesNo(tr("Delete the recording of %1?").arg(token), tr("Phrases")))
        return;
    if (QFile::remove(file))
        tell(tr("Deleted %1").arg(token));
    else
        tell(tr("Could not delete %1").arg(file));
    refresh();
}

void PhrasesDialog::addWordClicked() {
    QString word;
    if (!dialogs_.inputQuery(tr("Add Word"), tr("A word to record, as exchanges name it:"), word))
        return;
    word = word.trimmed();
    if (!isPhraseName(word)) {
        tell(tr("\"%1\" cannot be a word: use letters, digits, - _ or +, at most %2")
                 .arg(word)
                 .arg(kLongestPhraseName));
        return;
    }
    if (!phraseTokens(folder_).contains(word, Qt::CaseInsensitive) &&
        !added_.contains(word, Qt::CaseInsensitive))
        added_ << word;
    tokens->setCurrentRow(-1);
    refresh();
    for (int row = 0; row < tokens->count(); ++row)
        if (tokens->item(row)->data(Qt::UserRole).toString().compare(word, Qt::CaseInsensitive) ==
            0)
            tokens->setCurrentRow(row);
    tell(tr("Added %1").arg(word));
}

void PhrasesDialog::importFolderClicked() {
    if (import_ || refusedWhileBusy())
        return;
    const QString from = dialogs_.openFolderName();
    if (from.isEmpty())
        return;
    queue_.clear();
    refused_.clear();
    const QFileInfoList files = QDir(from).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        if (isPhraseName(file.completeBaseName()))
            queue_ << Queued{file.filePath(), file.completeBaseName()};
        else
            refused_ << tr("%1 (not a word)").arg(file.fileName());
    }
    importNext();
}

void PhrasesDialog::importNext() {
    if (queue_.isEmpty()) {
        refresh();
        QString text = taken_.size() == 1 ? tr("Imported 1 phrase")
                                          : tr("Imported %1 phrases").arg(taken_.size());
        if (!refused_.isEmpty())
            text += tr("; refused: %1").arg(refused_.join(QStringLiteral(", ")));
        taken_.clear();
        refused_.clear();
        tell(text);
        return;
    }
    const Queued next = queue_.first();
    QDir().mkpath(folder_);
    // The file a token is spelt with in the folder already is the one replaced.
    import_ = std::make_unique<MessageImport>(next.source, fileOf(next.token),
                                              MessageImport::Kind::Phrase);
    connect(import_.get(), &MessageImport::finished, this, &PhrasesDialog::imported,
            Qt::QueuedConnection);
}

void PhrasesDialog::imported() {
    const std::unique_ptr<MessageImport> import = std::move(import_);
    const Queued done = queue_.takeFirst();
    if (const Notice why = import->completePhrase(); why.isEmpty())
        taken_ << done.token;
    else
        refused_ << tr("%1 (%2)").arg(QFileInfo(done.source).fileName(), why.shown());
    importNext();
}
