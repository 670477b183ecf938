#pragma once
// Every message box and file dialog of the program goes through this one
// interface, so that tests can answer them. The real implementation uses
// QMessageBox and QFileDialog; tests install a scripted double.

#include <QString>

class QWidget;

namespace orvane
{

enum class DialogIcon { None, Information, Warning, Question };

class Dialogs
{
  public:
    virtual ~Dialogs() = default;
    /// Shows `text` with an OK button and the given icon; returns when closed.
    virtual void show(QWidget *parent, const QString &title, const QString &text, DialogIcon icon) = 0;
    /// Asks a Yes/No question with `icon` (the warning icon where the answer
    /// can lose data, such as overwriting a file); true for Yes.
    virtual bool ask(QWidget *parent, const QString &title, const QString &text, DialogIcon icon) = 0;
    /// Asks a Yes/No question with the question icon; true for Yes.
    bool ask(QWidget *parent, const QString &title, const QString &text)
    {
        return ask(parent, title, text, DialogIcon::Question);
    }
    /// Asks a Yes/No question like `ask`, with `details` shown on demand under
    /// the box's "Show Details..." button; true for Yes.
    virtual bool askWithDetails(QWidget *parent, const QString &title, const QString &text,
                                const QString &details)
    {
        (void)details;
        return ask(parent, title, text);
    }
    /// Returns the chosen file to open, "" when cancelled.
    virtual QString openFile(QWidget *parent, const QString &title, const QString &filter) = 0;
    /// Returns the chosen file to save to, "" when cancelled; an existing file
    /// is returned without asking (the caller asks).
    virtual QString saveFile(QWidget *parent, const QString &title, const QString &filter,
                             const QString &suggestedName) = 0;

    void warn(QWidget *parent, const QString &title, const QString &text)
    {
        show(parent, title, text, DialogIcon::Warning);
    }
    void inform(QWidget *parent, const QString &title, const QString &text)
    {
        show(parent, title, text, DialogIcon::Information);
    }
};

/// The program's dialogs: the Qt ones unless a test installed others.
Dialogs &dialogs();

/// Installs `replacement` (not owned) as the program's dialogs; nullptr restores the Qt ones.
void setDialogs(Dialogs *replacement);

} // namespace orvane
