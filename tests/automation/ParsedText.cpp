#include "ParsedText.h"

#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"

namespace orvane::test
{

namespace
{

QString slotText(const VARIANT &v)
{
    QString text = varTypeName(v.vt);
    if (v.vt == VT_ERROR)
        return text + QLatin1Char(' ') + hresultHex(v.scode);
    if (v.vt & VT_BYREF)
        return text + QStringLiteral(" @%1").arg(reinterpret_cast<quintptr>(v.byref));
    if (v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN)
        return text + QStringLiteral(" @%1").arg(reinterpret_cast<quintptr>(v.punkVal));
    VARIANT s;
    VariantInit(&s);
    if (SUCCEEDED(VariantChangeType(&s, &v, VARIANT_LOCALBOOL, VT_BSTR)))
        text += QLatin1Char(' ') + qStringFromBstr(s.bstrVal);
    VariantClear(&s);
    return text;
}

} // namespace

QString describeParsed(const ParsedCommand &parsed)
{
    QStringList members;
    for (int i = 0; i < parsed.memberCount; ++i) {
        const ParsedMember &m = parsed.members[i];
        QString text = qStringFromBstr(m.name);
        if (m.argumentCount > 0) {
            QStringList slotTexts;
            for (int slot = kMaxArguments - m.argumentCount; slot < kMaxArguments; ++slot)
                slotTexts.append(QStringLiteral("%1:").arg(slot) + slotText(m.arguments[slot]));
            text += QLatin1Char('[') + slotTexts.join(QStringLiteral(", ")) + QLatin1Char(']');
        }
        members.append(text);
    }
    return members.join(QStringLiteral(" \\ "));
}

QString parseToText(const QString &command)
{
    ParsedCommand *parsed = nullptr;
    const HRESULT hr = parseCommand(command, &parsed);
    if (FAILED(hr))
        return hresultHex(hr);
    const QString text = describeParsed(*parsed);
    freeParsedCommand(parsed);
    return text;
}

} // namespace orvane::test
