#pragma once
// The value of one worksheet cell as Excel hands it to an automation client,
// and the text the workbook engine shows for it: numbers in Excel's General
// form with up to 15 significant digits, dates in ISO form, booleans as Excel
// displays them. Also the conversions between a workbook's date serials and
// automation dates, and the test that tells a date number format from others.

#include <string>
#include <string_view>

namespace orvane
{

struct CellValue {
    enum class Kind { Empty, Number, Text, Boolean, Date, Error };
    Kind kind = Kind::Empty;
    /// Number: the value. Date: an automation date (days since 1899-12-30,
    /// the fraction the time of day). Boolean: 1 or 0.
    double number = 0;
    /// Text: the cell's text. Error: the error literal ("#N/A").
    std::string text;
};

/// Returns `value` as Excel's General form gives it to a client: up to 15
/// significant digits, no trailing zeros, exponent form ("1E+15", "1E-05")
/// when the decimal form would need more digits. "0" for zero.
std::string formatGeneralNumber(double value);

/// Returns an automation date as "yyyy-mm-dd", with " hh:mm:ss" when the time
/// of day is not midnight, or as "hh:mm:ss" alone for a time without a date
/// (a value below 1). Rounded to the second. Outside the years 100 to 9999 the
/// number in General form.
std::string formatAutomationDate(double date);

/// Converts a worksheet date serial to an automation date, honouring the
/// 1904 date system and the 1900 system's fictitious 29 February 1900.
double serialToAutomationDate(double serial, bool date1904);

/// Parses "yyyy-mm-dd", "yyyy-mm-dd hh:mm:ss", "yyyy-mm-ddThh:mm:ss[.fff][Z]"
/// or "hh:mm:ss" into an automation date; false for anything else.
bool parseIsoDate(std::string_view text, double *date);

/// True when the number format code formats a date or a time (looks at the
/// first section, ignoring quoted text, escapes and bracketed modifiers other
/// than elapsed-time ones).
bool isDateFormatCode(std::string_view code);

/// True for Excel's built-in number format ids that are dates or times.
bool isBuiltInDateFormat(unsigned id);

/// The text a cell shows to Find and to the engine's readers: General form for
/// numbers, ISO form for dates, "TRUE"/"FALSE" for booleans, the text as
/// stored for text, and empty text for empty and error cells.
std::string cellDisplayText(const CellValue &value);

} // namespace orvane
