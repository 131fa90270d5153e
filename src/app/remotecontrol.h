#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class TTavrin;

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
// keyer's state.
class RemoteControl : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.tavrin.Keyer")
    // "idle", "playing", "paused" or "recording"
    Q_PROPERTY(QString State READ state)
    Q_PROPERTY(int Memory READ memory)
    Q_PROPERTY(bool Looping READ looping)
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

public:
    explicit RemoteControl(TTavrin& window);

    // False, with the reason in error, when the bus or the name cannot be had.
    bool publish(QDBusConnection bus, const QString& service, QString& error);

    QString state() const;
    int memory() const;
    bool looping() const;
    bool tuning() const;
    bool transmitting() const;
    bool unkeyNotConfirmed() const;
    bool txEnabled() const;
    QList<bool> present() const;
    QList<double> lengths() const;
    QStringList notes() const;

public slots:
    void Play(int memory);
    void Record(int memory);
    void Select(int memory);
    void Stop();
    void Tune(bool on);
    void TxEnable(bool on);

private:
    // Runs handler from the event loop and answers the call once the handler has either
    // returned or, for a recording or playback, started its loop.
    void run(std::function<void()> handler, std::function<bool()> tookEffect, const QString& what);
    bool refuseBadMemory(const QString& what, int memory);
    // Announces the changed state properties with the standard PropertiesChanged signal.
    void announce();

    TTavrin& window_;
    QDBusConnection bus_;
    QVariantMap announced_;
};
