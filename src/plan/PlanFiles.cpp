#include "plan/PlanFiles.h"

#include "directory/AttributeWriting.h"
#include "directory/ObjectBinding.h"
#include "sync/MultiValuedText.h"

#include <QSaveFile>

namespace orvane
{

namespace
{

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    return u'"' + QString(text).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// RFC 2849: a SAFE-STRING is plain ASCII without NUL, CR, LF, not starting with space, ":" or "<" and not
// ending in a space.
bool ldifSafe(const QString &value)
{
    if (value.isEmpty())
        return true;
    if (value.front() == u' ' || value.front() == u':' || value.front() == u'<' || value.back() == u' ')
        return false;
    for (QChar c : value)
        if (c.unicode() == 0 || c == u'\r' || c == u'\n' || c.unicode() > 127)
            return false;
    return true;
}

QString ldifLine(const QString &attribute, const QString &value)
{
    if (ldifSafe(value))
        return attribute + QStringLiteral(": ") + value + u'\n';
    return attribute + QStringLiteral(":: ") + QString::fromLatin1(value.toUtf8().toBase64()) + u'\n';
}

} // namespace

QString planCsv(const QList<PlannedChange> &changes)
{
    QString out =
        QStringLiteral("GUID,cn,sAMAccountName,attribute,directory value,prepared value,source file,"
                       "source row,why\r\n");
    for (const PlannedChange &c : changes) {
        const QStringList fields{c.guid,
                                 c.cn,
                                 c.sAMAccountName,
                                 c.attribute,
                                 c.directoryValue,
                                 c.preparedValue,
                                 c.sourceFile,
                                 QString::number(c.sourceRow),
                                 c.why.join(QStringLiteral("; "))};
        QStringList quoted;
        for (const QString &f : fields)
            quoted << csvField(f);
        out += quoted.join(u',') + QStringLiteral("\r\n");
    }
    return out;
}

QString planLdif(const QList<PlannedChange> &changes, const QMap<QString, QString> &dnByGuid,
                 const QString &delimiter)
{
    QString out;
    QString currentGuid;
    for (const PlannedChange &c : changes) {
        if (!dnByGuid.contains(c.guid))
            continue;
        if (c.guid != currentGuid) {
            if (!currentGuid.isEmpty())
                out += u'\n';
            currentGuid = c.guid;
            out += ldifLine(QStringLiteral("dn"), dnByGuid.value(c.guid));
            out += QStringLiteral("changetype: modify\n");
        }
        out += QStringLiteral("replace: ") + c.attribute + u'\n';
        for (const QString &v : valuesToWrite(c.preparedValue, c.multivalued, delimiter))
            out += ldifLine(c.attribute, v);
        out += QStringLiteral("-\n");
    }
    return out;
}

QMap<QString, QString> distinguishedNames(const DirectoryConnection &connection, const QStringList &guids)
{
    QMap<QString, QString> dns;
    for (const QString &guid : guids) {
        BoundObject bound;
        if (BindObject(connection, guid, &bound) != BindResult::Bound)
            continue;
        const QString dn = readValueText(bound.object(), QStringLiteral("distinguishedName"), QString());
        if (!dn.isEmpty())
            dns.insert(guid, dn);
    }
    return dns;
}

bool savePlanText(const QString &path, const QString &text, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write ") + path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}

} // namespace orvane
