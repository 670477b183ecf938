// What a cell shows: numbers in Excel's General form, date serials in both
// date systems, ISO date parsing, and the tell-tale of a date format code.

#include "workbook/engine/CellValue.h"

#include <cmath>
#include <gtest/gtest.h>

namespace orvane
{
namespace
{

TEST(CellValue, NumbersInGeneralForm)
{
    struct Case {
        double value;
        const char *text;
    };
    const Case cases[] = {
        {0, "0"},
        {-0.0, "0"},
        {42, "42"},
        {-17.5, "-17.5"},
        {0.1 + 0.2, "0.3"},
        {1234567.891, "1234567.891"},
        {123456789012345.0, "123456789012345"},
        {1e15, "1E+15"},
        {123456789012345678.0, "1.23456789012346E+17"},
        {0.0001, "0.0001"},
        {0.00001, "1E-05"},
        {-0.000123, "-0.000123"},
        {2.0 / 3.0, "0.666666666666667"},
        {NAN, ""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(formatGeneralNumber(c.value), c.text) << c.value;
    }
}

TEST(CellValue, DateSerialsInBothDateSystems)
{
    struct Case {
        double serial;
        bool date1904;
        const char *text;
    };
    const Case cases[] = {
        {1, false, "1900-01-01"},
        {59, false, "1900-02-28"},
        {61, false, "1900-03-01"},
        {45296, false, "2024-01-05"},
        {45296.544502314815, false, "2024-01-05 13:04:05"},
        {45351.354166666664, false, "2024-02-29 08:30:00"},
        {0.5, false, "12:00:00"},
        {0.2604166666666667, false, "06:15:00"},
        {0, true, "1904-01-01"},
        {43834, true, "2024-01-05"},
        {2958465, false, "9999-12-31"},
        {45296.99999999, false, "2024-01-06"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(formatAutomationDate(serialToAutomationDate(c.serial, c.date1904)), c.text) << c.serial;
    }
    EXPECT_EQ(formatAutomationDate(-1), "-1");
    EXPECT_EQ(formatAutomationDate(3e6), "3000000");
}

TEST(CellValue, IsoDatesParse)
{
    struct Case {
        const char *text;
        bool ok;
        double date;
    };
    const Case cases[] = {
        {"2024-01-05", true, 45296},
        {"2024-01-05 12:00:00", true, 45296.5},
        {"2024-01-05T06:00:00Z", true, 45296.25},
        {"2024-01-05T06:00:00.500", true, 45296.25 + 0.5 / 86400},
        {"12:00:00", true, 0.5},
        {"1899-12-30", true, 0},
        {"2023-02-29", false, 0},
        {"2024-13-01", false, 0},
        {"2024-01-05 25:00:00", false, 0},
        {"05.01.2024", false, 0},
        {"2024-01-05x", false, 0},
        {"", false, 0},
    };
    for (const Case &c : cases) {
        double date = -1;
        EXPECT_EQ(parseIsoDate(c.text, &date), c.ok) << c.text;
        if (c.ok) {
            EXPECT_NEAR(date, c.date, 1e-9) << c.text;
        }
    }
}

TEST(CellValue, DateFormatCodes)
{
    struct Case {
        const char *code;
        bool date;
    };
    const Case cases[] = {
        {"yyyy-mm-dd", true},          {"d-mmm-yy", true},    {"h:mm AM/PM", true},   {"[h]:mm:ss", true},
        {"[$-409]mmmm d, yyyy", true}, {"General", false},    {"0.00", false},        {"#,##0", false},
        {"0.00E+00", false},           {"\"days\" 0", false}, {"0 \\d", false},       {"[Red]0.00", false},
        {"0;[Red]-0;\"m\"", false},    {"@", false},          {"_(* #,##0_)", false}, {"mm:ss.0", true},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isDateFormatCode(c.code), c.date) << c.code;
    }
    for (unsigned id : {14u, 15u, 22u, 45u, 47u}) {
        EXPECT_TRUE(isBuiltInDateFormat(id)) << id;
    }
    for (unsigned id : {0u, 1u, 2u, 13u, 23u, 49u, 164u}) {
        EXPECT_FALSE(isBuiltInDateFormat(id)) << id;
    }
}

TEST(CellValue, DisplayTextOfEachKind)
{
    using K = CellValue::Kind;
    EXPECT_EQ(cellDisplayText({K::Empty, 0, ""}), "");
    EXPECT_EQ(cellDisplayText({K::Number, 2.5, ""}), "2.5");
    EXPECT_EQ(cellDisplayText({K::Text, 0, "00042"}), "00042");
    EXPECT_EQ(cellDisplayText({K::Boolean, 1, ""}), "TRUE");
    EXPECT_EQ(cellDisplayText({K::Boolean, 0, ""}), "FALSE");
    EXPECT_EQ(cellDisplayText({K::Date, 45296, ""}), "2024-01-05");
    EXPECT_EQ(cellDisplayText({K::Error, 0, "#N/A"}), "");
}

} // namespace
} // namespace orvane
