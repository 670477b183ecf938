#include "workbook/engine/CellValue.h"

#include <cmath>
#include <cstdio>

namespace orvane
{

namespace
{

// Days from 1970-01-01 to a civil date and back (proleptic Gregorian).
long daysFromCivil(long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

void civilFromDays(long z, long *y, unsigned *m, unsigned *d)
{
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<long>(yoe) + era * 400 + (*m <= 2);
}

// Automation date 0 is 1899-12-30.
const long kAutomationEpoch = daysFromCivil(1899, 12, 30);

bool readDigits(std::string_view s, size_t at, size_t count, int *value)
{
    if (at + count > s.size()) {
        return false;
    }
    int v = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (s[i] < '0' || s[i] > '9') {
            return false;
        }
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

bool parseTime(std::string_view s, double *fraction)
{
    int h = 0, mi = 0, sec = 0;
    if (!readDigits(s, 0, 2, &h) || s.size() < 8 || s[2] != ':' || !readDigits(s, 3, 2, &mi) || s[5] != ':' ||
        !readDigits(s, 6, 2, &sec) || h > 23 || mi > 59 || sec > 59) {
        return false;
    }
    double extra = 0;
    size_t i = 8;
    if (i < s.size() && s[i] == '.') {
        double scale = 0.1;
        for (++i; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            extra += (s[i] - '0') * scale;
            scale /= 10;
        }
    }
    if (i < s.size() && s[i] == 'Z') {
        ++i;
    }
    if (i != s.size()) {
        return false;
    }
    *fraction = (h * 3600 + mi * 60 + sec + extra) / 86400.0;
    return true;
}

} // namespace

std::string formatGeneralNumber(double value)
{
    if (!std::isfinite(value)) {
        return std::string();
    }
    if (value == 0) {
        return "0";
    }
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    return buf;
}

std::string formatAutomationDate(double date)
{
    if (!std::isfinite(date) || date < 0 || date >= 2958466) {
        return formatGeneralNumber(date);
    }
    long long seconds = std::llround(date * 86400.0);
    long days = static_cast<long>(seconds / 86400);
    long rest = static_cast<long>(seconds % 86400);
    char buf[40];
    int h = static_cast<int>(rest / 3600), mi = static_cast<int>(rest / 60 % 60),
        s = static_cast<int>(rest % 60);
    if (days == 0) {
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, mi, s);
        return buf;
    }
    long y = 0;
    unsigned m = 0, d = 0;
    civilFromDays(kAutomationEpoch + days, &y, &m, &d);
    if (rest == 0) {
        std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u", y, m, d);
    } else {
        std::snprintf(buf, sizeof buf, "%04ld-%02u-%02u %02d:%02d:%02d", y, m, d, h, mi, s);
    }
    return buf;
}

double serialToAutomationDate(double serial, bool date1904)
{
    if (date1904) {
        return serial + 1462;
    }
    // The 1900 system counts a 29 February 1900 that never was: serials below
    // it are one day later than the automation date with the same number.
    if (serial >= 1 && serial < 61) {
        return serial + 1;
    }
    return serial;
}

bool parseIsoDate(std::string_view text, double *date)
{
    double fraction = 0;
    if (text.size() >= 8 && text[2] == ':') {
        if (!parseTime(text, &fraction)) {
            return false;
        }
        *date = fraction;
        return true;
    }
    int y = 0, m = 0, d = 0;
    if (!readDigits(text, 0, 4, &y) || text.size() < 10 || text[4] != '-' || !readDigits(text, 5, 2, &m) ||
        text[7] != '-' || !readDigits(text, 8, 2, &d) || m < 1 || m > 12 || d < 1 || d > 31) {
        return false;
    }
    if (text.size() > 10) {
        if ((text[10] != ' ' && text[10] != 'T') || !parseTime(text.substr(11), &fraction)) {
            return false;
        }
    }
    long days = daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
    long check_y = 0;
    unsigned check_m = 0, check_d = 0;
    civilFromDays(days, &check_y, &check_m, &check_d);
    if (check_d != static_cast<unsigned>(d)) {
        return false;
    }
    *date = static_cast<double>(days - kAutomationEpoch) + fraction;
    return true;
}

bool isDateFormatCode(std::string_view code)
{
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        switch (c) {
        case ';':
            return false;
        case '"': {
            size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            i = close;
            break;
        }
        case '\\':
        case '_':
        case '*':
            ++i;
            break;
        case '[': {
            size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) {
                return false;
            }
            std::string_view inside = code.substr(i + 1, close - i - 1);
            char first = inside.empty() ? '\0' : static_cast<char>(inside[0] | 0x20);
            if ((first == 'h' || first == 'm' || first == 's') &&
                inside.find_first_not_of(inside[0]) == inside.npos) {
                return true;
            }
            i = close;
            break;
        }
        default: {
            char lower = static_cast<char>(c | 0x20);
            if (lower == 'd' || lower == 'm' || lower == 'y' || lower == 'h' || lower == 's') {
                // "General" holds none of these; an exponent "E+" is not a date either.
                return true;
            }
        }
        }
    }
    return false;
}

bool isBuiltInDateFormat(unsigned id)
{
    return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
           (id >= 50 && id <= 58) || (id >= 71 && id <= 81);
}

std::string cellDisplayText(const CellValue &value)
{
    switch (value.kind) {
    case CellValue::Kind::Number:
        return formatGeneralNumber(value.number);
    case CellValue::Kind::Text:
        return value.text;
    case CellValue::Kind::Boolean:
        return value.number != 0 ? "TRUE" : "FALSE";
    case CellValue::Kind::Date:
        return formatAutomationDate(value.number);
    case CellValue::Kind::Empty:
    case CellValue::Kind::Error:
        break;
    }
    return std::string();
}

} // namespace orvane
