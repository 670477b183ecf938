// The command-string language: every edge case with its exact slot layout,
// the limits, the pointer forms and the quoting helper.

#include "ParsedText.h"
#include "RecordingServer.h"
#include "automation/AutomationObject.h"
#include "automation/CommandTokens.h"
#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/PassedAddress.h"
#include "automation/com/Bstr.h"
#include "automation/com/ComPtr.h"

#include <gtest/gtest.h>
#include <random>

using namespace orvane;
using orvane::test::parseToText;

namespace
{

const QString kInvalid = QStringLiteral("0x80070057");
const QString kOutOfMemory = QStringLiteral("0x8007000E");

struct Row {
    const char *command;
    const char *expected; // the parsed form, or the failure code
};

void expectRows(const Row *rows, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const QString command = QString::fromUtf8(rows[i].command);
        EXPECT_EQ(parseToText(command), QString::fromUtf8(rows[i].expected)) << rows[i].command;
    }
}

QString repeated(const QString &item, int count, const QString &separator)
{
    QStringList items;
    for (int i = 0; i < count; ++i)
        items.append(item);
    return items.join(separator);
}

} // namespace

TEST(CommandParser, EdgeCaseTable)
{
    const Row rows[] = {
        {"Fields('cn')\\Value", "Fields[19:VT_BSTR cn] \\ Value"},
        {"Find('x', #optional, #optional, 1)",
         "Find[16:VT_I1 1, 17:VT_ERROR 0x80020004, 18:VT_ERROR 0x80020004, 19:VT_BSTR x]"},
        {"Properties('Page Size') = 100", "Properties[18:VT_I1 100, 19:VT_BSTR Page Size]"},
        {"AccountDisabled = -1", "AccountDisabled[19:VT_I1 -1]"},
        {"AccountDisabled = 0", "AccountDisabled[19:VT_I4 0]"},
        {"A = 1 \\ B", "0x80070057"},
        {"A = 1 = 2", "0x80070057"},
        {"A\\\\B", "0x80070057"},
        {"\\A", "0x80070057"},
        {"A\\", "0x80070057"},
        {"A(1)(2)", "0x80070057"},
        {"A((1))", "0x80070057"},
        {"A(1", "0x80070057"},
        {"A)", "0x80070057"},
        {"A(1,,2)", "0x80070057"},
        {"A(,1)", "0x80070057"},
        {"A(1 2)", "0x80070057"},
        {"A 1", "0x80070057"},
        {"A('it$0027s')", "A[19:VT_BSTR it's]"},
        {"A('a$12')", "A[19:VT_BSTR a]"},
        {"A('$zz12')", "A[19:VT_BSTR $zz12]"},
        {"A('')", "A[19:VT_BSTR ]"},
        {"A(#nullstring)", "A[19:VT_BSTR ]"},
        {"A('x)", "0x80070057"},
        {"A('a,b\\c=d')", "A[19:VT_BSTR a,b\\c=d]"},
        {"A(1.5)", "A[19:VT_R8 1.5]"},
        {"A(1.2.3)", "0x80070057"},
        {"A(1e5)", "0x80070057"},
        {"A($FF)", "0x80070057"},
        {"A(5-)", "0x80070057"},
        {"A(+7)", "A[19:VT_I1 7]"},
        {"A(3 as long)", "A[19:VT_I4 3]"},
        {"A('12' as long)", "A[19:VT_I4 12]"},
        {"A(1 as money)", "0x80070057"},
        {"A(#TRUE)", "A[19:VT_BOOL True]"},
        {"A(1 AS Long)", "A[19:VT_I4 1]"},
        {"fIeLdS('X')\\vAlUe", "fIeLdS[19:VT_BSTR X] \\ vAlUe"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, LiteralsKeywordsAndTypes)
{
    const Row rows[] = {
        {"A(127, 128, -128, -129)", "A[16:VT_I2 -129, 17:VT_I1 -128, 18:VT_I2 128, 19:VT_I1 127]"},
        {"A(32768, 2147483647, 2147483648)", "A[17:VT_I8 2147483648, 18:VT_I4 2147483647, 19:VT_I4 32768]"},
        {"A(-0)", "A[19:VT_I4 0]"},
        {"A(.5, 5., -2.25)", "A[17:VT_R8 -2.25, 18:VT_R8 5, 19:VT_R8 0.5]"},
        {"A(+1.5)", "A[19:VT_R8 1.5]"},
        {"A(+-1.5)", "0x80070057"},
        {"A(99999999999999999999)", "0x80070057"},
        {"A(-)", "0x80070057"},
        {"A(.)", "0x80070057"},
        {"A(#false, #void, #opt, #EMPTY)",
         "A[16:VT_ERROR 0x80020004, 17:VT_ERROR 0x80020004, 18:VT_I4 0, 19:VT_BOOL False]"},
        {"A(#maybe)", "0x80070057"},
        {"A(bare)", "0x80070057"},
        {"A(1 as boolean, 0 as boolean)", "A[18:VT_BOOL False, 19:VT_BOOL True]"},
        {"A(1.5 as long, 2.5 as long)", "A[18:VT_I4 2, 19:VT_I4 2]"},
        {"A(300 as byte)", "0x8002000A"},
        {"A(-1 as ubyte)", "0x8002000A"},
        {"A('abc' as long)", "0x80020005"},
        {"A('True' as boolean)", "A[19:VT_BOOL True]"},
        {"A(5 as string, 5 as bstr)", "A[18:VT_BSTR 5, 19:VT_BSTR 5]"},
        {"A(5 as word, 5 as uword, 5 as dword, 5 as ulong, 5 as udword)",
         "A[15:VT_UI4 5, 16:VT_UI4 5, 17:VT_I4 5, 18:VT_UI2 5, 19:VT_I2 5]"},
        {"A(5 as quad, 5 as qword, 5 as uquad, 5 as uqword)",
         "A[16:VT_UI8 5, 17:VT_UI8 5, 18:VT_I8 5, 19:VT_I8 5]"},
        {"A(5 as integer, 5 as int, 5 as uinteger, 5 as uint)",
         "A[16:VT_UINT 5, 17:VT_UINT 5, 18:VT_INT 5, 19:VT_INT 5]"},
        {"A(1.5 as float, 1.5 as single, 2 as double)", "A[17:VT_R8 2, 18:VT_R4 1.5, 19:VT_R4 1.5]"},
        {"A('2024-02-29' as date)", "A[19:VT_DATE 2024-02-29]"},
        {"A(1 as)", "0x80070057"},
        {"A(1 as 'long')", "0x80070057"},
        {"A('x' as variant)", "0x80070057"},
        {"A(1.5 as object)", "0x80070057"},
        {"A(0 as variant)", "A[19:VT_I4 0]"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, MemberForms)
{
    const Row rows[] = {
        {"A", "A"},
        {"A()", "A"},
        {"A() = 5", "A[19:VT_I1 5]"},
        {"A(1) = 2", "A[18:VT_I1 2, 19:VT_I1 1]"},
        {"A=  'v'", "A[19:VT_BSTR v]"},
        {"A\\B\\C(1)", "A \\ B \\ C[19:VT_I1 1]"},
        {"  A  (  1  ,  2  )  ", "A[18:VT_I1 2, 19:VT_I1 1]"},
        {"A =", "0x80070057"},
        {"A(1) 2", "0x80070057"},
        {"A = 1, 2", "0x80070057"},
        {"(1)", "0x80070057"},
        {"= 1", "0x80070057"},
        {"A(1,)", "0x80070057"},
        {"", "0x80070057"},
        {"   ", "0x80070057"},
        {"A('x'y)", "0x80070057"},
        {"A(1)\\B(2) = 3", "A[19:VT_I1 1] \\ B[18:VT_I1 3, 19:VT_I1 2]"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, Limits)
{
    // 20 arguments fit; the 21st is E_OUTOFMEMORY (the message names the limit).
    EXPECT_NE(parseToText(QStringLiteral("A(") + repeated(QStringLiteral("1"), 20, QStringLiteral(",")) +
                          QLatin1Char(')')),
              kOutOfMemory);
    EXPECT_EQ(parseToText(QStringLiteral("A(") + repeated(QStringLiteral("1"), 21, QStringLiteral(",")) +
                          QLatin1Char(')')),
              kOutOfMemory);
    // 20 members fit; 21 are a syntax error.
    EXPECT_EQ(parseToText(repeated(QStringLiteral("M"), 20, QStringLiteral("\\"))),
              repeated(QStringLiteral("M"), 20, QStringLiteral(" \\ ")));
    EXPECT_EQ(parseToText(repeated(QStringLiteral("M"), 21, QStringLiteral("\\"))), kInvalid);
    // A member is read up to 200 tokens: 100 arguments are 202 tokens, so the
    // closing parenthesis is never read.
    EXPECT_EQ(parseToText(QStringLiteral("A(") + repeated(QStringLiteral("1"), 100, QStringLiteral(",")) +
                          QLatin1Char(')')),
              kInvalid);
    EXPECT_EQ(orvane::tokenizeCommand(QStringLiteral("A(") +
                                      repeated(QStringLiteral("1"), 98, QStringLiteral(",")) +
                                      QLatin1Char(')'))
                  .size(),
              1);
}

TEST(CommandParser, DecodeEscapes)
{
    const Row rows[] = {
        {"$0041", "A"},   {"x$0024y", "x$y"},     {"$1234", "4"}, {"$00e9", "\xC3\xA9"},
        {"$", ""},        {"ab$", "ab"},          {"a$0", "a"},   {"a$00g1", "a$00g1"},
        {"$$0041", "$A"}, {"$00410041", "A0041"},
    };
    for (const Row &row : rows)
        EXPECT_EQ(decodeEscapes(QString::fromUtf8(row.command)), QString::fromUtf8(row.expected))
            << row.command;
}

TEST(CommandParser, PointerForms)
{
    orvane::test::registerRecordingServer();
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);
    const QString handle = handleNumber(obj);

    // A live handle becomes its IDispatch, with a reference the parsed command owns.
    ParsedCommand *parsed = nullptr;
    ASSERT_EQ(
        parseCommand(QStringLiteral("Keep = ") + handle + QStringLiteral(" as AutomationObject"), &parsed),
        S_OK);
    const VARIANT &slot = parsed->members[0].arguments[19];
    EXPECT_EQ(slot.vt, VT_DISPATCH);
    EXPECT_EQ(slot.pdispVal, obj->dispatch);
    const ULONG refsWithArgument = obj->dispatch->AddRef() - 1;
    obj->dispatch->Release();
    freeParsedCommand(parsed);
    const ULONG refsAfterFree = obj->dispatch->AddRef() - 1;
    obj->dispatch->Release();
    EXPECT_EQ(refsWithArgument, refsAfterFree + 1);

    // Anything but a live handle is refused, not dereferenced.
    const Row refused[] = {
        {"A(0 as AutomationObject)", "0x80070057"},
        {"A(0 as object)", "0x80070057"},
        {"A(0 as idispatch)", "0x80070057"},
        {"A(0 as iunknown)", "0x80070057"},
        {"A(0 byref)", "0x80070057"},
        {"A(-8 as object)", "0x80070057"},
        {"A(12345 as AutomationObject)", "0x80070057"},
        {"A(1.5 byref)", "0x80070057"},
        {"A('7' as iunknown)", "0x80070057"},
    };
    expectRows(refused, std::size(refused));

    // Addresses are taken only while the program has them registered for
    // passing, and only for the use they were registered for.
    const QString address = QString::number(reinterpret_cast<quintptr>(obj->dispatch));
    LONG variable = 5;
    const QString varAddress = QString::number(reinterpret_cast<quintptr>(&variable));
    VARIANT value;
    VariantInit(&value);
    setVariantString(&value, QStringLiteral("copied"));
    const QString valueAddress = QString::number(reinterpret_cast<quintptr>(&value));
    const QString unregistered[] = {
        address + QStringLiteral(" as object"),
        address + QStringLiteral(" as iunknown"),
        varAddress + QStringLiteral(" byref as long"),
        valueAddress + QStringLiteral(" as variant"),
        QStringLiteral("1 as variant"),
        QStringLiteral("12345 as object"),
        QStringLiteral("4096 as iunknown"),
        QStringLiteral("8 as idispatch"),
        QStringLiteral("5 as long byref"),
    };
    for (const QString &argument : unregistered)
        EXPECT_EQ(parseToText(QStringLiteral("A(") + argument + QLatin1Char(')')), kInvalid)
            << argument.toStdString();
    {
        PassedAddress passedObject(obj->dispatch);
        PassedAddress passedVariable(&variable, VT_I4);
        PassedAddress passedValue(&value);
        EXPECT_EQ(parseToText(QStringLiteral("A(") + passedObject.text() + QStringLiteral(" as object)")),
                  QStringLiteral("A[19:VT_DISPATCH @") + address + QLatin1Char(']'));
        EXPECT_EQ(parseToText(QStringLiteral("A(") + address + QStringLiteral(" as iunknown)")),
                  QStringLiteral("A[19:VT_UNKNOWN @") + address + QLatin1Char(']'));
        EXPECT_EQ(
            parseToText(QStringLiteral("A(") + passedVariable.text() + QStringLiteral(" byref as long)")),
            QStringLiteral("A[19:VT_BYREF|VT_I4 @") + varAddress + QLatin1Char(']'));
        EXPECT_EQ(parseToText(QStringLiteral("A(") + varAddress + QStringLiteral(" as long byref)")),
                  QStringLiteral("A[19:VT_BYREF|VT_I4 @") + varAddress + QLatin1Char(']'));
        // Another use than the registered one is refused.
        const QString misused[] = {
            varAddress + QStringLiteral(" as object"),     varAddress + QStringLiteral(" byref as double"),
            valueAddress + QStringLiteral(" as iunknown"), address + QStringLiteral(" as variant"),
            address + QStringLiteral(" byref as long"),
        };
        for (const QString &argument : misused)
            EXPECT_EQ(parseToText(QStringLiteral("A(") + argument + QLatin1Char(')')), kInvalid)
                << argument.toStdString();

        // "as variant" copies the caller's VARIANT; the caller keeps its own.
        ASSERT_EQ(
            parseCommand(QStringLiteral("A(") + passedValue.text() + QStringLiteral(" as variant)"), &parsed),
            S_OK);
        EXPECT_EQ(parsed->members[0].arguments[19].vt, VT_BSTR);
        EXPECT_NE(parsed->members[0].arguments[19].bstrVal, value.bstrVal);
        freeParsedCommand(parsed);
    }
    EXPECT_EQ(variantString(&value), QStringLiteral("copied"));
    EXPECT_EQ(parseToText(QStringLiteral("A(") + valueAddress + QStringLiteral(" as variant)")), kInvalid)
        << "refused again once the registration ends";
    VariantClear(&value);

    // A released handle is no longer accepted.
    releaseObject(obj);
    EXPECT_EQ(parseToText(QStringLiteral("A(") + handle + QStringLiteral(" as AutomationObject)")), kInvalid);
}

TEST(QuoteArgument, EscapesOnlyQuoteAndDollar)
{
    EXPECT_EQ(quoteArgument(QString()), QStringLiteral("''"));
    EXPECT_EQ(quoteArgument(QStringLiteral("it's $5")), QStringLiteral("'it$0027s $00245'"));
    EXPECT_EQ(quoteArgument(QStringLiteral("a\\b,c=(d)")), QStringLiteral("'a\\b,c=(d)'"));
}

TEST(QuoteArgument, RoundTripsThroughParseAndInvoke)
{
    orvane::test::registerRecordingServer();
    AutomationObject *obj = createObject(QStringLiteral("Test.Recorder"));
    ASSERT_NE(obj, nullptr);

    QStringList samples = {
        QString(),
        QStringLiteral("O'Brien"),
        QStringLiteral("''"),
        QStringLiteral("$"),
        QStringLiteral("$0027"),
        QStringLiteral("$0041$0024$12"),
        QStringLiteral("price $FFFF"),
        QStringLiteral("C:\\Users\\a b\\file (1).xlsx"),
        QStringLiteral("a,b=c\\d"),
        QString::fromUtf8("Иванов Пётр"),
        QString::fromUtf8("emoji 😀 and ☃"),
        QStringLiteral("#nullstring"),
        QStringLiteral(" leading and trailing "),
        QStringLiteral("line\r\nbreak\ttab"),
    };
    // Random texts over an alphabet of the troublesome characters.
    const QStringList alphabet = {QStringLiteral("'"),    QStringLiteral("$"), QStringLiteral("0"),
                                  QStringLiteral("2"),    QStringLiteral("4"), QStringLiteral("7"),
                                  QStringLiteral("F"),    QStringLiteral("a"), QStringLiteral("\\"),
                                  QStringLiteral(","),    QStringLiteral("="), QStringLiteral("("),
                                  QStringLiteral(")"),    QStringLiteral(" "), QString::fromUtf8("Ж"),
                                  QString::fromUtf8("😀"), QStringLiteral("#")};
    std::mt19937 random(20240229);
    for (int n = 0; n < 300; ++n) {
        QString text;
        const int length = static_cast<int>(random() % 12);
        for (int i = 0; i < length; ++i)
            text += alphabet[static_cast<int>(random() % alphabet.size())];
        samples.append(text);
    }

    for (const QString &text : samples) {
        const QString quoted = quoteArgument(text);
        ParsedCommand *parsed = nullptr;
        ASSERT_EQ(parseCommand(QStringLiteral("Echo(") + quoted + QLatin1Char(')'), &parsed), S_OK)
            << quoted.toStdString();
        EXPECT_EQ(parsed->members[0].argumentCount, 1);
        EXPECT_EQ(variantString(&parsed->members[0].arguments[19]), text);
        freeParsedCommand(parsed);

        EXPECT_EQ(getStringProperty(obj, QStringLiteral("Echo(") + quoted + QLatin1Char(')')), text);
        EXPECT_EQ(lastErrorCode(), S_OK);
        ASSERT_EQ(setProperty(obj, QStringLiteral("Name = ") + quoted), S_OK);
        EXPECT_EQ(getStringProperty(obj, QStringLiteral("Name")), text);
    }
    releaseObject(obj);
}

TEST(CommandParser, NameWithTwoNumbersParsesAsWithSpacesAround)
{
    // "Cells(r, c)" takes a short route; written with spaces around its numbers
    // it takes the general one: both must give the same slots.
    EXPECT_EQ(parseToText(QStringLiteral("Cells(12, 3)")), QStringLiteral("Cells[18:VT_I1 3, 19:VT_I1 12]"));
    const char *names[] = {"Cells", "cells", "A1", "x"};
    const char *numbers[] = {"0", "7", "007", "127", "128", "32767", "32768", "999999999", "1048576", "1234567890"};
    for (const char *name : names) {
        for (const char *row : numbers) {
            for (const char *column : numbers) {
                const QString n = QString::fromLatin1(name), r = QString::fromLatin1(row),
                              c = QString::fromLatin1(column);
                const QString general = parseToText(n + QStringLiteral("( ") + r + QStringLiteral(" , ") + c +
                                                    QStringLiteral(" )"));
                EXPECT_NE(general, kInvalid) << name << row << column;
                for (const QString &separator : {QStringLiteral(","), QStringLiteral(", "), QStringLiteral(",  ")})
                    EXPECT_EQ(parseToText(n + u'(' + r + separator + c + u')'), general) << name << row << column;
            }
        }
    }
    const Row rows[] = {
        {"Cells(1, 2) ", "Cells[18:VT_I1 2, 19:VT_I1 1]"},
        {"Cells(1, 2)\\Value", "Cells[18:VT_I1 2, 19:VT_I1 1] \\ Value"},
        {"Cells(1, -2)", "Cells[18:VT_I1 -2, 19:VT_I1 1]"},
        {"Cells(1, 2.5)", "Cells[18:VT_R8 2.5, 19:VT_I1 1]"},
        {"Cells(1,)", "0x80070057"},
        {"Cells(, 2)", "0x80070057"},
        {"Cells(1 2)", "0x80070057"},
        {"Cells(1, 2", "0x80070057"},
        {"Cells(1, 2))", "0x80070057"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, CellWriteParsesAsWithSpacesAround)
{
    // The export's cell write takes a short route; written with spaces
    // inside its argument list it takes the general one: both must give the
    // same slots, a text too long for the command's own room included.
    EXPECT_EQ(parseToText(QStringLiteral("Cells(12,3)\\Value = 'user42'")),
              QStringLiteral("Cells[18:VT_I1 3, 19:VT_I1 12] \\ Value[19:VT_BSTR user42]"));
    const QString values[] = {QString(), QStringLiteral("x"), QString::fromUtf8("Zo\u00eb \u0160\u0165astn\u00fd"),
                              QStringLiteral("a\\b,c=(d)"), QStringLiteral("it's"), QStringLiteral("$0041"),
                              QStringLiteral("  spaced  "), QString(300, u'w')};
    const char *numbers[] = {"1", "007", "128", "1048576", "999999999"};
    for (const QString &value : values) {
        for (const char *number : numbers) {
            const QString quoted = quoteArgument(value), n = QString::fromLatin1(number);
            const QString general =
                parseToText(QStringLiteral("Cells( ") + n + QStringLiteral(" , 2 )\\Value = ") + quoted);
            EXPECT_NE(general, kInvalid) << number;
            EXPECT_EQ(parseToText(QStringLiteral("Cells(") + n + QStringLiteral(",2)\\Value = ") + quoted), general)
                << number;
        }
    }
    const Row rows[] = {
        {"Cells(1,2)\\Value = 'x'y'", "0x80070057"},
        {"Cells(1,2)\\Value = 'x", "0x80070057"},
        {"Cells(1,2)\\Value = 'x' ", "Cells[18:VT_I1 2, 19:VT_I1 1] \\ Value[19:VT_BSTR x]"},
        {"Cells(1,2)\\Value = ", "0x80070057"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, TextCallParsesAsWithSpacesAround)
{
    // A bind's OpenDSObject takes a short route; written with spaces around
    // its arguments it takes the general one: both must give the same slots,
    // texts too long for the command's own room included.
    EXPECT_EQ(parseToText(QStringLiteral("OpenDSObject('LDAP://h/<GUID=1>', 'u', 'p', '513')")),
              QStringLiteral("OpenDSObject[16:VT_BSTR 513, 17:VT_BSTR p, 18:VT_BSTR u, 19:VT_BSTR LDAP://h/<GUID=1>]"));
    const QStringList argumentLists[] = {
        {QString()},
        {QStringLiteral("one")},
        {QStringLiteral("LDAP://dc1:389/<GUID=0BADF00D-0000-4000-8000-00000000BEEF>"), QStringLiteral("CN=Bind,DC=x"),
         QString::fromUtf8("P\u00e4ss (w) = ,x"), QStringLiteral("513")},
        {QString(200, u'a'), QString(200, u'b'), QString(200, u'c')},
        {QStringLiteral("it's"), QStringLiteral("$0041")},
        {"1", "2", "3", "4", "5", "6", "7", "8"},
        {"1", "2", "3", "4", "5", "6", "7", "8", "9"},
    };
    for (const QStringList &arguments : argumentLists) {
        QStringList quoted;
        for (const QString &a : arguments)
            quoted << quoteArgument(a);
        const QString general = parseToText(QStringLiteral("Open( ") + quoted.join(QStringLiteral(" , ")) + " )");
        EXPECT_NE(general, kInvalid) << arguments.join(u'|').toStdString();
        for (const char *comma : {",", ", "}) {
            EXPECT_EQ(parseToText(QStringLiteral("Open(") + quoted.join(QString::fromLatin1(comma)) + u')'), general)
                << arguments.join(u'|').toStdString();
        }
    }
    const Row rows[] = {
        {"Open('a',  'b')", "Open[18:VT_BSTR b, 19:VT_BSTR a]"},
        {"Open('a', 'b') ", "Open[18:VT_BSTR b, 19:VT_BSTR a]"},
        {"Open('a', 'b'", "0x80070057"},
        {"Open('a', 'b'))", "0x80070057"},
        {"Open('a' 'b')", "0x80070057"},
        {"Open('a', 2)", "Open[18:VT_I1 2, 19:VT_BSTR a]"},
    };
    expectRows(rows, std::size(rows));
}

TEST(CommandParser, ColumnFindParsesAsWithSpacesAround)
{
    // A workbook lookup takes a short route; written with spaces inside its
    // argument lists it takes the general one: both must give the same slots.
    EXPECT_EQ(parseToText(QStringLiteral("ActiveSheet\\Columns(3)\\Find('user42', #optional, #optional, 1)\\Row")),
              QStringLiteral("ActiveSheet \\ Columns[19:VT_I1 3] \\ Find[16:VT_I1 1, 17:VT_ERROR 0x80020004, "
                             "18:VT_ERROR 0x80020004, 19:VT_BSTR user42] \\ Row"));
    const char *values[] = {"", "x", "user0004711", "Zo\u00eb \u0160\u0165astn\u00fd", "a\\b,c=(d)", "it's", "$0041",
                            "#optional", "  spaced  "};
    const char *columns[] = {"1", "9", "127", "128", "16384", "0"};
    for (const char *value : values) {
        for (const char *column : columns) {
            const QString quoted = quoteArgument(QString::fromUtf8(value)), c = QString::fromLatin1(column);
            const QString general =
                parseToText(QStringLiteral("ActiveSheet\\Columns( ") + c + QStringLiteral(" )\\Find( ") + quoted +
                            QStringLiteral(" , #optional , #optional , 1 )\\Row"));
            EXPECT_NE(general, kInvalid) << value << column;
            EXPECT_EQ(parseToText(QStringLiteral("ActiveSheet\\Columns(") + c + QStringLiteral(")\\Find(") + quoted +
                                  QStringLiteral(", #optional, #optional, 1)\\Row")),
                      general)
                << value << column;
        }
    }
    const Row rows[] = {
        {"ActiveSheet\\Columns(3)\\Find('x', #optional, #optional, 1)\\Row ", nullptr},
        {"ActiveSheet\\Columns(3)\\Find('x', #optional, #optional, 1)", nullptr},
        {"ActiveSheet\\Columns(3)\\Find('x, #optional, #optional, 1)\\Row", "0x80070057"},
        {"ActiveSheet\\Columns()\\Find('x', #optional, #optional, 1)\\Row",
         "ActiveSheet \\ Columns \\ Find[16:VT_I1 1, 17:VT_ERROR 0x80020004, 18:VT_ERROR 0x80020004, 19:VT_BSTR x] "
         "\\ Row"},
    };
    for (const Row &row : rows) {
        const QString text = parseToText(QString::fromUtf8(row.command));
        if (row.expected) {
            EXPECT_EQ(text, QString::fromUtf8(row.expected)) << row.command;
        } else {
            EXPECT_NE(text, kInvalid) << row.command;
        }
    }
}
