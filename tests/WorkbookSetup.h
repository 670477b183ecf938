#pragma once
// Registered workbooks for the lookup, comparison and export tests: sheets
// written by libxlsxwriter (an independent writer) and their registration
// with column bindings put straight into a settings file. Header-only, shared
// by the workbook and GUI tests.

#include "store/Database.h"

#include <QString>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>
#include <xlsxwriter.h>

namespace orvane::test
{

/// Catalogue ids of the attributes the tests bind.
namespace attr
{
inline constexpr long long givenName = 1;
inline constexpr long long sn = 2;
inline constexpr long long displayName = 3;
inline constexpr long long description = 4; // multi-valued, rangeupper 1024
inline constexpr long long telephoneNumber = 6;
inline constexpr long long mail = 7;
inline constexpr long long title = 9;
inline constexpr long long department = 10;
inline constexpr long long initials = 15; // rangeupper 6
inline constexpr long long employeeID = 16;
inline constexpr long long otherTelephone = 14; // multi-valued, rangeupper 64
} // namespace attr

/// A sheet by rows: row number -> texts of columns 1, 2, ... ("" leaves the cell out).
using SheetRows = std::map<int, std::vector<std::string>>;

/// Writes a one-sheet workbook holding `rows` as string cells; a bold header
/// format on row 1 when `boldHeader`, so that styles can be checked later.
inline void writeRowsWorkbook(const std::string &path, const SheetRows &rows, bool boldHeader = false)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    for (const auto &[row, texts] : rows) {
        for (size_t c = 0; c < texts.size(); ++c) {
            if (!texts[c].empty())
                worksheet_write_string(ws, lxw_row_t(row - 1), lxw_col_t(c), texts[c].c_str(),
                                       boldHeader && row == 1 ? bold : nullptr);
        }
    }
    workbook_add_worksheet(wb, "Notes");
    if (workbook_close(wb) != LXW_NO_ERROR)
        throw std::runtime_error("libxlsxwriter could not write " + path);
}

/// One binding to register.
struct BindingSpec {
    int column;
    long long attributeId;
    bool key = false;
    bool lookup = false;
};

/// Registers `path` with `desc`, tags and bindings; returns its id.
inline long long registerWorkbookWith(Database &db, const QString &path, const QString &desc,
                                      const std::vector<BindingSpec> &bindings, bool primary = false,
                                      bool exportTag = false)
{
    db.execute(QStringLiteral("INSERT INTO excelfiles(filename, desc, primary_flag, export_flag) VALUES(") +
               sqlQuote(path) + u',' + sqlQuote(desc) + u',' + sqlQuote(primary ? 1 : 0) + u',' +
               sqlQuote(exportTag ? 1 : 0) + u')');
    const long long id = db.lastInsertId();
    for (const BindingSpec &b : bindings) {
        db.execute(QStringLiteral("INSERT INTO excelfiles_bind(file_id, fld_order, attribute_id, key_flag, "
                                  "search_flag, show_flag) VALUES(") +
                   sqlQuote(id) + u',' + sqlQuote(b.column) + u',' + sqlQuote(b.attributeId) + u',' +
                   sqlQuote(b.key ? 1 : 0) + u',' + sqlQuote(b.lookup ? 1 : 0) + QStringLiteral(",'0')"));
    }
    return id;
}

} // namespace orvane::test
