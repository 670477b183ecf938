#include "workbook/PrimaryStatus.h"

#include "store/Database.h"
#include "sync/ValuePreparation.h"

namespace orvane
{

int StatusImage(int status)
{
    if (status == StatusUpToDate)
        return kImageStatusUpToDate;
    if (status == StatusDiffers)
        return kImageStatusDiffers;
    return -1;
}

QList<StatusBinding> LoadStatusBindings(Database &db, long long fileId)
{
    QList<StatusBinding> bindings;
    db.query(QStringLiteral("SELECT excelfiles_bind.fld_order, attributes.attribute, attributes.multivalued, "
                            "attributes.rangeupper FROM excelfiles_bind, attributes WHERE "
                            "excelfiles_bind.attribute_id = attributes.id AND excelfiles_bind.file_id = ") +
             sqlQuote(fileId));
    while (db.next_row())
        bindings.append({int(db.get_long(0)), db.get_text(1), int(db.get_long(2)), int(db.get_long(3))});
    return bindings;
}

int CheckObjectStatus(AutomationObject *app, int keyColumn, const QString &keyAttribute,
                      const ObjectEntry &object, const QList<StatusBinding> &bindings,
                      const Settings &settings, ReplacementPatterns &patterns)
{
    const QString keyValue = object.values.value(keyAttribute);
    if (keyValue.isEmpty())
        return StatusNoKeyValue;
    const int row = FindFirstRow(app, keyColumn, keyValue);
    if (row <= 0)
        return StatusNoRow;
    for (const StatusBinding &binding : bindings) {
        const QString cell = ReadCell(app, row, binding.column);
        const QString directory = object.values.value(binding.attribute);
        if (binding.multivalued == 1) {
            if (CompareMultiValued(settings, patterns, directory, cell, binding.rangeupper) == 1)
                return StatusDiffers;
        } else if (PrepareStatusValue(settings, patterns, cell, binding.rangeupper) != directory) {
            return StatusDiffers;
        }
    }
    return StatusUpToDate;
}

PrimaryStatusCheck::PrimaryStatusCheck(Database &db, const Settings &settings, const WarningSink &warn)
    : settings_(settings), patterns_(settings)
{
    db.query(QStringLiteral("SELECT id, filename FROM excelfiles WHERE primary_flag = '1'"));
    if (!db.next_row())
        return;
    const long long id = db.get_long(0);
    const QString filename = db.get_text(1);
    db.query(QStringLiteral("SELECT excelfiles_bind.fld_order, attributes.attribute FROM excelfiles_bind, "
                            "attributes WHERE excelfiles_bind.attribute_id = attributes.id AND "
                            "excelfiles_bind.file_id = ") +
             sqlQuote(id) + QStringLiteral(" AND excelfiles_bind.key_flag = '1'"));
    if (!db.next_row())
        return;
    keyColumn_ = int(db.get_long(0));
    keyAttribute_ = db.get_text(1);
    if (keyColumn_ == 0)
        return;
    bindings_ = LoadStatusBindings(db, id);
    app_ = OpenWorkbook(filename, warn);
}

int PrimaryStatusCheck::check(const ObjectEntry &object)
{
    if (!app_)
        return -1;
    return CheckObjectStatus(app_.get(), keyColumn_, keyAttribute_, object, bindings_, settings_, patterns_);
}

int PrimaryStatusOf(Database &db, const Settings &settings, const ObjectEntry &object,
                    const WarningSink &warn)
{
    PrimaryStatusCheck check(db, settings, warn);
    return check.check(object);
}

} // namespace orvane
