#pragma once
// How directory operations report: they never show anything. A failure is
// captured as a DirectoryFailure (the engine's code and text plus the
// directory service's own diagnostic, as ADsGetLastError gives it), and what
// the window must show is handed back as OperationMessage values (title, text,
// icon) in the order the window shows them. Silent failures (a search, an
// account-state read) still fill a DirectoryFailure so that a status bar or
// tooltip can say why nothing was found.
//
// Message texts begin with the operation's own text ("<code> COM method
// error ...") and, for directory failures, continue after an empty line with
// the reason (withReason).

#include "automation/com/Types.h"

#include <QList>
#include <QString>

namespace orvane
{

enum class MessageIcon { Warning, Information };

/// One message box to show.
struct OperationMessage {
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::Warning;
    friend bool operator==(const OperationMessage &, const OperationMessage &) = default;
};

/// Why a directory command failed.
struct DirectoryFailure {
    HRESULT code = 0;   ///< the engine's last error; 0 = no failure
    QString engineText; ///< the engine's last error text
    QString diagnostic; ///< the directory service's own reason ("" when it gave none)
    QString command;    ///< the command that failed, with secrets left out
    bool failed() const { return code != 0; }
    /// The best one-line reason: the diagnostic, else the engine text.
    QString reason() const;
};

/// The outcome of an operation that reports by message box: `result` as the
/// operation defines it (1 success, 0 failure), the messages to show in order,
/// and the first failure behind them.
struct DirectoryReport {
    int result = 0;
    QList<OperationMessage> messages;
    DirectoryFailure failure;
};

/// Clears the calling thread's directory diagnostic, so that a later capture
/// does not report a reason left over from an earlier operation.
void beginDirectoryOperation();

/// The calling thread's engine last error and directory diagnostic now;
/// `command` is stored as the failing command.
DirectoryFailure captureFailure(const QString &command = QString());

/// "<" + code as a signed decimal + ">".
QString codeText(HRESULT code);

/// `text`, then (when the failure has a reason) an empty line and the reason.
QString withReason(const QString &text, const DirectoryFailure &failure);

/// A warning message titled `title` with withReason(text, failure).
OperationMessage failureMessage(const QString &title, const QString &text, const DirectoryFailure &failure);

} // namespace orvane
