#include "directory/ldap/DirectoryPaths.h"

#include "automation/com/Guid.h"

namespace orvane
{

namespace
{

// Reads `count` hexadecimal digits of `text` from `pos` as bytes in order.
bool readHexBytes(QStringView text, qsizetype pos, int count, std::uint8_t *out)
{
    for (int i = 0; i < count; ++i) {
        const int hi = hexDigitValue(text[pos + 2 * i]);
        const int lo = hexDigitValue(text[pos + 2 * i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
    return true;
}

bool guidViewToBytes(QStringView text, std::array<std::uint8_t, 16> *bytes)
{
    QStringView t = text;
    if (t.startsWith(u'{') && t.endsWith(u'}'))
        t = t.mid(1, t.size() - 2);
    if (t.size() != 36 || t[8] != u'-' || t[13] != u'-' || t[18] != u'-' || t[23] != u'-')
        return false;
    std::uint8_t d1[4], d2[2], d3[2], d4[8];
    if (!readHexBytes(t, 0, 4, d1) || !readHexBytes(t, 9, 2, d2) || !readHexBytes(t, 14, 2, d3) ||
        !readHexBytes(t, 19, 2, d4) || !readHexBytes(t, 24, 6, d4 + 2))
        return false;
    // Data1..Data3 are stored little-endian, Data4 as written.
    std::array<std::uint8_t, 16> out{d1[3], d1[2], d1[1], d1[0], d2[1], d2[0], d3[1], d3[0]};
    for (int i = 0; i < 8; ++i)
        out[8 + i] = d4[i];
    *bytes = out;
    return true;
}

bool parseGuidValue(QStringView value, std::array<std::uint8_t, 16> *bytes)
{
    if (value.size() == 32) // storage order, as ADSI also accepts
        return readHexBytes(value, 0, 16, bytes->data());
    return guidViewToBytes(value, bytes);
}

// Read in place: a bind of every listed user parses a path each time.
bool parseHostPort(QStringView text, DirectoryPath *path)
{
    QStringView host = text;
    int port = kLdapPort;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon >= 0 && !text.endsWith(u']')) {
        bool ok = false;
        port = text.mid(colon + 1).toInt(&ok);
        if (!ok || port <= 0 || port > 65535)
            return false;
        host = text.left(colon);
    }
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    if (host.isEmpty())
        return false;
    path->host = host.toString();
    path->port = port;
    return true;
}

// Length of the filter at the start of `text`: up to the first ';' when it
// does not start with '(', else through the parenthesis closing the first one
// (escaped characters skipped). -1 when the parentheses never balance.
int filterLength(const QString &text)
{
    int i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (i == text.size() || text[i] != QLatin1Char('('))
        return text.indexOf(QLatin1Char(';'));
    int depth = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\')) {
            ++i;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && --depth == 0) {
            ++i;
            while (i < text.size() && text[i].isSpace())
                ++i;
            return i;
        }
    }
    return -1;
}

} // namespace

bool guidTextToBytes(const QString &text, std::array<std::uint8_t, 16> *bytes)
{
    return guidViewToBytes(text, bytes);
}

QString filterEscapeBytes(const std::uint8_t *bytes, int length)
{
    static const char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(length * 3);
    for (int i = 0; i < length; ++i) {
        out += QLatin1Char('\\');
        out += QLatin1Char(digits[bytes[i] >> 4]);
        out += QLatin1Char(digits[bytes[i] & 0xF]);
    }
    return out;
}

bool parseDirectoryPath(const QString &text, DirectoryPath *path)
{
    const QStringView t = QStringView(text).trimmed();
    if (!t.startsWith(u"LDAP:", Qt::CaseInsensitive))
        return false;
    DirectoryPath result;
    QStringView rest = t.mid(5);
    if (rest.isEmpty()) {
        *path = std::move(result);
        return true;
    }
    if (!rest.startsWith(u"//"))
        return false;
    rest = rest.mid(2);
    const qsizetype slash = rest.indexOf(u'/');
    if (!parseHostPort(slash < 0 ? rest : rest.left(slash), &result))
        return false;
    const QStringView object = slash < 0 ? QStringView() : rest.mid(slash + 1).trimmed();
    if (object.startsWith(u"<GUID=", Qt::CaseInsensitive)) {
        if (!object.endsWith(u'>') || !parseGuidValue(object.mid(6, object.size() - 7), &result.guid))
            return false;
        result.byGuid = true;
    } else {
        result.dn = object.toString();
    }
    *path = std::move(result);
    return true;
}

bool parseQueryText(const QString &text, QueryText *query)
{
    const QString t = text.trimmed();
    if (!t.startsWith(QLatin1Char('<')))
        return false;
    const int close = t.indexOf(QLatin1String(">;"));
    if (close < 0)
        return false;
    QueryText result;
    if (!parseDirectoryPath(t.mid(1, close - 1), &result.path) || result.path.host.isEmpty() ||
        result.path.byGuid)
        return false;
    // The filter runs to the ';' after its balanced parentheses, so that a
    // ';' inside an assertion value does not end it.
    const QString rest = t.mid(close + 2);
    const int filterEnd = filterLength(rest);
    if (filterEnd < 0 || filterEnd >= rest.size() || rest[filterEnd] != QLatin1Char(';'))
        return false;
    result.filter = rest.left(filterEnd).trimmed();
    const QStringList parts = rest.mid(filterEnd + 1).split(QLatin1Char(';'));
    if (parts.size() > 2)
        return false;
    if (result.filter.isEmpty())
        result.filter = QStringLiteral("(objectClass=*)");
    for (const QString &a : parts[0].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = a.trimmed();
        if (!name.isEmpty())
            result.attributes << name;
    }
    if (parts.size() == 2) {
        const QString scope = parts[1].trimmed().toLower();
        result.scopeGiven = !scope.isEmpty();
        if (scope == QLatin1String("base"))
            result.scope = SearchScope::Base;
        else if (scope == QLatin1String("onelevel"))
            result.scope = SearchScope::OneLevel;
        else if (scope == QLatin1String("subtree") || scope.isEmpty())
            result.scope = SearchScope::Subtree;
        else
            return false;
    }
    *query = result;
    return true;
}

} // namespace orvane
