#include "workbook/ReadOnlyWorkbooks.h"

namespace orvane
{

QString readOnlyExportNotice(const QString &path)
{
    QString kind;
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive))
        kind = QStringLiteral("a CSV text file (.csv)");
    else if (path.endsWith(QLatin1String(".ods"), Qt::CaseInsensitive))
        kind = QStringLiteral("an OpenDocument spreadsheet (.ods)");
    else
        return QString();
    return QStringLiteral("The export file ") + path + QStringLiteral(" is ") + kind +
           QStringLiteral(", which can be read but not written: the export cannot save into it. Tag an "
                          ".xlsx workbook as the export file instead.");
}

} // namespace orvane
