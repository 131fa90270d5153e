#pragma once

#include "support/dialogs.h"

#include <QList>
#include <QStringList>

#include <functional>

// Records every message instead of showing it, and answers input and file questions from a
// script. A message may run a reaction (to simulate what happens while a modal box is open).
class FakeDialogs final : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        bool operator==(const Message& o) const { return text == o.text && title == o.title; }
    };

    void showMessage(const QString& text, const QString& title) override {
        messages.append({text, title});
        if (onMessage)
            onMessage(text, title);
    }

    bool inputQuery(const QString& caption, const QString& prompt, QString& value) override {
        queries.append({caption, prompt});
        offered.append(value);
        if (inputAnswers.isEmpty())
            return false;
        const auto answer = inputAnswers.takeFirst();
        if (answer.accepted)
            value = answer.text;
        return answer.accepted;
    }

    QString openFileName() override {
        ++openFileCalls;
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }

    QStringList texts() const {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }

    struct Answer {
        bool accepted;
        QString text;
    };

    QList<Message> messages;
    QList<Message> queries; // caption, prompt
    QStringList offered;    // the preset text of each input query
    QList<Answer> inputAnswers;
    QStringList fileAnswers;
    int openFileCalls = 0;
    std::function<void(const QString&, const QString&)> onMessage;
};
