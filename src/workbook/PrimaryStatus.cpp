#include "workbook/PrimaryStatus.h"

#include "store/Database.h"
#include "sync/MultiValuedText.h"
#include "sync/ValuePreparation.h"

namespace orvane
{

int CheckObjectStatus(const ParsedWorkbookReads &reads, int keyColumn, const QString &keyAttribute,
                      const ObjectEntry &object, const QList<WorkbookBinding> &bindings,
                      const Settings &settings, ReplacementPatterns &patterns)
{
    const QString keyValue = object.values.value(keyAttribute);
    if (keyValue.isEmpty())
        return StatusNoKeyValue;
    const int row = reads.findFirstRow(keyColumn, keyValue);
    if (row <= 0)
        return StatusNoRow;
    for (const WorkbookBinding &binding : bindings) {
        const QString cell = reads.readCell(row, binding.column);
        const QString directory = object.values.value(binding.attribute);
        if (binding.multivalued == 1) {
            // Compared as a synchronization would write it: trailing empty
            // values dropped, so 'a;b;' is not 'differs' here while opening
            // the user finds nothing to write.
            const QString &d = settings.multivaluedDelimiter;
            const QString values = joinMultiValued(splitMultiValued(cell, d, EmptyParts::Keep), d);
            if (CompareMultiValued(settings, patterns, directory, values, binding.rangeupper) == 1)
                return StatusDiffers;
        } else if (PrepareStatusValue(settings, patterns, cell, binding.rangeupper) != directory) {
            return StatusDiffers;
        }
    }
    return StatusUpToDate;
}

PrimaryStatusCheck::PrimaryStatusCheck(Database &db, const Settings &settings, const WarningSink &warn,
                                       PrimaryOpening opening)
    : settings_(settings), warn_(warn), patterns_(settings)
{
    db.query(QStringLiteral("SELECT id, filename FROM excelfiles WHERE primary_flag = '1'"));
    if (!db.next_row())
        return;
    const long long id = db.get_long(0);
    const QString filename = db.get_text(1);
    const std::optional<WorkbookBinding> key = firstKeyPair(db, id);
    if (!key || key->column == 0)
        return;
    bindings_ = loadWorkbookBindings(db, BindingStatement::StatusBindings, id);
    keyColumn_ = key->column;
    keyAttribute_ = key->attribute;
    filename_ = filename;
    if (opening == PrimaryOpening::Now)
        open();
}

void PrimaryStatusCheck::open()
{
    if (opened_)
        return;
    opened_ = true;
    if (!filename_.isEmpty())
        app_ = OpenWorkbook(filename_, warn_);
    // Thousands of users read the same parsed cells: answered from them, not a command each.
    if (app_)
        reads_ = ParsedWorkbookReads(app_.get());
}

void PrimaryStatusCheck::close()
{
    reads_ = ParsedWorkbookReads();
    app_.close();
}

int PrimaryStatusCheck::check(const ObjectEntry &object)
{
    open();
    if (!app_)
        return -1;
    return CheckObjectStatus(reads_, keyColumn_, keyAttribute_, object, bindings_, settings_, patterns_);
}

int PrimaryStatusOf(Database &db, const Settings &settings, const ObjectEntry &object,
                    const WarningSink &warn)
{
    PrimaryStatusCheck check(db, settings, warn);
    return check.check(object);
}

} // namespace orvane
