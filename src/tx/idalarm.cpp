#include "tx/idalarm.h"

#include "support/dialogs.h"
#include "tx/beeper.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

// Made when shown, so that it speaks the language of the translator installed by then.
Notice timerErrorTitle() {
    return translatable("IdAlarm", "Timer Error");
}
constexpr int kLongestShownEntry = 40;

enum class Entry { Empty, NotANumber, TooShort, TooLong, Accepted };

struct ParsedEntry {
    Entry kind;
    int seconds = 0;
};

ParsedEntry parseSeconds(const QString& text) {
    if (text.isEmpty())
        return {Entry::Empty};
    static const QRegularExpression integer(QStringLiteral("^\\s*([+-]?)([0-9]+)\\s*$"));
    const auto match = integer.match(text);
    if (!match.hasMatch())
        return {Entry::NotANumber};
    const bool negative = match.captured(1) == QLatin1String("-");
    bool fits = false;
    const qlonglong value = match.captured(2).toLongLong(&fits);
    if (negative || (fits && value < IdAlarm::kShortestSetSeconds))
        return {Entry::TooShort};
    if (!fits || value > IdAlarm::kLongestSeconds)
        return {Entry::TooLong};
    return {Entry::Accepted, static_cast<int>(value)};
}

QString shownEntry(const QString& text) {
    if (text.size() <= kLongestShownEntry)
        return text;
    return text.left(kLongestShownEntry) + QChar(0x2026);
}

} // namespace

IdAlarm::IdAlarm(Dialogs& dialogs, Beeper& beeper, QObject* parent)
    : QObject(parent), dialogs_(dialogs), beeper_(beeper), idTimer_(new QTimer(this)),
      tealAgain_(new QTimer(this)) {
    idTimer_->setObjectName(QStringLiteral("IDTimer"));
    idTimer_->setInterval(kFormInterval);
    connect(idTimer_, &QTimer::timeout, this, &IdAlarm::alarmTimeUp);

    tealAgain_->setObjectName(QStringLiteral("AlarmTealTimer"));
    tealAgain_->setSingleShot(true);
    tealAgain_->setInterval(kRedTime);
    connect(tealAgain_, &QTimer::timeout, this, [this] { strip_.setColour(AlarmStrip::Teal); });
}

void IdAlarm::applyStoredPeriod(int seconds) {
    text_ = QString::number(seconds);
    setPeriod(seconds);
}

void IdAlarm::switchOff() {
    switchAlarm(false);
}

void IdAlarm::switchOn() {
    switchAlarm(true);
}

void IdAlarm::switchAlarm(bool on) {
    on_ = on;
    emit switched(on);
    if (!on)
        idTimer_->stop();
    else if (!idTimer_->isActive()) // ON again while on must not push the next alarm back
        idTimer_->start();
}

void IdAlarm::askAlarmTime() {
    // Cancel leaves the preset text in place, and that text is applied like an entry.
    QString entered = text_;
    dialogs_.inputQuery(tr("Alarm Timer:"), tr("Set the alarm time in Seconds"), entered);
    text_ = entered;

    const ParsedEntry entry = parseSeconds(text_);
    switch (entry.kind) {
    case Entry::Empty:
        break;
    case Entry::NotANumber:
        dialogs_.showMessage(translatable("IdAlarm", "\"%1\" is not a whole number of seconds.")
                                 .arg(shownEntry(text_)),
                             timerErrorTitle());
        break;
    case Entry::TooShort:
        dialogs_.showMessage(translatable("IdAlarm", "Enter a value greater than 2 seconds"),
                             timerErrorTitle());
        text_ = QString::number(kShortestSetSeconds);
        setPeriod(kShortestSetSeconds);
        break;
    case Entry::TooLong:
        dialogs_.showMessage(translatable("IdAlarm", "Enter a value no greater than %1 seconds")
                                 .arg(kLongestSeconds),
                             timerErrorTitle());
        break;
    case Entry::Accepted:
        setPeriod(entry.seconds);
        break;
    }
}

void IdAlarm::alarmTimeUp() {
    // The strip goes back to teal from its own timer so that buttons, the other timers and a
    // playing message carry on through the red second.
    strip_.setColour(AlarmStrip::Red);
    beeper_.beep();
    tealAgain_->start();
}

void IdAlarm::setPeriod(int seconds) {
    seconds_ = seconds;
    const auto interval = std::chrono::milliseconds(
        std::clamp<qint64>(qint64(seconds) * 1000, 1000, qint64(kLongestSeconds) * 1000));
    // Setting the same period again must not restart the count.
    if (idTimer_->intervalAsDuration() != interval)
        idTimer_->setInterval(interval);
}
