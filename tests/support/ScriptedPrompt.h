#pragma once

// A Prompt that answers from a script and remembers what it was asked; no test blocks on a dialog.

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "Prompt.h"

class ScriptedPrompt : public Prompt {
public:
    struct Shown {
        QString text;
        QString caption;
        Icon icon;
    };

    // Answers given in order; once they run out, Message answers Ok (or Yes), Input its
    // default and the file dialogs cancel.
    std::deque<Answer> answers;
    std::deque<QString> inputs;
    std::deque<QString> fileNames;

    std::vector<Shown> messages;
    QStringList inputCaptions;
    QStringList fileCaptions;

    Answer Message(const QString& text, const QString& caption, Icon icon,
                   Buttons buttons) override {
        messages.push_back({text, caption, icon});
        if (!answers.empty()) {
            const Answer answer = answers.front();
            answers.pop_front();
            return answer;
        }
        return buttons == Buttons::YesNo ? Answer::Yes : Answer::Ok;
    }

    QString Input(const QString& caption, const QString& label,
                  const QString& defaultText) override {
        inputCaptions << caption + "|" + label;
        return Next(inputs, defaultText);
    }

    QString OpenFileName(const QString& caption, const QString&, const QString&) override {
        fileCaptions << caption;
        return Next(fileNames, {});
    }

    QString SaveFileName(const QString& caption, const QString&, const QString&) override {
        fileCaptions << caption;
        return Next(fileNames, {});
    }

    QStringList MessageTexts() const {
        QStringList texts;
        for (const Shown& shown : messages) texts << shown.text;
        return texts;
    }

private:
    static QString Next(std::deque<QString>& queue, const QString& otherwise) {
        if (queue.empty())
            return otherwise;
        QString value = queue.front();
        queue.pop_front();
        return value;
    }
};
