#pragma once
// Which registered workbooks can only be read: HR exports kept as CSV text
// or OpenDocument spreadsheets are looked up and compared like any workbook,
// but nothing can be written into them, so tagging one as the export file
// is answered with a notice and the export refuses it before it starts.

#include <QString>

namespace orvane
{

/// The notice for tagging the file at `path` as the export file: empty when
/// the export can write into it (told by its extension: .csv and .ods cannot).
QString readOnlyExportNotice(const QString &path);

} // namespace orvane
