#include "workbook/ExportUsers.h"

#include "automation/CommandParser.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/RecordColumnReads.h"
#include "directory/ObjectBinding.h"
#include "directory/UserSearch.h"
#include "store/CountText.h"
#include "store/Database.h"
#include "workbook/ReadOnlyWorkbooks.h"

#include <QFileInfo>

namespace orvane
{

namespace
{

QString exportAttributes(const QList<WorkbookBinding> &bindings)
{
    QStringList names;
    for (const WorkbookBinding &b : bindings)
        names.append(b.attribute);
    QString list = names.join(QLatin1Char(','));
    while (list.endsWith(QLatin1Char(',')))
        list.chop(1);
    // Without bindings the list would begin with a bare comma.
    return list.isEmpty() ? kUserCountAttributes : list + u',' + kUserCountAttributes;
}

// The commands that read one binding's value, the same for every user, so
// they are built once per export instead of once per record.
struct FieldReader {
    const WorkbookBinding *binding;
    QString field;      ///< Fields('x'): the field object of a multi-valued attribute
    QString valueField; ///< Fields('x')\Value
    int column = -1;    ///< the record set's column of the read, -1: sent
};

QList<FieldReader> fieldReaders(const QList<WorkbookBinding> &bindings, const RecordColumnReads &reads)
{
    QList<FieldReader> readers;
    readers.reserve(bindings.size());
    for (const WorkbookBinding &b : bindings) {
        const QString field = QStringLiteral("Fields(") + quoteArgument(b.attribute) + u')';
        const QString valueField = field + QStringLiteral("\\Value");
        readers.append({&b, field, valueField, reads.column(b.multivalued == 1 ? field : valueField)});
    }
    return readers;
}

// The binding's value on the current record, into `*value` (its room kept
// from cell to cell).
void recordValue(AutomationObject *records, const RecordColumnReads &reads, const FieldReader &reader,
                 const QString &delimiter, QString *value)
{
    if (reader.binding->multivalued != 1) {
        if (!reads.text(reader.column, value))
            *value = readFieldText(records, reader.valueField, delimiter);
        return;
    }
    if (reads.joined(reader.column, delimiter, value))
        return;
    AutomationObject *object = getObjectProperty(records, reader.field);
    *value = JoinValues(object, delimiter);
    releaseObject(object);
}

// Builds Cells(row,column)\Value = 'text' in one buffer kept across cells,
// from the row's part (once per row) and the column's part (once per export).
class CellCommand
{
  public:
    explicit CellCommand(const QList<FieldReader> &readers)
    {
        for (const FieldReader &reader : readers)
            columnParts_.append(QString::number(reader.binding->column) + QStringLiteral(")\\Value = "));
    }

    void startRow(int row) { rowPart_ = QStringLiteral("Cells(") + QString::number(row) + u','; }

    void write(AutomationObject *app, qsizetype reader, const QString &value)
    {
        // resize, not clear: the buffer is kept (unless the engine holds on
        // to the text), where clear() dropped it and every cell's command
        // was allocated and grown anew.
        text_.resize(0);
        text_ += rowPart_;
        text_ += columnParts_[reader];
        // quoteArgument's text, without its copy for the values (nearly all)
        // that have nothing to escape.
        if (value.contains(u'\'') || value.contains(u'$')) {
            text_ += quoteArgument(value);
        } else {
            text_ += u'\'';
            text_ += value;
            text_ += u'\'';
        }
        setProperty(app, text_);
    }

  private:
    QStringList columnParts_;
    QString rowPart_;
    QString text_;
};

bool stopRequested(const ExportCallbacks &callbacks)
{
    return callbacks.stop && callbacks.stop->load();
}

// Walks the records and writes one row per accepted user.
void writeUsers(AutomationObject *app, AdoSearch &search, const ExportJob &job,
                const ExportCallbacks &callbacks, ExportOutcome &outcome)
{
    const DomainExclusion exclusion(job.connection.baseDn);
    AutomationObject *records = search.recordSet();
    const RecordColumnReads reads(records);
    const QList<FieldReader> readers = fieldReaders(job.bindings, reads);
    CellCommand cell(readers);
    static const QString dnCommand = QStringLiteral("Fields('distinguishedName')\\Value");
    static const QString samCommand = QStringLiteral("Fields('sAMAccountName')\\Value");
    const int dnColumn = reads.column(dnCommand);
    const int samColumn = reads.column(samCommand);
    QString dn;
    QString sam;
    QString value;
    int row = outcome.firstRow;
    const long n = search.recordCount();
    for (long i = 0; i < n; ++i) {
        if (stopRequested(callbacks)) {
            outcome.stopped = true;
            return;
        }
        if (!reads.text(dnColumn, &dn))
            dn = getStringProperty(records, dnCommand);
        bool accepted = !exclusion.excludes(dn);
        if (accepted && !reads.text(samColumn, &sam))
            sam = getStringProperty(records, samCommand);
        accepted = accepted && !sam.isEmpty();
        if (accepted) {
            cell.startRow(row);
            for (qsizetype k = 0; k < readers.size(); ++k) {
                recordValue(records, reads, readers[k], job.delimiter, &value);
                cell.write(app, k, value);
            }
            ++outcome.written;
            ++row;
            if (callbacks.progress)
                callbacks.progress(outcome.written);
        }
        search.moveNext();
    }
}

void saveWorkbook(AutomationObject *app, const ExportJob &job, const ExportCallbacks &callbacks,
                  ExportOutcome &outcome)
{
    if (invoke(app, QStringLiteral("Save")) == S_OK) {
        outcome.saved = true;
        outcome.finalStatus = QStringLiteral("Finished: ") +
                              countText(outcome.written, QStringLiteral("user"), QStringLiteral("users")) +
                              QStringLiteral(" written to ") + QFileInfo(job.path).fileName();
        return;
    }
    const HRESULT code = lastErrorCode();
    const QString reason = lastErrorText();
    callbacks.warn(kExportTitle,
                   codeText(code) +
                       QStringLiteral(" COM method error occurred while trying to save Excel file ") +
                       job.path + QStringLiteral(". ") + reason);
    outcome.finalStatus = QStringLiteral("Export failed: the workbook was not saved");
}

} // namespace

QString ExportWorkbookPath(Database &db)
{
    db.query(QStringLiteral("SELECT filename FROM excelfiles WHERE export_flag = '1'"));
    return db.next_row() ? db.get_text(0) : QString();
}

QList<WorkbookBinding> LoadExportBindings(Database &db)
{
    return loadWorkbookBindings(db, BindingStatement::ExportBindings);
}

int FirstFreeRow(AutomationObject *app)
{
    const int last =
        int(getIntegerProperty(app, QStringLiteral("ActiveSheet\\UsedRange\\SpecialCells(11)\\Row")));
    if (last > 1)
        return last + 1;
    // Row 1 is the last used row both of an empty sheet and of a sheet with only a header.
    const int lastColumn =
        int(getIntegerProperty(app, QStringLiteral("ActiveSheet\\UsedRange\\SpecialCells(11)\\Column")));
    for (int column = 1; column <= lastColumn; ++column) {
        if (!ReadCell(app, 1, column).isEmpty())
            return 2;
    }
    return 1;
}

ExportOutcome ExportUsers(const ExportJob &job, const ExportCallbacks &callbacks)
{
    ExportOutcome outcome;
    if (!QFileInfo::exists(job.path)) {
        callbacks.warn(QStringLiteral("Excel file error"),
                       QStringLiteral("Excel file ") + job.path + QStringLiteral(" does not exist."));
        return outcome;
    }
    // Said before anything is searched or written: the file could never be saved.
    if (const QString notice = readOnlyExportNotice(job.path); !notice.isEmpty()) {
        callbacks.warn(kExportTitle, notice);
        outcome.finalStatus = QStringLiteral("Export failed: the workbook was not saved");
        return outcome;
    }
    OpenFailure why = OpenFailure::None;
    ExcelInstance app = OpenWorkbook(job.path, callbacks.warn, &why);
    if (!app) {
        if (why == OpenFailure::NoExcel)
            callbacks.warn(kExportTitle, QStringLiteral("Cannot create Excel COM object."));
        return outcome;
    }
    outcome.opened = true;
    if (callbacks.status)
        callbacks.status(kExportingText);
    outcome.firstRow = FirstFreeRow(app.get());
    {
        AdoSearch search;
        const QString query = adoQueryText(job.connection.serverAddress, job.connection.baseDn,
                                           kUserCountFilter, exportAttributes(job.bindings));
        if (search.open(job.connection, query, kUserCountPageSize, false))
            writeUsers(app.get(), search, job, callbacks, outcome);
        else
            outcome.search = search.failure();
    }
    if (outcome.stopped) {
        outcome.finalStatus = QStringLiteral("Stopped: the workbook was left unchanged");
        return outcome; // Quit() drops the written cells unsaved
    }
    saveWorkbook(app.get(), job, callbacks, outcome);
    return outcome;
}

} // namespace orvane
