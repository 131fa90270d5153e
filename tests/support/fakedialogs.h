#pragma once

#include "support/dialogs.h"

#include <QStringList>

#include <functional>

// Records every message instead of showing it, and answers input and file questions from a
// script. A message may run a reaction (to see what holds while a modal box is open).
class FakeDialogs final : public Dialogs {
public:
    // The text and title in English, and the text as the operator's language shows it.
    struct Message {
        QString text, title, shown;
    };
    struct Answer {
        bool accepted;
        QString text;
    };

    void showMessage(const Notice& text, const Notice& title) override {
        messages.append({text.source(), title.source(), text.shown()});
        if (onMessage)
            onMessage();
    }
    bool inputQuery(const QString&, const QString&, QString& value) override {
        offered << value;
        const Answer answer = inputAnswers.isEmpty() ? Answer{false, {}} : inputAnswers.takeFirst();
        if (answer.accepted)
            value = answer.text;
        return answer.accepted;
    }
    QString openFileName() override {
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    QString openFolderName() override {
        return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
    }
    bool askYesNo(const QString& text, const QString& title) override {
        messages.append({text, title, text});
        return !yesNoAnswers.isEmpty() && yesNoAnswers.takeFirst();
    }
    QString saveFileName(const QString&, const QString& filter, QString& fileType) override {
        fileType = filter.section(";;", saveFileType, saveFileType);
        return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
    }
    QStringList texts() const {
        QStringList out;
        for (const auto& m : messages)
            out << m.text;
        return out;
    }

    QList<Message> messages;
    QStringList offered; // the preset text of each input query
    QList<Answer> inputAnswers;
    QStringList fileAnswers;
    QList<bool> yesNoAnswers; // a question without an answer left is answered No
    QStringList saveAnswers;
    int saveFileType = 0; // the filter's entry chosen with each of them
    std::function<void()> onMessage;
};
