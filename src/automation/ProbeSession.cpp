#include "automation/ProbeSession.h"

#include "automation/Invocation.h"
#include "automation/LastError.h"
#include "automation/PassedAddress.h"
#include "automation/VariantArrays.h"
#include "automation/com/Bstr.h"
#include "automation/com/Guid.h"
#include "automation/com/VariantChangeType.h"

#include <QRegularExpression>

namespace orvane
{

namespace
{

QString hex(HRESULT hr)
{
    return hresultHex(hr);
}

QString bytesHex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex());
}

// Splits "word rest..." at the first run of blanks.
void splitFirst(const QString &text, QString *first, QString *rest)
{
    const qsizetype blank = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (blank < 0) {
        *first = text;
        rest->clear();
        return;
    }
    *first = text.left(blank);
    *rest = text.mid(blank).trimmed();
}

} // namespace

ProbeSession::~ProbeSession()
{
    for (AutomationObject *obj : std::as_const(handles_))
        releaseObject(obj);
    for (VARIANT *v : std::as_const(variants_))
        freeVariant(v);
}

QString ProbeSession::quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += QLatin1String("\\\\");
            break;
        case u'"':
            out += QLatin1String("\\\"");
            break;
        case u'\r':
            out += QLatin1String("\\r");
            break;
        case u'\n':
            out += QLatin1String("\\n");
            break;
        case u'\t':
            out += QLatin1String("\\t");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString ProbeSession::lastErrorLine()
{
    const HRESULT code = lastErrorCode();
    return QStringLiteral("last %1 %2 %3").arg(code).arg(hex(code), quoted(lastErrorText()));
}

QString ProbeSession::addHandle(AutomationObject *obj)
{
    if (!obj)
        return QStringLiteral("null");
    const int n = nextHandle_++;
    handles_.insert(n, obj);
    return QStringLiteral("@%1").arg(n);
}

bool ProbeSession::resolveHandle(const QString &word, AutomationObject **obj, QString *error) const
{
    QString digits = word.startsWith(QLatin1Char('@')) ? word.mid(1) : word;
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || !handles_.contains(n)) {
        *error = QStringLiteral("error: no handle ") + (word.isEmpty() ? QStringLiteral("given") : word);
        return false;
    }
    *obj = handles_.value(n);
    return true;
}

bool ProbeSession::substituteReferences(const QString &command, QString *out, QString *error,
                                        std::vector<std::unique_ptr<PassedAddress>> *passed) const
{
    out->clear();
    bool inQuote = false;
    for (qsizetype i = 0; i < command.size(); ++i) {
        const QChar c = command[i];
        if (c == u'\'')
            inQuote = !inQuote;
        if (inQuote || c != u'@') {
            *out += c;
            continue;
        }
        const bool variant = i + 1 < command.size() && (command[i + 1] == u'v' || command[i + 1] == u'V');
        qsizetype j = i + (variant ? 2 : 1);
        const qsizetype start = j;
        while (j < command.size() && command[j].isDigit())
            ++j;
        const int n = command.mid(start, j - start).toInt();
        const QString ref = command.mid(i, j - i);
        if (j == start || (variant ? !variants_.contains(n) : !handles_.contains(n))) {
            *error = QStringLiteral("error: unknown reference ") + ref;
            return false;
        }
        if (variant) {
            passed->push_back(std::make_unique<PassedAddress>(variants_.value(n)));
            *out += passed->back()->text();
        } else {
            *out += handleNumber(handles_.value(n));
        }
        i = j - 1;
    }
    return true;
}

QString ProbeSession::describeVariant(const VARIANT &value)
{
    const QString type = varTypeName(value.vt);
    if (value.vt == (VT_ARRAY | VT_UI1)) {
        const std::optional<QByteArray> bytes = variantToBytes(&value);
        const QByteArray data = bytes.value_or(QByteArray());
        QString text = type + QStringLiteral(" [%1 bytes] %2").arg(data.size()).arg(bytesHex(data));
        if (data.size() == 16)
            text += QStringLiteral(" guid ") +
                    guidToString(guidFromBytes(reinterpret_cast<const std::uint8_t *>(data.constData())));
        return text;
    }
    if (value.vt & VT_ARRAY) {
        SAFEARRAY *array = variantArray(&value);
        QString text =
            type + QStringLiteral(" [%1..%2]").arg(arrayLowerBound(array)).arg(arrayUpperBound(array));
        if (array && array->vt == VT_VARIANT) {
            QStringList items;
            for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
                items.append(describeVariant(static_cast<const VARIANT *>(array->pvData)[i]));
            text += QStringLiteral(" {") + items.join(QStringLiteral(", ")) + QLatin1Char('}');
        } else if (array && array->vt == VT_BSTR) {
            QStringList items;
            for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
                items.append(quoted(qStringFromBstr(static_cast<BSTR *>(array->pvData)[i])));
            text += QStringLiteral(" {") + items.join(QStringLiteral(", ")) + QLatin1Char('}');
        }
        return text;
    }
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL:
        return type;
    case VT_BSTR:
        return type + QLatin1Char(' ') + quoted(qStringFromBstr(value.bstrVal));
    case VT_ERROR:
        return type + QLatin1Char(' ') + hex(value.scode);
    case VT_DISPATCH:
        if (value.pdispVal)
            value.pdispVal->AddRef();
        return type + QLatin1Char(' ') + addHandle(adoptDispatch(value.pdispVal));
    case VT_UNKNOWN:
        return type + (value.punkVal ? QStringLiteral(" (interface)") : QStringLiteral(" null"));
    default: {
        VARIANT text;
        VariantInit(&text);
        QString out = type;
        if (SUCCEEDED(VariantChangeType(&text, &value, VARIANT_LOCALBOOL, VT_BSTR)))
            out += QLatin1Char(' ') + qStringFromBstr(text.bstrVal);
        VariantClear(&text);
        return out;
    }
    }
}

QStringList ProbeSession::runEngineLine(const QString &verb, const QString &rest)
{
    if (verb == QLatin1String("create"))
        return {QStringLiteral("=> ") + addHandle(createObject(rest)), lastErrorLine()};
    if (verb == QLatin1String("get"))
        return {QStringLiteral("=> ") + addHandle(getObject(rest)), lastErrorLine()};

    QString handleWord, rawCommand, error, command;
    splitFirst(rest, &handleWord, &rawCommand);
    AutomationObject *obj = nullptr;
    if (!resolveHandle(handleWord, &obj, &error))
        return {error};
    if (verb == QLatin1String("release")) {
        releaseObject(obj);
        handles_.remove(handles_.key(obj));
        return {QStringLiteral("=> released ") + handleWord};
    }
    std::vector<std::unique_ptr<PassedAddress>> passed;
    if (!substituteReferences(rawCommand, &command, &error, &passed))
        return {error};
    QString result;
    if (verb == QLatin1String("invoke")) {
        result = hex(invoke(obj, command));
    } else if (verb == QLatin1String("set")) {
        result = hex(setProperty(obj, command));
    } else if (verb == QLatin1String("int")) {
        result = QString::number(getIntegerProperty(obj, command));
    } else if (verb == QLatin1String("str")) {
        result = quoted(getStringProperty(obj, command));
    } else if (verb == QLatin1String("object")) {
        result = addHandle(getObjectProperty(obj, command));
    } else { // variant
        VARIANT *value = getVariantProperty(obj, command);
        const QString last = lastErrorLine(); // before describing: that may make handles
        if (!value)
            return {QStringLiteral("=> null"), last};
        const int n = nextVariant_++;
        variants_.insert(n, value);
        return {QStringLiteral("=> @v%1 ").arg(n) + describeVariant(*value), last};
    }
    return {QStringLiteral("=> ") + result, lastErrorLine()};
}

QStringList ProbeSession::runLine(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
        return {};
    QString verb, rest;
    splitFirst(text, &verb, &rest);
    verb = verb.toLower();
    if (verb == QLatin1String("live"))
        return {QStringLiteral("=> %1").arg(liveObjectCount())};
    static const QStringList engineVerbs = {
        QStringLiteral("create"), QStringLiteral("get"),     QStringLiteral("release"),
        QStringLiteral("invoke"), QStringLiteral("set"),     QStringLiteral("int"),
        QStringLiteral("str"),    QStringLiteral("variant"), QStringLiteral("object")};
    if (!engineVerbs.contains(verb))
        return {QStringLiteral("error: unknown command ") + quoted(verb)};
    return runEngineLine(verb, rest);
}

QString ProbeSession::runScript(const QString &script)
{
    QString out;
    for (const QString &line : script.split(QLatin1Char('\n'))) {
        for (const QString &printed : runLine(line))
            out += printed + QLatin1Char('\n');
    }
    return out;
}

} // namespace orvane
