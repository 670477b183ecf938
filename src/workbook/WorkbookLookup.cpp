#include "workbook/WorkbookLookup.h"

#include "automation/CommandParser.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "directory/OperationMessages.h"
#include "store/Database.h"
#include "workbook/WorkbookBinding.h"
#include "workbook/excel/OpenedWorkbook.h"
#include "workbook/excel/WorkbookPrewarm.h"

#include <QFileInfo>
#include <QSet>
#include <iterator>

namespace orvane
{

namespace
{

const QString kExcelFileError = QStringLiteral("Excel file error");

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

// `pair` a row of the lookup pairs, `keys` those of every key pair.
FoundSource foundRow(AutomationObject *app, const WorkbookBinding &pair, int row,
                     const QList<WorkbookBinding> &keys, const ObjectEntry &object)
{
    FoundSource found;
    found.desc = pair.desc;
    found.lookupText = ReadCell(app, row, pair.column);
    found.filename = pair.filename;
    found.hit = {pair.fileId, row, 0};
    for (const WorkbookBinding &key : keys) {
        if (key.fileId != pair.fileId)
            continue;
        // An empty key value identifies nobody: it would match every row whose
        // key cell is empty, a stranger's row among them.
        const QString keyValue = object.values.value(key.attribute);
        if (keyValue.isEmpty() || ReadCell(app, row, key.column) != keyValue)
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
QList<PrewarmTarget> lookupTargets(const QList<WorkbookBinding> &pairs, const ObjectEntry &object)
{
    QList<PrewarmTarget> targets;
    for (const WorkbookBinding &pair : pairs) {
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

namespace
{

// Writes the decimal digits of `number` (not negative) ending before `end`; returns where they begin.
char16_t *digitsBefore(char16_t *end, int number)
{
    do {
        *--end = static_cast<char16_t>(u'0' + number % 10);
        number /= 10;
    } while (number > 0);
    return end;
}

} // namespace

QString ReadCell(AutomationObject *app, int row, int column)
{
    if (row < 0 || column < 0)
        return getStringProperty(app, QStringLiteral("Cells(") + QString::number(row) + QStringLiteral(", ") +
                                          QString::number(column) + u')');
    // Written back to front into one buffer and copied once: a plan reads
    // several cells of every listed user's row.
    char16_t text[40];
    char16_t *at = text + std::size(text);
    *--at = u')';
    at = digitsBefore(at, column);
    *--at = u' ';
    *--at = u',';
    at = digitsBefore(at, row);
    for (const char16_t c : {u'(', u's', u'l', u'l', u'e', u'C'})
        *--at = c;
    return getStringProperty(app, QString(reinterpret_cast<const QChar *>(at), text + std::size(text) - at));
}

ParsedWorkbookReads::ParsedWorkbookReads(AutomationObject *app) : app_(app), book_(openedWorkbook(app)) {}

ParsedWorkbookReads::~ParsedWorkbookReads() = default;
ParsedWorkbookReads::ParsedWorkbookReads(ParsedWorkbookReads &&) noexcept = default;
ParsedWorkbookReads &ParsedWorkbookReads::operator=(ParsedWorkbookReads &&) noexcept = default;

int ParsedWorkbookReads::findFirstRow(int column, const QString &value) const
{
    // As ReadPath's Find: the text's UTF-8 looked for in the active sheet's column.
    if (book_ && column >= 1 && column <= int(Worksheet::kMaxColumn)) {
        const QByteArray text = value.toUtf8();
        const uint32_t row = book_->activeSheet().find(
            uint32_t(column), std::string_view(text.constData(), size_t(text.size())), 0);
        if (row > 0)
            return int(row);
    }
    // No match: the command says so, with the failure it records.
    return FindFirstRow(app_, column, value);
}

QString ParsedWorkbookReads::readCell(int row, int column) const
{
    if (book_ && row >= 1 && row <= int(Worksheet::kMaxRow) && column >= 1 && column <= int(Worksheet::kMaxColumn)) {
        const CellValue value = book_->activeSheet().value(uint32_t(row), uint32_t(column));
        // A text comes out of ReadPath as its UTF-8 decoded (bstrFromUtf8); other kinds take the command's conversion.
        if (value.kind == CellValue::Kind::Text)
            return QString::fromUtf8(value.text.data(), qsizetype(value.text.size()));
    }
    return ReadCell(app_, row, column);
}

QList<FoundSource> FindSources(Database &db, const ObjectEntry &object, const WarningSink &warn)
{
    const QList<WorkbookBinding> keys = loadWorkbookBindings(db, BindingStatement::EveryKeyPair);
    // One row per lookup pair: a workbook with two lookup pairs is opened twice.
    const QList<WorkbookBinding> pairs = loadWorkbookBindings(db, BindingStatement::LookupPairs);
    // Parsed side by side first, the workbooks then open from the cache one after another.
    warmTogether(lookupTargets(pairs, object));
    QList<FoundSource> found;
    for (const WorkbookBinding &pair : pairs) {
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
