#pragma once
// Writing attributes: every change goes through ValueWriteSequence (clear and
// commit, then, when there is something to write, set and commit).
//
// Restore on failure: when the set or its commit fails after the clear was
// committed, the values the object held before (read from the bound object
// before the clear) are written back and committed, and the message says
// whether that worked. So a refused value never leaves the attribute empty
// without the administrator being told. When the values held before cannot
// be read (the directory stopped answering), nothing is cleared: the write
// is refused with the directory's reason.
//
// Values go into command strings through quoteArgument (a "'" or "$1234" is
// written exactly); multiple values travel as a VT_ARRAY|VT_VARIANT passed by
// address. Nothing is shown: messages come back in a DirectoryReport with the
// titles "Synchronization error" (ApplyPreparedValues) or "Attribute edit
// error" (WriteAttribute).

#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"
#include "directory/ObjectTable.h"
#include "sync/SyncRecord.h"

#include <QStringList>

namespace orvane
{

struct AutomationObject;

/// Which operation writes: selects the message title and texts.
enum class WriteContext { Synchronization, AttributeEdit };

inline const QString kSynchronizationErrorTitle = QStringLiteral("Synchronization error");
inline const QString kAttributeEditErrorTitle = QStringLiteral("Attribute edit error");

/// How far a ValueWriteSequence got, for callers that carry on after an interruption.
enum class WriteStage {
    Untouched, ///< nothing was sent (the values before could not be read, or the clear was refused)
    Unsure,    ///< the clear's commit failed: the directory may or may not have taken it
    LeftEmpty, ///< the clear was committed, the set failed and nothing was written back
    Restored,  ///< the set failed and the values before were written back
    Written    ///< the whole write succeeded
};

/// Writes `attribute` of the bound `object`: multivalued 0 writes values[0]
/// with Put, 1 writes every value with PutEx(3, ...), both after the clear;
/// an empty list (or an empty first value) only clears. result 1 when every
/// command succeeded; otherwise one message (with the restore outcome when a
/// restore was attempted). `stage`, when given, says how far it got.
/// `restoreValues`, when given and the object holds nothing now, are what a
/// failed set writes back (the values an earlier, interrupted write cleared).
DirectoryReport ValueWriteSequence(AutomationObject *object, WriteContext context, const QString &attribute,
                                   int multivalued, const QStringList &values, WriteStage *stage = nullptr,
                                   const QStringList *restoreValues = nullptr);

/// Binds table[index] and writes each record that is not up to date (a
/// failure in one record does not stop the others). result 1 when the object
/// was bound and every write succeeded. The caller reloads the entry.
DirectoryReport ApplyPreparedValues(const DirectoryConnection &connection, const SyncRecordList &records,
                                    const ObjectTable &table, int index, const QString &delimiter);

/// Binds `guid` and writes one attribute. result 1 when the whole write
/// succeeded, else 0 with its message; `stage`, when given, says how far it got.
DirectoryReport WriteAttribute(const DirectoryConnection &connection, const QString &guid,
                               const QString &attribute, int multivalued, const QStringList &values,
                               WriteStage *stage = nullptr);

} // namespace orvane
