#include "directory/ObjectBinding.h"

#include "automation/CommandEngine.h"
#include "automation/com/Guid.h"
#include "automation/com/OpenAhead.h"
#include "automation/com/VariantChangeType.h"
#include "directory/CommandTrace.h"
#include "store/AttributeCatalogue.h"
#include "sync/MultiValuedText.h"

namespace orvane
{

namespace
{

const QString kReloadTitle = QStringLiteral("Reload object error");

bool isUpperHex(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

// The parts of the OpenDSObject call that are the same for every object
// bound with one connection's stored credentials, kept for the last
// connection the thread bound with: a Find binds every listed user.
struct OpenCommandParts {
    QString server, user, password;
    bool spaced = false;
    QString head;      ///< "OpenDSObject('LDAP://server/<GUID="
    QString tail;      ///< ">', 'user', 'password', '513')"
    QString shownTail; ///< the tail with the password as '***'
};

const OpenCommandParts &openCommandParts(const DirectoryConnection &connection, bool spaced)
{
    thread_local OpenCommandParts parts;
    if (!parts.head.isEmpty() && parts.spaced == spaced && parts.server == connection.serverAddress &&
        parts.user == connection.userName && parts.password == connection.password)
        return parts;
    parts = {connection.serverAddress, connection.userName, connection.password, spaced, {}, {}, {}};
    const QString comma = spaced ? QStringLiteral(", ") : QStringLiteral(",");
    // Quoting escapes character by character and a GUID text has nothing to
    // escape, so the quoted path is its quoted halves around the GUID.
    const QString before = quoteArgument(objectPath(connection.serverAddress, QString()).chopped(1));
    const QString after = quoteArgument(QStringLiteral(">")).mid(1) + comma + quoteArgument(connection.userName) + comma;
    parts.head = QStringLiteral("OpenDSObject(") + before.chopped(1);
    parts.tail = after + quoteArgument(connection.password) + comma + QStringLiteral("'513')");
    parts.shownTail = after + QStringLiteral("'***'") + comma + QStringLiteral("'513')");
    return parts;
}

} // namespace

bool isGuidText(const QString &guid)
{
    // "^[A-Z0-9]{8}-[A-Z0-9]{4}-[A-Z0-9]{4}-[A-Z0-9]{4}-[A-Z0-9]{12}$", case-sensitive.
    if (guid.size() != 36)
        return false;
    for (int i = 0; i < 36; ++i) {
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? guid[i] != QLatin1Char('-') : !isUpperHex(guid[i]))
            return false;
    }
    return true;
}

QString objectPath(const QString &serverAddress, const QString &guid)
{
    return QStringLiteral("LDAP://") + serverAddress + QStringLiteral("/<GUID=") + guid + QLatin1Char('>');
}

void BoundObject::reset()
{
    releaseObject(object_);
    releaseObject(namespace_);
    object_ = namespace_ = nullptr;
}

void BoundObject::adopt(AutomationObject *object, AutomationObject *namespaceObject)
{
    reset();
    object_ = object;
    namespace_ = namespaceObject;
}

BindResult BindObject(const DirectoryConnection &connection, const QString &guid, BoundObject *out,
                      DirectoryFailure *failure, bool spacedArguments)
{
    out->reset();
    DirectoryFailure cause;
    const auto finish = [&](BindResult result) {
        if (failure)
            *failure = cause;
        return result;
    };
    if (!isGuidText(guid)) {
        cause.code = E_INVALIDARG;
        cause.engineText = QStringLiteral("Not a GUID text: ") + guid;
        return finish(BindResult::Silent);
    }
    beginDirectoryOperation();
    AutomationObject *ns = getObject(QStringLiteral("LDAP:"));
    if (!ns) {
        cause = captureFailure(QStringLiteral("LDAP:"));
        return finish(BindResult::Silent);
    }
    AutomationObject *object = nullptr;
    QString shown;
    if (connection.useCurrentCredentials == 0) {
        const OpenCommandParts &parts = openCommandParts(connection, spacedArguments);
        object = getObjectProperty(ns, parts.head + guid + parts.tail);
        if (commandsTraced() || lastErrorCode() != 0)
            shown = parts.head + guid + parts.shownTail;
        traceCommand(shown);
    } else if (connection.useCurrentCredentials == 1) {
        shown = objectPath(connection.serverAddress, guid);
        object = getObject(shown);
    }
    if (lastErrorCode() != 0) {
        cause = captureFailure(shown);
        releaseObject(object);
        releaseObject(ns);
        return finish(BindResult::OpenFailed);
    }
    if (!object) {
        releaseObject(ns);
        return finish(BindResult::Silent);
    }
    out->adopt(object, ns);
    return finish(BindResult::Bound);
}

void AnnounceBind(const DirectoryConnection &connection, const QString &guid, const QStringList &attributes)
{
    if (!isGuidText(guid) || (connection.useCurrentCredentials != 0 && connection.useCurrentCredentials != 1))
        return;
    AutomationObject *ns = getObject(QStringLiteral("LDAP:"));
    IOpenAhead *ahead = nullptr;
    if (ns && SUCCEEDED(ns->dispatch->QueryInterface(IID_IOpenAhead, reinterpret_cast<void **>(&ahead))) && ahead) {
        const QString path = objectPath(connection.serverAddress, guid);
        const bool stored = connection.useCurrentCredentials == 0;
        const auto text = [](const QString &s) { return reinterpret_cast<LPCOLESTR>(s.utf16()); };
        const QString names = attributes.join(u',');
        ahead->OpenAhead(text(path), stored ? text(connection.userName) : nullptr,
                         stored ? text(connection.password) : nullptr,
                         attributes.isEmpty() ? nullptr : text(names));
        ahead->Release();
    }
    releaseObject(ns);
}

bool BindForReport(const DirectoryConnection &connection, const QString &guid, const QString &title,
                   BoundObject *out, DirectoryReport *report)
{
    const BindResult bind = BindObject(connection, guid, out, &report->failure);
    if (bind == BindResult::OpenFailed)
        report->messages.append(
            failureMessage(title,
                           codeText(report->failure.code) +
                               QStringLiteral(" COM method error occurred while trying to open AD object."),
                           report->failure));
    if (bind != BindResult::Bound)
        return false;
    report->failure = {};
    return true;
}

QString FormatObjectGuid(const VARIANT *value)
{
    const std::optional<QByteArray> bytes = variantToBytes(value);
    if (!bytes || bytes->size() != 16)
        return QString();
    const GUID guid = guidFromBytes(reinterpret_cast<const std::uint8_t *>(bytes->constData()));
    const QString braced = guidToString(guid);
    return braced.mid(1, braced.size() - 2).toUpper();
}

QString variantText(const VARIANT *variant, const QString &delimiter)
{
    if (!variant || variant->vt == VT_NULL || variant->vt == VT_EMPTY)
        return QString();
    if (const std::optional<QStringList> texts = variantArrayTexts(variant))
        return joinMultiValued(*texts, delimiter);
    if (variant->vt == VT_BSTR)
        return variantString(variant);
    VARIANT text;
    VariantInit(&text);
    QString result;
    // Booleans as "True"/"False", the text a search's field gives, so that a
    // reloaded boolean never compares as changed.
    if (VariantChangeType(&text, variant, VARIANT_LOCALBOOL, VT_BSTR) == S_OK)
        result = variantString(&text);
    VariantClear(&text);
    return result;
}

QString JoinValues(AutomationObject *field, const QString &delimiter)
{
    // A server that holds the values as texts hands them over joined.
    static const QString valueCommand = QStringLiteral("value");
    QString joined;
    if (getJoinedTexts(field, valueCommand, delimiter, &joined))
        return joined;
    VARIANT *value = getVariantProperty(field, QStringLiteral("value"));
    joined = variantText(value, delimiter);
    freeVariant(value);
    return joined;
}

QString readValueText(AutomationObject *object, const QString &command, const QString &delimiter)
{
    VARIANT *value = getVariantProperty(object, command);
    const QString text = variantText(value, delimiter);
    freeVariant(value);
    return text;
}

QString readFieldText(AutomationObject *recordSet, const QString &command, const QString &delimiter)
{
    const QString text = getStringProperty(recordSet, command);
    return lastErrorCode() == 0 ? text : readValueText(recordSet, command, delimiter);
}

int ReadAccountDisabled(const DirectoryConnection &connection, const QString &guid, DirectoryFailure *failure)
{
    BoundObject bound;
    DirectoryFailure cause;
    int disabled = 0;
    if (BindObject(connection, guid, &bound, &cause, true) == BindResult::Bound) {
        const qint64 flag = getIntegerProperty(bound.object(), QStringLiteral("AccountDisabled"));
        if (lastErrorCode() != 0)
            cause = captureFailure(QStringLiteral("AccountDisabled"));
        else if (flag == -1)
            disabled = 1;
    }
    if (failure)
        *failure = cause;
    return disabled;
}

DirectoryReport ReloadObject(const DirectoryConnection &connection, Database &db, const QString &guid,
                             ObjectTable *table, int index, const QString &delimiter)
{
    DirectoryReport report;
    if (!table || index < 0 || index >= table->size())
        return report;
    BoundObject bound;
    if (!BindForReport(connection, guid, kReloadTitle, &bound, &report))
        return report;
    ObjectEntry &entry = (*table)[index];
    for (const CatalogueAttribute &a : loadCatalogue(db)) {
        if (a.multivalued != 0 && a.multivalued != 1)
            continue;
        // Both kinds read through one VARIANT: a single value the schema
        // keeps multi-valued arrives as an array and reads joined.
        const QString text = readValueText(bound.object(), a.attribute, delimiter);
        if (lastErrorCode() != 0) {
            const DirectoryFailure failure = captureFailure(a.attribute);
            if (!report.failure.failed())
                report.failure = failure;
            report.messages.append(failureMessage(
                kReloadTitle,
                codeText(failure.code) +
                    QStringLiteral(" COM method error occurred while trying to read from AD object."),
                failure));
        }
        entry.values.insert(a.attribute, text);
    }
    report.result = 1;
    return report;
}

} // namespace orvane
