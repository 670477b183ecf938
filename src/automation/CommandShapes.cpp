#include "automation/CommandShapes.h"

#include "automation/CommandTokens.h"
#include "automation/com/Bstr.h"

#include <cstring>

namespace orvane
{

namespace
{

// The commands sent once for every row or user (a cell read or write, a
// column Find, a bind) differ in their numbers and texts from call to call,
// so no kept parse serves them; each shape is read in one pass into exactly
// the slots the general parse gives.

bool isAsciiLetter(char16_t c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isAsciiDigit(char16_t c)
{
    return c >= '0' && c <= '9';
}

// "Name(n, n)" (a name of ASCII letters and digits, two numbers of up to nine
// digits, at most one space after the comma): the shape of a row's cell
// reads, which differ from row to row so that no kept parse serves them.
// Parsed in one pass into exactly the slots the general parse gives; false,
// with nothing set, for any other text.
bool parseTwoNumberCall(const QString &command, ParsedCommand *parsed)
{
    const auto *c = reinterpret_cast<const char16_t *>(command.utf16());
    const qsizetype n = command.size();
    if (n == 0 || !isAsciiLetter(c[0]))
        return false;
    qsizetype i = 1;
    while (i < n && (isAsciiLetter(c[i]) || isAsciiDigit(c[i])))
        ++i;
    const qsizetype nameEnd = i;
    if (i >= n || c[i] != u'(')
        return false;
    ++i;
    QStringView numbers[2];
    for (int a = 0; a < 2; ++a) {
        const qsizetype start = i;
        while (i < n && isAsciiDigit(c[i]))
            ++i;
        if (i == start || i - start > 9 || i >= n)
            return false;
        numbers[a] = QStringView(c + start, i - start);
        if (a == 0) {
            if (c[i] != u',')
                return false;
            ++i;
            if (i < n && c[i] == u' ')
                ++i;
        }
    }
    if (i != n - 1 || c[i] != u')')
        return false;
    const std::optional<VARIANT> first = parseNumber(numbers[0]);
    const std::optional<VARIANT> second = parseNumber(numbers[1]);
    if (!first || !second)
        return false;
    BSTR name = commandString(parsed, QStringView(c, nameEnd));
    if (!name)
        return false;
    ParsedMember &member = parsed->members[0];
    member.name = name;
    member.argumentCount = 2;
    member.arguments[kMaxArguments - 1] = *first;
    member.arguments[kMaxArguments - 2] = *second;
    parsed->memberCount = 1;
    return true;
}

// Whether `text` at `*at` continues with `literal` (ASCII); moves past it when so.
bool skipLiteral(QStringView text, qsizetype *at, const char *literal)
{
    const qsizetype length = static_cast<qsizetype>(std::strlen(literal));
    if (text.size() - *at < length)
        return false;
    for (qsizetype i = 0; i < length; ++i) {
        if (text[*at + i].unicode() != static_cast<unsigned char>(literal[i]))
            return false;
    }
    *at += length;
    return true;
}

// The run of one to nine ASCII digits at `*at` (moved past it); empty when
// there is none or it is longer: every such number fits the parse's integer.
QStringView takeDigits(QStringView text, qsizetype *at)
{
    const qsizetype start = *at;
    while (*at < text.size() && isAsciiDigit(text[*at].unicode()))
        ++*at;
    if (*at == start || *at - start > 9)
        return {};
    return text.mid(start, *at - start);
}

// The text at `*at` up to the next "'" or "$" (moved up to it): a quoted
// argument with nothing to decode, when a "'" follows.
QStringView takePlainText(QStringView text, qsizetype *at)
{
    const qsizetype start = *at;
    while (*at < text.size() && text[*at] != u'\'' && text[*at] != u'$')
        ++*at;
    return text.mid(start, *at - start);
}

// "ActiveSheet\Columns(n)\Find('text', #optional, #optional, 1)\Row" exactly so
// written, with a text holding no "'" or "$" (nothing to decode): the lookup of
// one user's value in a workbook column, a different text for every user.
// Parsed in one pass into exactly the slots the general parse gives; false,
// with nothing set, for any other text.
bool parseColumnFind(const QString &command, ParsedCommand *parsed)
{
    const QStringView text(command);
    qsizetype at = 0;
    if (!skipLiteral(text, &at, "ActiveSheet\\Columns("))
        return false;
    const QStringView column = takeDigits(text, &at);
    if (column.isEmpty() || !skipLiteral(text, &at, ")\\Find('"))
        return false;
    const QStringView value = takePlainText(text, &at);
    if (!skipLiteral(text, &at, "', #optional, #optional, 1)\\Row") || at != text.size())
        return false;
    const std::optional<VARIANT> columnNumber = parseNumber(column);
    const std::optional<VARIANT> lookAt = parseNumber(u"1");
    if (!columnNumber || !lookAt)
        return false;
    // Names and the text in the order the general parse lays them out.
    BSTR names[3];
    if (!(names[0] = commandString(parsed, u"ActiveSheet")) || !(names[1] = commandString(parsed, u"Columns")) ||
        !(names[2] = commandString(parsed, u"Find"))) {
        parsed->inlineTextUsed = 0;
        return false;
    }
    BSTR what = commandString(parsed, value);
    BSTR row = what ? commandString(parsed, u"Row") : nullptr;
    if (!row) {
        if (what && !isInlineText(*parsed, what))
            SysFreeString(what);
        parsed->inlineTextUsed = 0;
        return false;
    }
    ParsedMember *m = parsed->members;
    m[0].name = names[0];
    m[0].argumentCount = 0;
    m[1].name = names[1];
    m[1].argumentCount = 1;
    m[1].arguments[kMaxArguments - 1] = *columnNumber;
    m[2].name = names[2];
    m[2].argumentCount = 4;
    VARIANT *findArguments = m[2].arguments;
    VariantInit(&findArguments[kMaxArguments - 1]);
    findArguments[kMaxArguments - 1].vt = VT_BSTR;
    findArguments[kMaxArguments - 1].bstrVal = what;
    for (int i = 2; i <= 3; ++i) {
        VariantInit(&findArguments[kMaxArguments - i]);
        findArguments[kMaxArguments - i].vt = VT_ERROR;
        findArguments[kMaxArguments - i].scode = DISP_E_PARAMNOTFOUND;
    }
    findArguments[kMaxArguments - 4] = *lookAt;
    m[3].name = row;
    m[3].argumentCount = 0;
    parsed->memberCount = 4;
    return true;
}

// "Cells(r,c)\Value = 'text'" exactly so written (numbers of up to nine
// digits, no blank after the comma), with a text holding no "'" or "$"
// (nothing to decode): the export's write of one cell, a different text for
// every cell. Parsed in one pass into exactly the slots the general parse
// gives; false, with nothing set, for any other text.
bool parseCellWrite(const QString &command, ParsedCommand *parsed)
{
    const QStringView text(command);
    qsizetype at = 0;
    if (!skipLiteral(text, &at, "Cells("))
        return false;
    QStringView numbers[2];
    for (int a = 0; a < 2; ++a) {
        numbers[a] = takeDigits(text, &at);
        if (numbers[a].isEmpty() || !skipLiteral(text, &at, a == 0 ? "," : ")\\Value = '"))
            return false;
    }
    const QStringView value = takePlainText(text, &at);
    if (at != text.size() - 1 || text[at] != u'\'')
        return false;
    const std::optional<VARIANT> row = parseNumber(numbers[0]);
    const std::optional<VARIANT> column = parseNumber(numbers[1]);
    if (!row || !column)
        return false;
    // Names and the text in the order the general parse lays them out.
    BSTR cells = commandString(parsed, u"Cells");
    BSTR valueName = cells ? commandString(parsed, u"Value") : nullptr;
    BSTR written = valueName ? commandString(parsed, value) : nullptr;
    if (!written) {
        parsed->inlineTextUsed = 0; // the names always fit the room
        return false;
    }
    ParsedMember *m = parsed->members;
    m[0].name = cells;
    m[0].argumentCount = 2;
    m[0].arguments[kMaxArguments - 1] = *row;
    m[0].arguments[kMaxArguments - 2] = *column;
    m[1].name = valueName;
    m[1].argumentCount = 1;
    VARIANT &put = m[1].arguments[kMaxArguments - 1];
    VariantInit(&put);
    put.vt = VT_BSTR;
    put.bstrVal = written;
    parsed->memberCount = 2;
    return true;
}

// "Name('text', 'text', ...)" (a name of ASCII letters and digits, one to
// eight quoted texts holding no "'" or "$", at most one space after each
// comma): the shape of a bind's OpenDSObject, a different path for every
// bound user. Parsed in one pass into exactly the slots the general parse
// gives; false, with nothing set, for any other text.
bool parseTextCall(const QString &command, ParsedCommand *parsed)
{
    constexpr int kMostTexts = 8;
    const QStringView text(command);
    const qsizetype n = text.size();
    if (n == 0 || !isAsciiLetter(text[0].unicode()))
        return false;
    qsizetype at = 1;
    while (at < n && (isAsciiLetter(text[at].unicode()) || isAsciiDigit(text[at].unicode())))
        ++at;
    const QStringView name = text.left(at);
    if (!skipLiteral(text, &at, "('"))
        return false;
    QStringView texts[kMostTexts];
    int count = 0;
    for (;;) {
        if (count == kMostTexts)
            return false;
        texts[count++] = takePlainText(text, &at);
        if (skipLiteral(text, &at, "')"))
            break;
        if (!skipLiteral(text, &at, "',"))
            return false;
        if (at < n && text[at] == u' ')
            ++at;
        if (!skipLiteral(text, &at, "'"))
            return false;
    }
    if (at != n)
        return false;
    // The name and the texts in the order the general parse lays them out.
    BSTR strings[1 + kMostTexts];
    for (int i = 0; i <= count; ++i) {
        strings[i] = commandString(parsed, i == 0 ? name : texts[i - 1]);
        if (!strings[i]) {
            for (int j = 0; j < i; ++j) {
                if (!isInlineText(*parsed, strings[j]))
                    SysFreeString(strings[j]);
            }
            parsed->inlineTextUsed = 0;
            return false;
        }
    }
    ParsedMember &member = parsed->members[0];
    member.name = strings[0];
    member.argumentCount = count;
    for (int i = 0; i < count; ++i) {
        VARIANT &argument = member.arguments[kMaxArguments - 1 - i];
        VariantInit(&argument);
        argument.vt = VT_BSTR;
        argument.bstrVal = strings[1 + i];
    }
    parsed->memberCount = 1;
    return true;
}

} // namespace

bool parseCommandShape(const QString &command, ParsedCommand *parsed)
{
    return parseTwoNumberCall(command, parsed) || parseColumnFind(command, parsed) ||
           parseCellWrite(command, parsed) || parseTextCall(command, parsed);
}

} // namespace orvane
