#pragma once

#include "keyer/keyer.h"
#include "keyer/keyerstate.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <functional>

class NoteBox;
class Station;

// Where a keyer is found on the session bus.
namespace remote {
inline const QString kObjectPath = QStringLiteral("/Tavrin");
inline const QString kInterface = QStringLiteral("org.tavrin.Keyer");
inline const QString kRefused = QStringLiteral("org.tavrin.Keyer.Refused");
// "org.tavrin.Tavrin", or "org.tavrin.Tavrin.<instance>" for a named one.
QString serviceName(const QString& instance);
} // namespace remote

// The keyer on the session bus, for loggers, scripts and desktop shortcuts. Every command runs
// the very handler of the button it stands for, from the event loop as a click does, so a
// command is refused, keys and shows exactly as that button would. The reply tells whether the
// command took effect; a refusal comes back as the error org.tavrin.Keyer.Refused naming the
// keyer's state, an argument out of range as org.freedesktop.DBus.Error.InvalidArgs.
class RemoteControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavrin.Keyer")
    // "idle", "playing", "paused" or "recording"
    Q_PROPERTY(QString State READ state)
    Q_PROPERTY(int Memory READ memory)
    // The file that plays or is paused when it is none of the memories; empty otherwise.
    Q_PROPERTY(QString File READ file)
    Q_PROPERTY(bool Looping READ looping)
    // The pause between loop repetitions, in seconds.
    Q_PROPERTY(double LoopDelay READ loopDelay)
    Q_PROPERTY(bool Tuning READ tuning)
    Q_PROPERTY(bool Transmitting READ transmitting)
    // Transmitting because the rig has not confirmed the unkey asked of it.
    Q_PROPERTY(bool UnkeyNotConfirmed READ unkeyNotConfirmed)
    Q_PROPERTY(bool TxEnabled READ txEnabled)
    // Per memory 1 to 12: whether it holds a playable message, its length in seconds (0 when
    // none) and its note.
    Q_PROPERTY(QList<bool> Present READ present)
    Q_PROPERTY(QList<double> Lengths READ lengths)
    Q_PROPERTY(QStringList Notes READ notes)
    // The chosen bank of memories, which the memories above are, and all banks in order.
    Q_PROPERTY(QString Bank READ bank)
    Q_PROPERTY(QStringList Banks READ banks)

public:
    // notes: the note box the window shows, whose unsaved text is the selected memory's note.
    RemoteControl(Station& station, const NoteBox& notes);

    // False, with the reason in error, when the bus or the name cannot be had.
    bool publish(QDBusConnection bus, const QString& service, QString& error);

    QString state() const;
    int memory() const;
    QString file() const;
    bool looping() const;
    double loopDelay() const;
    bool tuning() const;
    bool transmitting() const;
    bool unkeyNotConfirmed() const;
    bool txEnabled() const;
    QList<bool> present() const;
    QList<double> lengths() const;
    QStringList notes() const;
    QString bank() const;
    QStringList banks() const;

public slots:
    // As the memory's F-key: whatever plays or is paused gives way, the memory plays from its
    // start. A memory kept as a template is refused (InvalidArgs) before anything keys when a
    // piece of it is missing, naming it.
    void Play(int memory);
    // Any file Tavrin plays (absolute path), checked as a memory's file is.
    void PlayFile(const QString& path);
    // Speaks text from the recorded phrases as one message, keyed as a memory is: each word
    // with a recording of its own whole, any other spelled. Refused before keying, naming the
    // token, when a piece is not recorded.
    void Say(const QString& text);
    // Sets a field the memories kept as templates speak ("serial", "call"); an empty value
    // unsets it. An unknown name or a value the field does not take is InvalidArgs. Fields
    // live in the running keyer and are not saved.
    void SetField(const QString& name, const QString& value);
    // A field's value; empty when unset.
    QString Field(const QString& name);
    // PLAY while a message plays or is paused: pauses or resumes it.
    void Pause();
    void Record(int memory);
    void Select(int memory);
    void Stop();
    void Tune(bool on);
    void TxEnable(bool on);
    void SetLoop(bool on);
    // Chooses the bank of memories by its name (in any case), as the window's Bank menu does.
    void SelectBank(const QString& name);
    // Seconds, taken to the tenth as the Loop Delay menu takes them.
    void SetLoopDelay(double seconds);
    // Answers once the message playing has ended: "played", "stopped" (STOP, a pause, another
    // message) or "failed: " and why. With none playing, at once: how the last one ended.
    QString Wait();

private:
    // Runs handler from the event loop, as a click runs, and answers the call with what came of
    // it. A failure is answered, and said in the status line, without a box.
    void run(std::function<void()> handler, std::function<bool()> tookEffect, const QString& what);
    void messageEnded(MessageEnd how, const Notice& failure);
    KeyerPhase phase() const;
    // Plays the file at path as the memory's F-key plays a memory.
    void playFile(const QString& path, const QString& what);
    // Answers the call with InvalidArgs when bad.
    bool refuseInvalid(bool bad, const QString& why);
    bool refuseBadMemory(const QString& what, int memory);
    // Once the handler's step is done, so that a value passed through within it is not
    // announced.
    void announce();
    // Announces the properties changed since the last announcement with the standard
    // PropertiesChanged signal.
    void announceChanges();

    Station& station_;
    const NoteBox& notes_;
    QDBusConnection bus_;
    QVariantMap announced_;
    QString lastEnding_ = QStringLiteral("stopped");
    QList<QDBusMessage> waiting_;
    QTimer announceTimer_;
};
