#pragma once
// The command engine's per-thread last error: every engine operation ends by
// recording its outcome (an HRESULT and an English text) for the calling
// thread, and callers read it right after the call. Any non-zero code, S_FALSE
// included, means the call did not do what was asked.
//
// When the last automation object of the process is released, every thread's
// last error is reset to 0 and "" — except a failure that its thread has not
// read yet: a thread between a failing call and its lastErrorCode() read keeps
// that error (and its text, for the lastErrorText() read that follows).

#include "automation/com/HResult.h"

#include <QString>

namespace orvane
{

struct AutomationObject;

/// The calling thread's last recorded code; 0 when none (or after the reset).
HRESULT lastErrorCode();
/// The calling thread's last recorded text; "" when none (or after the reset).
QString lastErrorText();

/// Records `hr` as the calling thread's outcome with the text of the engine's
/// table. Nothing is recorded (the previous outcome stays) for hr −1 (the
/// marker for an outcome already recorded) or for DISP_E_EXCEPTION with
/// `fromException` false (the description was recorded by the call that
/// received the exception). `detail` completes the S_FALSE and E_INVALIDARG
/// texts (in parentheses) and is the text of DISP_E_EXCEPTION. `obj` is the object the call ran on (may be
/// null). Used by the engine's operations; callers of the engine never need it.
void recordError(AutomationObject *obj, HRESULT hr, bool fromException, const QString &detail);

/// The text recordError stores for `hr` and `detail`.
QString errorTextFor(HRESULT hr, const QString &detail);

/// The address named in the "Unknown error" text.
inline constexpr char kSupportAddress[] = "support@orvane.org";

/// The marker for "outcome already recorded" (0xFFFFFFFF).
inline constexpr HRESULT kOutcomeRecorded = -1;

/// Forgets every thread's outcome except unread failures (see the file
/// comment). Called by releaseObject when the live-object count reaches 0,
/// while `lifecycleMutex()` is held.
void resetLastErrors();

} // namespace orvane
