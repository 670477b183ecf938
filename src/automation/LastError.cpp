#include "automation/LastError.h"

#include "automation/AutomationObject.h"
#include "automation/CommandParser.h"
#include "automation/com/SystemMessages.h"

#include <atomic>
#include <mutex>

namespace orvane
{

namespace
{

// Instead of a registry of per-thread records that the last release frees,
// each thread keeps its own record and the last release advances a global
// epoch: a record from an older epoch reads as empty, unless it holds a
// failure its thread has not read yet. Stamping a record and advancing the
// epoch both happen under the engine's lifecycle mutex, so an outcome recorded
// after a concurrent last release is never taken for an old one.
std::atomic<quint64> currentEpoch{1};

struct ErrorRecord {
    bool present = false;
    HRESULT code = 0;
    QString text;
    quint64 epoch = 0;
    bool unreadFailure = false; // set by a non-zero outcome, cleared by the code read
    bool textHeld = false;      // the code was read; the text read that follows still sees it
};

thread_local ErrorRecord record;

bool codeVisible(const ErrorRecord &r)
{
    return r.present && (r.epoch == currentEpoch.load() || r.unreadFailure);
}

bool textVisible(const ErrorRecord &r)
{
    return codeVisible(r) || (r.present && r.textHeld);
}

} // namespace

QString errorTextFor(HRESULT hr, const QString &detail)
{
    struct Entry {
        HRESULT code;
        const char *text;
    };
    static const Entry table[] = {
        {E_FAIL, "Unspecified error."},
        {E_INVALIDARG,
         "One or more arguments are invalid. Possibly a numerical overflow or too many nested objects, "
         "-if so, try splitting your method call into two or more subcalls."},
        {E_NOINTERFACE, "Method is not implemented."},
        {E_UNEXPECTED, "An unexpected error."},
        {E_POINTER, "An invalid pointer was supplied."},
        {E_NOTIMPL,
         "Not implemented. In the case of attaching an event handler to a COM object, this could signify "
         "that the object does not provide any type information."},
        {CO_E_CLASSSTRING,
         "Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check "
         "that the component / ActiveX control has been registered."},
        {REGDB_E_CLASSNOTREG,
         "Invalid progID/CLSID. Check your spelling of the programmatic identifier. Also check "
         "that the component / ActiveX control has been registered."},
        {CO_E_SERVER_EXEC_FAILURE,
         "Server execution failed. Usually caused by an 'out of process server' timing "
         "out when asked to create an instance of a 'class factory'."},
        {DISP_E_TYPEMISMATCH, "Type mismatch in the method parameters."},
        {TYPE_E_ELEMENTNOTFOUND,
         "No type description was found in the library with the specified GUID whilst "
         "trying to create an event handler."},
        {CONNECT_E_ADVISELIMIT,
         "Unable to set event handler because the connection point has already reached its "
         "limit of connections."},
        {CLASS_E_NOAGGREGATION, "Class does not support aggregation (or class object is remote)."},
        {DISP_E_OVERFLOW, "Overflow error whilst converting between types."},
        {DISP_E_UNKNOWNNAME, "Method/property not supported by this object."},
        {DISP_E_BADPARAMCOUNT, "Invalid number of method/property parameters."},
        {DISP_E_BADVARTYPE, "A method/property parameter is not a valid (variant) type."},
        {DISP_E_MEMBERNOTFOUND,
         "Member not found. (Check that you have not omitted any optional parameters and are "
         "not trying to set a read-only property etc.)"},
        {DISP_E_NOTACOLLECTION, "Does not support a collection."},
        {E_ACCESSDENIED, "A 'general' access denied error."},
        {RPC_E_WRONG_THREAD,
         "The application called upon an interface that was marshalled for a different thread."},
    };
    static const QString partial =
        QStringLiteral("The operation completed, but was only partially successful.");

    if (hr == S_OK)
        return QStringLiteral("Okay.");
    if (hr == S_FALSE)
        return detail.isEmpty() ? partial : partial + QStringLiteral(" (") + detail + QLatin1Char(')');
    if (hr == E_OUTOFMEMORY)
        return QStringLiteral(
                   "Problem allocating memory.\r\n\r\n(Possibly too many method arguments. Each "
                   "method/property is limited by the command engine to a maximum of %1 arguments.)")
            .arg(kMaxArguments);
    for (const Entry &e : table) {
        if (e.code != hr)
            continue;
        // A refused argument says which one, after the general text.
        if (hr == E_INVALIDARG && !detail.isEmpty())
            return QString::fromLatin1(e.text) + QStringLiteral(" (") + detail + QLatin1Char(')');
        return QString::fromLatin1(e.text);
    }
    if (hr == DISP_E_EXCEPTION)
        return detail.isEmpty()
                   ? QStringLiteral("An exception occurred during the execution of this method/property.")
                   : detail;
    if ((static_cast<std::uint32_t>(hr) & 0x7FFF0000u) == 0x00070000u) {
        const int n = HRESULT_CODE(hr);
        const QString text = systemMessage(static_cast<DWORD>(n));
        return QStringLiteral("(FACILITY_WIN32 error %1) ").arg(n) +
               (text.isEmpty() ? QStringLiteral("Unable to retrieve error description from system!") : text);
    }
    return QStringLiteral(
               "Unknown error. (Code : Hex %1). Please report this error code to the author at '%2'")
        .arg(QString::number(static_cast<std::uint32_t>(hr), 16).toUpper(), QLatin1String(kSupportAddress));
}

void recordError(AutomationObject *, HRESULT hr, bool fromException, const QString &detail)
{
    if (hr == kOutcomeRecorded || (hr == DISP_E_EXCEPTION && !fromException))
        return;
    // A success after a success of this epoch leaves the record as it is: its
    // text is already "Okay.", and a release racing with this call could have
    // come just after it anyway, which reads the same.
    if (hr == S_OK && record.present && record.code == S_OK && !record.unreadFailure &&
        record.epoch == currentEpoch.load()) {
        record.textHeld = false;
        return;
    }
    QString text = errorTextFor(hr, detail);
    quint64 epoch = 0;
    {
        std::lock_guard lock(lifecycleMutex());
        epoch = currentEpoch.load();
    }
    record.present = true;
    record.code = hr;
    record.text = std::move(text);
    record.epoch = epoch;
    record.unreadFailure = hr != S_OK;
    record.textHeld = false;
}

HRESULT lastErrorCode()
{
    if (!codeVisible(record)) {
        record = ErrorRecord();
        return 0;
    }
    record.unreadFailure = false;
    record.textHeld = true;
    return record.code;
}

QString lastErrorText()
{
    if (!textVisible(record))
        return QString();
    record.textHeld = false;
    return record.text;
}

void resetLastErrors()
{
    currentEpoch.fetch_add(1);
    record = ErrorRecord(); // the releasing thread has moved past its own outcome
}

} // namespace orvane
