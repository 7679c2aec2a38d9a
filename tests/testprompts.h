#pragma once
// Answers the tool's questions in tests: records every message, returns the
// file names and confirmations queued by the test.

#include "common/errors.h"
#include "common/prompts.h"

#include <QQueue>
#include <QStringList>

class TestPrompts : public qm::Prompts {
public:
    QStringList messages;
    QQueue<QString> fileNames; // an empty entry or an empty queue cancels
    QQueue<bool> confirmations;
    QQueue<SaveAnswer> saveAnswers; // an empty queue answers 取消

    void message(const QString &text) override { messages << text; }
    bool confirm(const QString &, const QString &text) override
    {
        messages << text;
        return confirmations.isEmpty() ? false : confirmations.dequeue();
    }
    SaveAnswer askSave(const QString &text) override
    {
        messages << text;
        return saveAnswers.isEmpty() ? SaveAnswer::Cancel : saveAnswers.dequeue();
    }
    QString saveFileName() override { return fileNames.isEmpty() ? QString() : fileNames.dequeue(); }
    QString openFileName() override { return fileNames.isEmpty() ? QString() : fileNames.dequeue(); }
};

// The first line of each message: a port box says why on a second line.
inline QStringList FirstLines(const QStringList &messages)
{
    QStringList lines;
    for (const QString &m : messages)
        lines << m.section(QLatin1Char('\n'), 0, 0);
    return lines;
}

// Collects what reaches the top-level error report.
struct ErrorCatcher {
    QStringList errors;
    ErrorCatcher()
    {
        qm::SetErrorSink([this](const QString &message) { errors << message; });
    }
    ~ErrorCatcher() { qm::SetErrorSink({}); }
};
