#pragma once

#include "app/speech.h"

#include <QDBusVariant>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>
#include <QVariantMap>

#include <chrono>

// Says lines through speech-dispatcher's own client, one at a time and never waiting for it: a
// stalled speech server holds up the client, not the window. Quiet while a screen reader runs,
// which says the same lines itself.
class SpeechDispatcher final : public QObject, public Speech {
    Q_OBJECT

public:
    // client: the program that hands a line to speech-dispatcher.
    explicit SpeechDispatcher(QString client = QStringLiteral("spd-say"),
                              QObject* parent = nullptr);
    ~SpeechDispatcher() override;

    void say(const QString& line) override;
    bool screenReaderRunning() const;

private slots:
    // The desktop's own word (AT-SPI's ScreenReaderEnabled), as it changes.
    void desktopChanged(const QString& interface, const QVariantMap& changed,
                        const QStringList& invalidated);
    void desktopAnswered(const QDBusVariant& enabled);

private:
    void sayNext();

    QString client_;
    QProcess running_;
    QStringList waiting_;
    QTimer giveUp_;
    bool desktopSaysRunning_ = false;
};
