#pragma once
// A stand-in for the program's dialogs: records every box and answers Yes/No
// questions and file dialogs from queues the test fills.

#include "app/Dialogs.h"

#include <QList>
#include <QQueue>
#include <QStringList>

struct RecordedDialog {
    QString title;
    QString text;
    orvane::DialogIcon icon;
};

class ScriptedDialogs : public orvane::Dialogs
{
  public:
    ScriptedDialogs() { orvane::setDialogs(this); }
    ~ScriptedDialogs() override { orvane::setDialogs(nullptr); }

    void show(QWidget *, const QString &title, const QString &text, orvane::DialogIcon icon) override
    {
        shown.append({title, text, icon});
    }

    using orvane::Dialogs::ask;
    bool ask(QWidget *, const QString &title, const QString &text, orvane::DialogIcon icon) override
    {
        shown.append({title, text, icon});
        return answers.isEmpty() ? false : answers.dequeue();
    }

    bool askWithDetails(QWidget *parent, const QString &title, const QString &text,
                        const QString &details) override
    {
        this->details.append(details);
        return ask(parent, title, text);
    }

    QString openFile(QWidget *, const QString &title, const QString &) override
    {
        shown.append({title, QString(), orvane::DialogIcon::None});
        return files.isEmpty() ? QString() : files.dequeue();
    }

    QString saveFile(QWidget *, const QString &title, const QString &, const QString &) override
    {
        shown.append({title, QString(), orvane::DialogIcon::None});
        return files.isEmpty() ? QString() : files.dequeue();
    }

    /// Texts of every box shown so far, in order.
    QStringList texts() const
    {
        QStringList result;
        for (const RecordedDialog &d : shown)
            result << d.text;
        return result;
    }

    QList<RecordedDialog> shown;
    QStringList details; ///< the detailed texts of the questions that had one, in order
    QQueue<bool> answers;
    QQueue<QString> files;
};
