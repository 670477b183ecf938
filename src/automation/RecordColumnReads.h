#pragma once
// The field reads a record-set walk sends for every record, resolved once per
// walk. Where the record set keeps its records in columns (IRecordColumns,
// Interfaces.h) a read is answered from the current record's column, the same
// answer its command would get; everywhere else, and whenever the record set
// declines, the caller sends the command as before. An answered read records
// nothing as the last error (the caller tests none after it).

#include "automation/AutomationObject.h"

#include <QString>
#include <QStringView>

namespace orvane
{

class RecordColumnReads
{
  public:
    /// Reads of `recordSet` (a handle that outlives this object); with a record
    /// set that has no columns, or with whole-path reads turned off, every
    /// column() is -1.
    explicit RecordColumnReads(AutomationObject *recordSet);
    ~RecordColumnReads();
    RecordColumnReads(const RecordColumnReads &) = delete;
    RecordColumnReads &operator=(const RecordColumnReads &) = delete;

    /// The column that `command` ("Fields('x')\Value", or "Fields('x')" for a
    /// multi-valued field) reads on every record; -1 when it has to be sent.
    int column(const QString &command) const;
    /// Sets `*text` to what getStringProperty(recordSet, command) would give
    /// for the command of `column` (an empty text for a field without value,
    /// which that read gives with a type mismatch recorded), when the record
    /// set answers it; false (nothing changed) when the command has to be sent.
    bool text(int column, QString *text) const;
    /// Sets `*joined` to what getJoinedTexts(field, "value", delimiter) would
    /// give on the field object of `column`; false when it has to be read so.
    bool joined(int column, QStringView delimiter, QString *joined) const;

  private:
    IRecordColumns *columns_ = nullptr;
};

} // namespace orvane
