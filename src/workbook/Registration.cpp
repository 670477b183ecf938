#include "workbook/Registration.h"

#include "store/Database.h"

namespace orvane
{
namespace
{

constexpr int kPrimaryImage = 0;
constexpr int kLookupImage = 1;
constexpr int kBothImage = 2;
constexpr int kExportImage = 16;

long long firstLong(Database &db, const QString &statement)
{
    db.query(statement);
    db.next_row();
    return db.get_long(0);
}

bool hasRow(Database &db, const QString &statement)
{
    db.query(statement);
    return db.next_row() == 1;
}

QString ofFile(long long fileId)
{
    return QStringLiteral(" WHERE file_id = ") + sqlQuote(fileId);
}

QString ofBinding(long long fileId, long long attributeId)
{
    return ofFile(fileId) + QStringLiteral(" AND attribute_id = ") + sqlQuote(attributeId);
}

QString flagColumn(WorkbookTag tag)
{
    return tag == WorkbookTag::Primary ? QStringLiteral("primary_flag") : QStringLiteral("export_flag");
}

} // namespace

QList<RegisteredWorkbook> loadWorkbooks(Database &db)
{
    QList<RegisteredWorkbook> workbooks;
    db.query(QStringLiteral("SELECT id, filename, desc, primary_flag, export_flag FROM excelfiles"));
    while (db.next_row())
        workbooks.append(
            {db.get_long(0), db.get_text(1), db.get_text(2), int(db.get_long(3)), int(db.get_long(4))});
    return workbooks;
}

RegisteredWorkbook readWorkbook(Database &db, long long id)
{
    RegisteredWorkbook workbook;
    db.query(
        QStringLiteral("SELECT id, filename, desc, primary_flag, export_flag FROM excelfiles WHERE id = ") +
        sqlQuote(id));
    if (db.next_row())
        workbook = {db.get_long(0), db.get_text(1), db.get_text(2), int(db.get_long(3)), int(db.get_long(4))};
    return workbook;
}

int workbookImage(int primaryFlag, int exportFlag)
{
    if (primaryFlag == 1)
        return kPrimaryImage;
    if (exportFlag == 1)
        return kExportImage;
    return kNoImage;
}

int bindingImage(int keyFlag, int lookupFlag)
{
    if (keyFlag == 1 && lookupFlag == 1)
        return kBothImage;
    if (keyFlag == 1)
        return kPrimaryImage;
    if (lookupFlag == 1)
        return kLookupImage;
    return kNoImage;
}

bool isRegistered(Database &db, const QString &path)
{
    return firstLong(db, QStringLiteral("SELECT COUNT(id) AS rowsnum FROM excelfiles WHERE filename = ") +
                             sqlQuote(path)) != 0;
}

long long registerWorkbook(Database &db, const QString &path)
{
    if (isRegistered(db, path))
        return 0;
    db.execute(QStringLiteral("INSERT INTO excelfiles(filename, primary_flag) VALUES(") + sqlQuote(path) +
               QStringLiteral(", '0')"));
    return db.lastInsertId();
}

QString workbookDescription(Database &db, long long id)
{
    db.query(QStringLiteral("SELECT desc FROM excelfiles WHERE id = ") + sqlQuote(id));
    db.next_row();
    return db.get_text(0);
}

bool setWorkbookDescription(Database &db, long long id, const QString &desc)
{
    return db.execute(QStringLiteral("UPDATE excelfiles SET desc = ") + sqlQuote(desc) +
                      QStringLiteral(" WHERE id = ") + sqlQuote(id));
}

void deleteWorkbook(Database &db, long long id)
{
    db.execute(QStringLiteral("DELETE FROM excelfiles WHERE id = ") + sqlQuote(id));
    db.execute(QStringLiteral("DELETE FROM excelfiles_bind") + ofFile(id));
}

WorkbookTagResult tagWorkbook(Database &db, long long id, WorkbookTag tag)
{
    WorkbookTagResult result;
    const QString ofId = QStringLiteral(" AND id = ") + sqlQuote(id);
    if (hasRow(db, QStringLiteral("SELECT id FROM excelfiles WHERE primary_flag = '1'") + ofId) ||
        hasRow(db, QStringLiteral("SELECT id FROM excelfiles WHERE export_flag = '1'") + ofId)) {
        result.refused = true;
        return result;
    }
    const QString column = flagColumn(tag);
    result.previous =
        firstLong(db, QStringLiteral("SELECT id FROM excelfiles WHERE ") + column + QStringLiteral(" = '1'"));
    db.execute(QStringLiteral("UPDATE excelfiles SET ") + column + QStringLiteral(" = '0' WHERE id = ") +
               sqlQuote(result.previous));
    db.execute(QStringLiteral("UPDATE excelfiles SET ") + column + QStringLiteral(" = '1' WHERE id = ") +
               sqlQuote(id));
    return result;
}

void clearWorkbookTags(Database &db, long long id)
{
    db.execute(QStringLiteral("UPDATE excelfiles SET primary_flag = '0', export_flag = '0' WHERE id = ") +
               sqlQuote(id));
}

BindingAddition classifyBinding(Database &db, long long fileId, int column, long long attributeId)
{
    const long long byColumn =
        firstLong(db, QStringLiteral("SELECT count(*) FROM excelfiles_bind") + ofFile(fileId) +
                          QStringLiteral(" AND fld_order = ") + sqlQuote(column));
    const long long byAttribute = firstLong(db, QStringLiteral("SELECT count(*) FROM excelfiles_bind") +
                                                    ofBinding(fileId, attributeId));
    if (byAttribute == 0 && (byColumn == 0 || byColumn == 1))
        return BindingAddition::Insert;
    if (byColumn == 0 && byAttribute == 1)
        return BindingAddition::AskToMove;
    if (byColumn == 1 && byAttribute == 1)
        return BindingAddition::AlreadyBound;
    return BindingAddition::ColumnFull;
}

bool insertBinding(Database &db, long long fileId, int column, long long attributeId)
{
    return db.execute(
        QStringLiteral("INSERT INTO excelfiles_bind(file_id, fld_order, attribute_id, key_flag, "
                       "search_flag) VALUES(") +
        sqlQuote(fileId) + QStringLiteral(", ") + sqlQuote(column) + QStringLiteral(", ") +
        sqlQuote(attributeId) + QStringLiteral(", '0', '0')"));
}

bool moveBinding(Database &db, long long fileId, int column, long long attributeId)
{
    return db.execute(QStringLiteral("UPDATE excelfiles_bind SET fld_order = ") + sqlQuote(column) +
                      ofBinding(fileId, attributeId));
}

bool deleteBinding(Database &db, long long fileId, long long attributeId, const QString &columnText)
{
    return db.execute(QStringLiteral("DELETE FROM excelfiles_bind") + ofBinding(fileId, attributeId) +
                      QStringLiteral(" AND fld_order = ") + sqlQuote(columnText));
}

BindingTagResult tagBinding(Database &db, long long fileId, const QString &columnText, long long attributeId,
                            BindingTag tag)
{
    const bool key = tag == BindingTag::Key;
    BindingTagResult result;
    db.query(key ? QStringLiteral("SELECT fld_order, attribute_id, search_flag FROM excelfiles_bind") +
                       ofFile(fileId) + QStringLiteral(" AND key_flag = '1'")
                 : QStringLiteral("SELECT fld_order, attribute_id, key_flag FROM excelfiles_bind") +
                       ofFile(fileId) + QStringLiteral(" AND search_flag = '1'"));
    if (db.next_row()) {
        result.hadPrevious = true;
        result.previousColumn = int(db.get_long(0));
        result.previousAttribute = db.get_long(1);
        const bool otherTag = db.get_long(2) == 1;
        result.previousImage = otherTag ? (key ? kLookupImage : kPrimaryImage) : kNoImage;
    }
    if (key) {
        db.execute(QStringLiteral("UPDATE excelfiles_bind SET key_flag = '0'") + ofFile(fileId));
        db.execute(QStringLiteral("UPDATE excelfiles_bind SET key_flag = '1'") + ofFile(fileId) +
                   QStringLiteral(" AND fld_order = ") + sqlQuote(columnText) +
                   QStringLiteral(" AND attribute_id = ") + sqlQuote(attributeId));
    } else {
        db.execute(QStringLiteral("UPDATE excelfiles_bind SET search_flag = '0'") + ofFile(fileId));
        db.execute(QStringLiteral("UPDATE excelfiles_bind SET search_flag = '1'") +
                   ofBinding(fileId, attributeId));
    }
    db.query(QStringLiteral("SELECT key_flag, search_flag FROM excelfiles_bind") +
             ofBinding(fileId, attributeId));
    db.next_row();
    const bool both = db.get_long(0) == 1 && db.get_long(1) == 1;
    result.image = both ? kBothImage : (key ? kPrimaryImage : kLookupImage);
    return result;
}

void clearBindingTags(Database &db, long long fileId, long long attributeId)
{
    db.execute(QStringLiteral("UPDATE excelfiles_bind SET key_flag = '0', search_flag = '0'") +
               ofBinding(fileId, attributeId));
}

void storeShowFlag(Database &db, long long fileId, long long attributeId, bool shown)
{
    db.execute(QStringLiteral("UPDATE excelfiles_bind SET show_flag = ") + sqlQuote(shown ? 1 : 0) +
               ofBinding(fileId, attributeId));
}

} // namespace orvane
