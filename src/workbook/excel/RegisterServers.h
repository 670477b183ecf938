#pragma once
// Makes the Excel stand-in known to the class registry under the ProgID
// "Excel.Application" (with Excel's own CLSID), so that
// createObject("Excel.Application") gives a new ExcelApplication.

namespace orvane
{

/// Registers the server; safe to call any number of times from any thread.
void registerExcelServer();

} // namespace orvane
