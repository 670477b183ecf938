#include "workbook/WorkbookBinding.h"

#include "store/Database.h"

#include <initializer_list>

namespace orvane
{

namespace
{

// A column a statement selects, by the member it fills.
enum class Field {
    FileId,
    Column,
    AttributeId,
    InCatalogue, ///< attributes.id of a left join: empty when the attribute left the catalogue
    Fld,
    Attribute,
    Multivalued,
    Rangeupper,
    KeyFlag,
    LookupFlag,
    ShowFlag,
    Filename,
    Desc,
    PrimaryFlag,
};

// A statement's text and the members its columns fill, in select order. A
// statement of one workbook is head + the quoted file id + tail; the others
// are head alone.
struct BindingQuery {
    BindingStatement statement;
    bool ofOneFile;
    const char *head;
    const char *tail;
    std::initializer_list<Field> fields;
};

using F = Field;

// clang-format off
const BindingQuery kQueries[] = {
    {BindingStatement::KeyPairs, true,
     "SELECT excelfiles_bind.fld_order, attributes.attribute FROM excelfiles_bind, attributes "
     "WHERE excelfiles_bind.attribute_id = attributes.id AND excelfiles_bind.file_id = ",
     " AND excelfiles_bind.key_flag = '1'",
     {F::Column, F::Attribute}},
    {BindingStatement::EveryKeyPair, false,
     "SELECT excelfiles_bind.file_id, excelfiles_bind.fld_order, attributes.attribute, "
     "excelfiles.primary_flag FROM excelfiles_bind, attributes, excelfiles "
     "WHERE excelfiles_bind.attribute_id = attributes.id AND excelfiles_bind.file_id = excelfiles.id "
     "AND excelfiles_bind.key_flag = '1'",
     "",
     {F::FileId, F::Column, F::Attribute, F::PrimaryFlag}},
    {BindingStatement::LookupPairs, false,
     "SELECT excelfiles.id, excelfiles.filename, excelfiles.desc, attributes.attribute, "
     "excelfiles_bind.fld_order, excelfiles_bind.key_flag, excelfiles_bind.search_flag "
     "FROM excelfiles, excelfiles_bind, attributes WHERE excelfiles.id = excelfiles_bind.file_id "
     "AND attributes.id = excelfiles_bind.attribute_id AND excelfiles_bind.search_flag = '1'",
     "",
     {F::FileId, F::Filename, F::Desc, F::Attribute, F::Column, F::KeyFlag, F::LookupFlag}},
    {BindingStatement::StatusBindings, true,
     "SELECT excelfiles_bind.fld_order, attributes.attribute, attributes.multivalued, "
     "attributes.rangeupper FROM excelfiles_bind, attributes "
     "WHERE excelfiles_bind.attribute_id = attributes.id AND excelfiles_bind.file_id = ",
     "",
     {F::Column, F::Attribute, F::Multivalued, F::Rangeupper}},
    {BindingStatement::BindingList, true,
     "SELECT excelfiles_bind.fld_order, attributes.fld, excelfiles_bind.attribute_id, "
     "excelfiles_bind.key_flag, excelfiles_bind.search_flag, excelfiles_bind.show_flag "
     "FROM excelfiles_bind, attributes WHERE file_id = ",
     " AND excelfiles_bind.attribute_id = attributes.id",
     {F::Column, F::Fld, F::AttributeId, F::KeyFlag, F::LookupFlag, F::ShowFlag}},
    {BindingStatement::ExportBindings, false,
     "SELECT attributes.attribute, attributes.multivalued, excelfiles_bind.fld_order "
     "FROM attributes, excelfiles, excelfiles_bind WHERE excelfiles.id = excelfiles_bind.file_id "
     "AND excelfiles_bind.attribute_id = attributes.id AND excelfiles.export_flag = '1'",
     "",
     {F::Attribute, F::Multivalued, F::Column}},
    {BindingStatement::SourceRecords, true,
     "SELECT excelfiles_bind.fld_order, attributes.fld, attributes.id, attributes.attribute, "
     "attributes.multivalued, attributes.rangeupper FROM excelfiles_bind, attributes "
     "WHERE attributes.id = excelfiles_bind.attribute_id And excelfiles_bind.file_id = ",
     "",
     {F::Column, F::Fld, F::AttributeId, F::Attribute, F::Multivalued, F::Rangeupper}},
    // The configuration check's own statement: it must report a binding whose
    // attribute was deleted from the catalogue, and the inner joins above drop
    // exactly those rows; the left join keeps them with the catalogue's
    // columns empty.
    {BindingStatement::CheckedBindings, true,
     "SELECT excelfiles_bind.fld_order, excelfiles_bind.attribute_id, attributes.id, attributes.fld, "
     "attributes.attribute, attributes.multivalued, attributes.rangeupper, excelfiles_bind.key_flag, "
     "excelfiles_bind.search_flag, excelfiles_bind.show_flag FROM excelfiles_bind "
     "LEFT JOIN attributes ON excelfiles_bind.attribute_id = attributes.id "
     "WHERE excelfiles_bind.file_id = ",
     " ORDER BY excelfiles_bind.rowid",
     {F::Column, F::AttributeId, F::InCatalogue, F::Fld, F::Attribute, F::Multivalued, F::Rangeupper,
      F::KeyFlag, F::LookupFlag, F::ShowFlag}},
};
// clang-format on

const BindingQuery &queryOf(BindingStatement statement)
{
    for (const BindingQuery &q : kQueries) {
        if (q.statement == statement)
            return q;
    }
    return kQueries[0]; // every enumerator has its row above
}

void fill(WorkbookBinding &b, Field field, Database &db, int i)
{
    switch (field) {
    case F::FileId:
        b.fileId = db.get_long(i);
        break;
    case F::Column:
        b.column = int(db.get_long(i));
        break;
    case F::AttributeId:
        b.attributeId = db.get_long(i);
        break;
    case F::InCatalogue:
        b.inCatalogue = !db.get_text(i).isEmpty();
        break;
    case F::Fld:
        b.fld = db.get_text(i);
        break;
    case F::Attribute:
        b.attribute = db.get_text(i);
        break;
    case F::Multivalued:
        b.multivalued = int(db.get_long(i));
        break;
    case F::Rangeupper:
        b.rangeupper = int(db.get_long(i));
        break;
    case F::KeyFlag:
        b.keyFlag = int(db.get_long(i));
        break;
    case F::LookupFlag:
        b.lookupFlag = int(db.get_long(i));
        break;
    case F::ShowFlag:
        b.showFlag = int(db.get_long(i));
        break;
    case F::Filename:
        b.filename = db.get_text(i);
        break;
    case F::Desc:
        b.desc = db.get_text(i);
        break;
    case F::PrimaryFlag:
        b.primaryFlag = int(db.get_long(i));
        break;
    }
}

} // namespace

QList<WorkbookBinding> loadWorkbookBindings(Database &db, BindingStatement statement, long long fileId)
{
    const BindingQuery &q = queryOf(statement);
    QString text = QString::fromLatin1(q.head);
    if (q.ofOneFile) {
        // Ids start at 1: a workbook that does not exist has no bindings.
        if (fileId <= 0)
            return {};
        text += sqlQuote(fileId);
    }
    text += QString::fromLatin1(q.tail);
    QList<WorkbookBinding> bindings;
    db.query(text);
    while (db.next_row()) {
        WorkbookBinding b;
        if (q.ofOneFile)
            b.fileId = fileId;
        int i = 0;
        for (Field field : q.fields)
            fill(b, field, db, i++);
        bindings.append(b);
    }
    return bindings;
}

std::optional<WorkbookBinding> firstKeyPair(Database &db, long long fileId)
{
    const QList<WorkbookBinding> pairs = loadWorkbookBindings(db, BindingStatement::KeyPairs, fileId);
    if (pairs.isEmpty())
        return std::nullopt;
    WorkbookBinding key = pairs.first();
    key.keyFlag = 1;
    return key;
}

} // namespace orvane
