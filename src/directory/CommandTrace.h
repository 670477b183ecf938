#pragma once
// A record of the commands the directory operations send, for tests and
// diagnostics: while a CommandTrace lives on a thread, every method call and
// property write that an operation of this folder sends on that thread
// (invoke and setProperty, in order) and the OpenDSObject of every bind are
// appended to it, with the stored password shown as '***'. Other reads are
// not recorded.

#include "automation/com/Types.h"

#include <QStringList>

namespace orvane
{

struct AutomationObject;

class CommandTrace
{
  public:
    CommandTrace();
    ~CommandTrace();
    CommandTrace(const CommandTrace &) = delete;
    CommandTrace &operator=(const CommandTrace &) = delete;

    /// The commands recorded so far, oldest first.
    const QStringList &commands() const { return commands_; }
    void clear() { commands_.clear(); }

  private:
    friend void traceCommand(const QString &command);
    QStringList commands_;
    CommandTrace *outer_;
};

/// Appends `command` to the calling thread's innermost trace, if any.
void traceCommand(const QString &command);

/// Whether a trace lives on the calling thread (a command text built only to
/// be traced need not be built otherwise).
bool commandsTraced();

/// invoke and setProperty of the engine, traced; `shown` (when not empty) is
/// recorded instead of `command` (to leave a password out).
HRESULT sendMethod(AutomationObject *object, const QString &command, const QString &shown = QString());
HRESULT sendProperty(AutomationObject *object, const QString &command, const QString &shown = QString());

} // namespace orvane
