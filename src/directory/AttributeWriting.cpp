#include "directory/AttributeWriting.h"

#include "automation/CommandEngine.h"
#include "directory/ObjectBinding.h"

namespace orvane
{

QStringList splitPreparedValue(const QString &prepared, const QString &delimiter)
{
    if (delimiter.isEmpty())
        return prepared.isEmpty() ? QStringList() : QStringList{prepared};
    return prepared.split(delimiter, Qt::SkipEmptyParts);
}

DirectoryReport ValueWriteSequence(AutomationObject *, WriteContext, const QString &, int,
                                   const QStringList &)
{
    return {};
}

DirectoryReport ApplyPreparedValues(const DirectoryConnection &, const SyncRecordList &, const ObjectTable &,
                                    int, const QString &)
{
    return {};
}

DirectoryReport WriteAttribute(const DirectoryConnection &, const QString &, const QString &, int,
                               const QStringList &)
{
    return {};
}

} // namespace orvane
