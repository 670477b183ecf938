#pragma once
// The writes the windows make one at a time (the opened user's Synchronize, an
// attribute edit, enable/disable, the photo), each journaled as its own change
// set: recorded Pending and committed before the directory is touched,
// completed with the outcome after. The directory calls and the messages they
// give are those of the plain operations, so the windows show exactly what
// they showed before.

#include "directory/OperationMessages.h"
#include "directory/ObjectTable.h"
#include "store/Settings.h"
#include "sync/SyncRecord.h"

#include <QByteArray>
#include <QStringList>

namespace orvane
{

class Database;

inline const QString kSynchronizeOrigin = QStringLiteral("Synchronize");
inline const QString kAttributeEditOrigin = QStringLiteral("Attribute edit");
inline const QString kAccountOrigin = QStringLiteral("Enable/disable account");
inline const QString kImageOrigin = QStringLiteral("Image");

/// ApplyPreparedValues of table[index] (one bind, each record not up to date
/// written through ValueWriteSequence, the same messages), with each record
/// journaled; `source` names the workbook and row.
DirectoryReport JournaledApplyPreparedValues(Database &db, const Settings &settings,
                                             const SyncRecordList &records, const ObjectTable &table,
                                             int index, const QString &source);

/// WriteAttribute of `guid` journaled; `oldValues` are the values the window listed.
DirectoryReport JournaledWriteAttribute(Database &db, const Settings &settings, const QString &guid,
                                        const QString &cn, const QString &attribute, int multivalued,
                                        const QStringList &oldValues, const QStringList &values);

/// DisableAccount or EnableAccount of `guid` journaled as the AccountDisabled
/// flag ("TRUE"/"FALSE"); `wasDisabled` is the state the window listed.
DirectoryReport JournaledAccountChange(Database &db, const Settings &settings, const QString &guid,
                                       const QString &cn, bool disable, bool wasDisabled);

/// SetPhoto (or RemovePhoto for no bytes) of `guid` journaled with the photo
/// bytes read before the write and the new bytes.
DirectoryReport JournaledPhotoChange(Database &db, const Settings &settings, const QString &guid,
                                     const QString &cn, const QByteArray &bytes);

} // namespace orvane
