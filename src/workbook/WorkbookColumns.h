#pragma once
// What a configuration check needs to know of a registered workbook's sheet:
// whether the workbook engine opens it and how many columns it uses. Its
// bindings come from loadWorkbookBindings (WorkbookBinding.h) by the
// CheckedBindings statement, which keeps those whose attribute left the catalogue.

#include <QString>

namespace orvane
{

/// The outcome of opening a workbook to count its used columns.
struct WorkbookColumns {
    bool opened = false;
    int last = 0;    ///< the last used column of the sheet the program reads (1 = A); 0 when empty
    QString failure; ///< the engine's message when it did not open (names the file)
};

/// Opens `path` through the workbook engine as lookups do and reads the last
/// used column of its active sheet; the engine is closed again.
WorkbookColumns usedColumns(const QString &path);

} // namespace orvane
