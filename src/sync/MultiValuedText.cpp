#include "sync/MultiValuedText.h"

namespace orvane
{

QStringList splitMultiValued(const QString &text, const QString &delimiter, EmptyParts empty)
{
    const bool keep = empty == EmptyParts::Keep;
    if (delimiter.isEmpty())
        return keep || !text.isEmpty() ? QStringList{text} : QStringList();
    return text.split(delimiter, keep ? Qt::KeepEmptyParts : Qt::SkipEmptyParts, Qt::CaseSensitive);
}

QString joinMultiValued(const QStringList &values, const QString &delimiter)
{
    QString joined;
    for (const QString &value : values) {
        joined += value;
        joined += delimiter;
    }
    if (delimiter.isEmpty())
        return joined;
    while (joined.endsWith(delimiter))
        joined.chop(delimiter.size());
    return joined;
}

QStringList valuesToWrite(const QString &text, int multivalued, const QString &delimiter)
{
    if (multivalued == 1)
        return splitMultiValued(text, delimiter, EmptyParts::Drop);
    return text.isEmpty() ? QStringList() : QStringList{text};
}

} // namespace orvane
