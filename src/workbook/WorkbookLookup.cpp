#include "workbook/WorkbookLookup.h"

#include "automation/CommandParser.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "directory/OperationMessages.h"
#include "store/Database.h"
#include "workbook/excel/WorkbookPrewarm.h"

#include <QFileInfo>
#include <QSet>

namespace orvane
{

namespace
{

const QString kExcelFileError = QStringLiteral("Excel file error");

struct KeyPairRow {
    long long fileId = 0;
    int column = 0;
    QString attribute;
    int primaryFlag = 0;
};

struct LookupPair {
    long long fileId = 0;
    QString filename;
    QString desc;
    QString attribute;
    int column = 0;
};

QList<KeyPairRow> loadKeyPairs(Database &db)
{
    QList<KeyPairRow> pairs;
    db.query(QStringLiteral(
        "SELECT excelfiles_bind.file_id, excelfiles_bind.fld_order, attributes.attribute, "
        "excelfiles.primary_flag FROM excelfiles_bind, attributes, excelfiles WHERE "
        "excelfiles_bind.attribute_id = attributes.id AND excelfiles_bind.file_id = excelfiles.id AND "
        "excelfiles_bind.key_flag = '1'"));
    while (db.next_row())
        pairs.append({db.get_long(0), int(db.get_long(1)), db.get_text(2), int(db.get_long(3))});
    return pairs;
}

QList<LookupPair> loadLookupPairs(Database &db)
{
    QList<LookupPair> pairs;
    db.query(QStringLiteral(
        "SELECT excelfiles.id, excelfiles.filename, excelfiles.desc, attributes.attribute, "
        "excelfiles_bind.fld_order, excelfiles_bind.key_flag, excelfiles_bind.search_flag FROM excelfiles, "
        "excelfiles_bind, attributes WHERE excelfiles.id = excelfiles_bind.file_id AND attributes.id = "
        "excelfiles_bind.attribute_id AND excelfiles_bind.search_flag = '1'"));
    while (db.next_row())
        pairs.append({db.get_long(0), db.get_text(1), db.get_text(2), db.get_text(3), int(db.get_long(4))});
    return pairs;
}

// The rows of one lookup pair in the order the workbook side walks them: from
// the second match on, the first last.
QList<int> walkMatches(AutomationObject *app, int column, const QString &value)
{
    const int first = FindFirstRow(app, column, value);
    if (first <= 0)
        return {};
    QList<int> rows;
    QSet<int> seen;
    int previous = first;
    for (;;) {
        const int row = FindNextRow(app, column, previous, value);
        if (row == first)
            break;
        // A failed Find or a repeated row would send the walk round for ever.
        if (row <= 0 || seen.contains(row))
            break;
        seen.insert(row);
        rows.append(row);
        previous = row;
    }
    rows.append(first);
    return rows;
}

FoundSource foundRow(AutomationObject *app, const LookupPair &pair, int row, const QList<KeyPairRow> &keys,
                     const ObjectEntry &object)
{
    FoundSource found;
    found.desc = pair.desc;
    found.lookupText = ReadCell(app, row, pair.column);
    found.filename = pair.filename;
    found.hit = {pair.fileId, row, 0};
    for (const KeyPairRow &key : keys) {
        if (key.fileId != pair.fileId)
            continue;
        if (ReadCell(app, row, key.column) != object.values.value(key.attribute))
            continue;
        if (key.primaryFlag == 1) {
            found.image = kImageKeyConfirmed;
            found.hit.keyConfirmed = 1;
        } else {
            found.image = kImageOtherKeyMatch;
        }
    }
    return found;
}

// The workbooks the pairs with a value to look for search, and their columns, each once.
QList<PrewarmTarget> lookupTargets(const QList<LookupPair> &pairs, const ObjectEntry &object)
{
    QList<PrewarmTarget> targets;
    for (const LookupPair &pair : pairs) {
        if (object.values.value(pair.attribute).isEmpty())
            continue;
        auto it = std::find_if(targets.begin(), targets.end(),
                               [&](const PrewarmTarget &t) { return t.path == pair.filename; });
        if (it == targets.end())
            it = targets.insert(targets.end(), {pair.filename, {}});
        if (!it->columns.contains(pair.column))
            it->columns.append(pair.column);
    }
    return targets;
}

} // namespace

ExcelInstance &ExcelInstance::operator=(ExcelInstance &&other) noexcept
{
    if (this != &other) {
        close();
        app_ = other.app_;
        other.app_ = nullptr;
    }
    return *this;
}

void ExcelInstance::close()
{
    if (!app_)
        return;
    invoke(app_, QStringLiteral("Quit()"));
    releaseObject(app_);
    app_ = nullptr;
}

ExcelInstance OpenWorkbook(const QString &path, const WarningSink &warn, OpenFailure *why)
{
    OpenFailure ignored;
    OpenFailure &failure = why ? *why : ignored;
    failure = OpenFailure::None;
    if (!QFileInfo::exists(path)) {
        failure = OpenFailure::NotFound;
        warn(kExcelFileError, QStringLiteral("Excel file ") + path + QStringLiteral(" not found."));
        return ExcelInstance();
    }
    ExcelInstance app(createObject(QStringLiteral("Excel.Application")));
    if (!app) {
        failure = OpenFailure::NoExcel;
        warn(kExcelFileError,
             codeText(lastErrorCode()) +
                 QStringLiteral(" COM method error occurred while trying to open Excel file."));
        return ExcelInstance();
    }
    const HRESULT hr = invoke(app.get(), QStringLiteral("Workbooks\\Open(") + quoteArgument(path) + u')');
    if (hr != S_OK) {
        failure = OpenFailure::NotOpened;
        // Said aloud: a workbook that cannot be read must not look like one without rows.
        warn(kExcelFileError,
             codeText(lastErrorCode()) +
                 QStringLiteral(" COM method error occurred while trying to open Excel file ") + path +
                 QStringLiteral(". ") + lastErrorText());
        return ExcelInstance();
    }
    return app;
}

QString ColumnLetters(int number)
{
    if (number < 1 || number > 16384)
        return QString();
    QString letters;
    while (number > 0) {
        const int digit = (number - 1) % 26;
        letters.prepend(QChar(u'A' + digit));
        number = (number - 1) / 26;
    }
    return letters;
}

int FindFirstRow(AutomationObject *app, int column, const QString &value)
{
    const qint64 row = getIntegerProperty(
        app, QStringLiteral("ActiveSheet\\Columns(") + QString::number(column) + QStringLiteral(")\\Find(") +
                 quoteArgument(value) + QStringLiteral(", #optional, #optional, 1)\\Row"));
    return lastErrorCode() == S_OK ? int(row) : 0;
}

int FindNextRow(AutomationObject *app, int column, int previous, const QString &value)
{
    const QString cell = ColumnLetters(column) + QString::number(previous);
    const qint64 row =
        getIntegerProperty(app, QStringLiteral("ActiveSheet\\Columns(") + QString::number(column) +
                                    QStringLiteral(")\\Range('") + cell + QStringLiteral("')\\Find(") +
                                    quoteArgument(value) + QStringLiteral(", #optional, #optional, 1)\\Row"));
    return lastErrorCode() == S_OK ? int(row) : 0;
}

QString ReadCell(AutomationObject *app, int row, int column)
{
    return getStringProperty(app, QStringLiteral("Cells(") + QString::number(row) + QStringLiteral(", ") +
                                      QString::number(column) + u')');
}

QList<FoundSource> FindSources(Database &db, const ObjectEntry &object, const WarningSink &warn)
{
    const QList<KeyPairRow> keys = loadKeyPairs(db);
    const QList<LookupPair> pairs = loadLookupPairs(db);
    // Parsed side by side first, the workbooks then open from the cache one after another.
    warmTogether(lookupTargets(pairs, object));
    QList<FoundSource> found;
    for (const LookupPair &pair : pairs) {
        const QString value = object.values.value(pair.attribute);
        if (value.isEmpty())
            continue;
        ExcelInstance app = OpenWorkbook(pair.filename, warn);
        if (!app)
            continue;
        for (int row : walkMatches(app.get(), pair.column, value))
            found.append(foundRow(app.get(), pair, row, keys, object));
    }
    return found;
}

} // namespace orvane
