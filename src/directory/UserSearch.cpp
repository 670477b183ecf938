#include "directory/UserSearch.h"

#include "automation/CommandEngine.h"
#include "automation/RecordColumnReads.h"
#include "automation/VariantArrays.h"
#include "automation/com/Bstr.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"
#include "store/AttributeCatalogue.h"
#include "store/Database.h"

namespace orvane
{

namespace
{

QString fieldValue(const QString &attribute)
{
    return QStringLiteral("Fields(") + quoteArgument(attribute) + QStringLiteral(")\\Value");
}

QString optionAttribute(Database &db, const char *option)
{
    db.query(QStringLiteral("SELECT attributes.attribute FROM options, attributes WHERE options.val = "
                            "attributes.id AND options.fld = '%1'")
                 .arg(QLatin1String(option)));
    return db.next_row() == 1 ? db.get_text(0) : QString();
}

} // namespace

QString adoQueryText(const QString &serverAddress, const QString &baseDn, const QString &filter,
                     const QString &attributes)
{
    return QStringLiteral("<LDAP://") + serverAddress + QLatin1Char('/') + baseDn + QStringLiteral(">;") +
           filter + QLatin1Char(';') + attributes + QStringLiteral(";subtree");
}

QString escapeFilterValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '*':
            out += QLatin1String("\\2a");
            break;
        case '(':
            out += QLatin1String("\\28");
            break;
        case ')':
            out += QLatin1String("\\29");
            break;
        case '\\':
            out += QLatin1String("\\5c");
            break;
        case 0:
            out += QLatin1String("\\00");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString userListFilter(const QString &pickAttribute, const QString &prefix)
{
    return QStringLiteral("(&(objectCategory=person)(objectClass=user)(") + pickAttribute + QLatin1Char('=') +
           escapeFilterValue(prefix) + QStringLiteral("*))");
}

AdoSearch::~AdoSearch()
{
    close();
}

bool AdoSearch::open(const DirectoryConnection &connection, const QString &queryText, int pageSize,
                     bool sendSearchScope)
{
    close();
    failure_ = {};
    beginDirectoryOperation();
    connection_ = createObject(QStringLiteral("ADODB.Connection"));
    command_ = createObject(QStringLiteral("ADODB.Command"));
    AutomationObject *created = createObject(QStringLiteral("ADODB.RecordSet"));
    const auto fail = [&](const QString &command) {
        failure_ = captureFailure(command);
        if (!failure_.failed())
            failure_.code = E_FAIL;
        releaseObject(created);
        close();
        return false;
    };
    if (!connection_ || !command_ || !created)
        return fail(QStringLiteral("createObject"));
    sendProperty(connection_, QStringLiteral("Provider = 'ADsDSOObject'"));
    if (connection.useCurrentCredentials == 0) {
        sendProperty(connection_,
                     QStringLiteral("Properties('User ID') = ") + quoteArgument(connection.userName));
        sendProperty(connection_,
                     QStringLiteral("Properties('Password') = ") + quoteArgument(connection.password),
                     QStringLiteral("Properties('Password') = '***'"));
        sendProperty(connection_, QStringLiteral("Properties('Encrypt Password') = 'True'"));
    }
    if (sendMethod(connection_, QStringLiteral("Open('Active Directory Provider')")) != 0)
        return fail(QStringLiteral("Open('Active Directory Provider')"));
    sendProperty(command_, QStringLiteral("ActiveConnection = ") + handleNumber(connection_) +
                               QStringLiteral(" as AutomationObject"));
    sendProperty(command_, QStringLiteral("Properties('Page Size') = %1").arg(pageSize));
    if (sendSearchScope)
        sendProperty(command_, QStringLiteral("Properties('searchscope') = 1"));
    const QString commandText = QStringLiteral("CommandText = ") + quoteArgument(queryText);
    sendProperty(command_, commandText);
    recordSet_ = getObjectProperty(command_, QStringLiteral("Execute()"));
    if (!recordSet_)
        return fail(commandText);
    releaseObject(created);
    recordCount_ = static_cast<long>(getIntegerProperty(recordSet_, QStringLiteral("RecordCount")));
    return true;
}

void AdoSearch::moveNext()
{
    sendMethod(recordSet_, QStringLiteral("MoveNext"));
}

void AdoSearch::close()
{
    if (recordSet_)
        sendMethod(recordSet_, QStringLiteral("Close"));
    releaseObject(recordSet_);
    releaseObject(command_);
    releaseObject(connection_);
    recordSet_ = command_ = connection_ = nullptr;
    recordCount_ = 0;
}

ObjectListAttributes objectListAttributes(Database &db)
{
    ObjectListAttributes names;
    names.pick = optionAttribute(db, "selectobjby");
    names.display = optionAttribute(db, "displayobjby");
    return names;
}

namespace
{

// One catalogue attribute of the walk with its command texts, made once per search.
struct CatalogueField {
    QString attribute;
    int multivalued;
    QString valueCommand; ///< "Fields('x')\Value"
    QString fieldCommand; ///< "Fields('x')"
    int column = -1;      ///< the record set's column of the command read, -1: sent
};

// The text getStringProperty gives for `command` on the current record,
// from its column when the record set answers it.
QString fieldText(AutomationObject *recordSet, const RecordColumnReads &reads, int column, const QString &command)
{
    QString text;
    return reads.text(column, &text) ? text : getStringProperty(recordSet, command);
}


// True when every element of `array` is text, the array a multi-valued
// attribute's values arrive in.
bool holdsTexts(const SAFEARRAY *array)
{
    if (array->vt == VT_BSTR)
        return true;
    if (array->vt != VT_VARIANT)
        return false;
    const auto *elements = static_cast<const VARIANT *>(array->pvData);
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        if (elements[i].vt != VT_BSTR)
            return false;
    }
    return true;
}

// The values of the field object `field` joined as JoinValues joins them,
// into `joined` (kept from field to field, so that its room is reused): the
// texts of the array are appended as they are, without a list of copies.
void joinFieldValues(AutomationObject *field, const QString &delimiter, QString *joined)
{
    VARIANT *value = getVariantProperty(field, QStringLiteral("value"));
    const SAFEARRAY *array = value ? variantArray(value) : nullptr;
    if (!array || !holdsTexts(array)) {
        *joined = variantText(value, delimiter);
        freeVariant(value);
        return;
    }
    joined->resize(0);
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        const BSTR text = array->vt == VT_BSTR ? static_cast<const BSTR *>(array->pvData)[i]
                                               : static_cast<const VARIANT *>(array->pvData)[i].bstrVal;
        joined->append(QStringView(text, qsizetype(SysStringLen(text))));
        joined->append(delimiter);
    }
    // Trailing empty values are dropped, as joinMultiValued drops them.
    while (!delimiter.isEmpty() && joined->endsWith(delimiter))
        joined->chop(delimiter.size());
    freeVariant(value);
}

// Appends the value of catalogue field `f` of the current record to `values`;
// a single value is also given in `*single` (when not null), for the display
// text. `*scratch` is room kept from field to field.
void appendCatalogueValue(AutomationObject *recordSet, const RecordColumnReads &reads, const CatalogueField &f,
                          const QString &delimiter, QString *scratch, ObjectValues::Writer *values,
                          QString *single)
{
    if (f.multivalued == 0) {
        if (!reads.text(f.column, scratch))
            *scratch = readFieldText(recordSet, f.valueCommand, delimiter);
        values->append(*scratch);
        if (single)
            *single = *scratch;
        return;
    }
    if (reads.joined(f.column, delimiter, scratch)) {
        values->append(*scratch);
        return;
    }
    AutomationObject *field = getObjectProperty(recordSet, f.fieldCommand);
    // A server that holds the values as texts hands them over joined.
    static const QString valueCommand = QStringLiteral("value");
    if (!getJoinedTexts(field, valueCommand, delimiter, scratch))
        joinFieldValues(field, delimiter, scratch);
    releaseObject(field);
    values->append(*scratch);
}

} // namespace

SearchOutcome SearchUsers(const DirectoryConnection &connection, Database &db, const QString &pickAttribute,
                          const QString &prefix, const QString &displayAttribute, const UserSink &sink,
                          const QString &delimiter, const SearchProgress &progress, AccountStates states,
                          const QSet<QString> &onlyValues)
{
    SearchOutcome outcome;
    QList<CatalogueField> catalogue;
    QStringList names;
    bool displayMultivalued = false;
    for (const CatalogueAttribute &a : loadCatalogue(db)) {
        names.append(a.attribute);
        if (a.attribute.compare(displayAttribute, Qt::CaseInsensitive) == 0)
            displayMultivalued = a.multivalued != 0;
        const bool wanted = onlyValues.isEmpty() || onlyValues.contains(a.attribute.toLower());
        if (wanted && (a.multivalued == 0 || a.multivalued == 1))
            catalogue.append({a.attribute, a.multivalued, fieldValue(a.attribute),
                              QStringLiteral("Fields(") + quoteArgument(a.attribute) + QLatin1Char(')')});
    }
    const QString displayCommand = fieldValue(displayAttribute);
    // A single-valued display attribute that is also read as a catalogue
    // value is the same command on the same record: its text is read once.
    qsizetype displaySlot = -1;
    for (qsizetype i = 0; i < catalogue.size() && !displayMultivalued; ++i) {
        if (catalogue[i].multivalued == 0 && catalogue[i].attribute == displayAttribute) {
            displaySlot = i;
            break;
        }
    }
    const QString query = adoQueryText(
        connection.serverAddress, connection.baseDn, userListFilter(pickAttribute, prefix),
        names.join(QLatin1Char(',')) + QStringLiteral(",cn,sAMAccountName,objectGUID,distinguishedName"));
    AdoSearch search;
    if (!search.open(connection, query, kUserListPageSize, true)) {
        outcome.failure = search.failure();
        return outcome;
    }
    const DomainExclusion exclusion(connection.baseDn);
    AutomationObject *rs = search.recordSet();
    const long n = search.recordCount();
    const RecordColumnReads reads(rs);
    for (CatalogueField &f : catalogue)
        f.column = reads.column(f.multivalued == 0 ? f.valueCommand : f.fieldCommand);
    static const QString dnCommand = QStringLiteral("Fields('distinguishedName')\\Value");
    static const QString samCommand = QStringLiteral("Fields('sAMAccountName')\\Value");
    static const QString cnCommand = QStringLiteral("Fields('cn')\\Value");
    const int dnColumn = reads.column(dnCommand);
    const int samColumn = reads.column(samCommand);
    const int cnColumn = reads.column(cnCommand);
    // Every entry of the walk shares one table of the names read; a user's
    // values are packed into one buffer.
    QStringList valueNames;
    valueNames.reserve(catalogue.size());
    for (const CatalogueField &f : catalogue)
        valueNames.append(f.attribute);
    ObjectValues::Writer values(std::make_shared<const ObjectValueNames>(std::move(valueNames)));
    QString joined;
    ObjectEntry entry;
    for (long i = 0; i < n; ++i) {
        const QString dn = fieldText(rs, reads, dnColumn, dnCommand);
        QString sam = fieldText(rs, reads, samColumn, samCommand);
        QString cn = fieldText(rs, reads, cnColumn, cnCommand);
        VARIANT *guidValue = getVariantProperty(rs, QStringLiteral("Fields('objectGUID')\\Value"));
        if (!exclusion.excludes(dn) && !sam.isEmpty()) {
            // A display attribute the catalogue calls single-valued reads as
            // its values joined when the schema makes it multi-valued.
            if (displaySlot < 0)
                entry.displayValue = displayMultivalued ? getStringProperty(rs, displayCommand)
                                                        : readFieldText(rs, displayCommand, delimiter);
            entry.sAMAccountName = std::move(sam);
            entry.guid = FormatObjectGuid(guidValue);
            entry.accountDisabled = 0;
            entry.selected = 0;
            if (states == AccountStates::Read) {
                DirectoryFailure stateFailure;
                entry.accountDisabled = ReadAccountDisabled(connection, entry.guid, &stateFailure);
                if (stateFailure.failed() && !outcome.stateFailure.failed())
                    outcome.stateFailure = stateFailure;
            }
            entry.cn = std::move(cn);
            for (qsizetype c = 0; c < catalogue.size(); ++c)
                appendCatalogueValue(rs, reads, catalogue[c], delimiter, &joined, &values,
                                     c == displaySlot ? &entry.displayValue : nullptr);
            entry.values = values.take();
            if (sink)
                sink(entry);
            ++outcome.count;
        }
        freeVariant(guidValue);
        search.moveNext();
        if (progress)
            progress(i + 1, n);
    }
    return outcome;
}

SearchOutcome SearchUsers(const DirectoryConnection &connection, Database &db, const QString &pickAttribute,
                          const QString &prefix, const QString &displayAttribute, ObjectTable *table,
                          const QString &delimiter, const SearchProgress &progress, AccountStates states)
{
    return SearchUsers(
        connection, db, pickAttribute, prefix, displayAttribute,
        UserSink([table](ObjectEntry &entry) { table->append(std::move(entry)); }), delimiter, progress, states);
}

CountOutcome CountUsers(const DirectoryConnection &connection, const std::function<void(int count)> &onCount,
                        const std::atomic_bool *stop)
{
    CountOutcome outcome;
    AdoSearch search;
    const QString query =
        adoQueryText(connection.serverAddress, connection.baseDn, kUserCountFilter, kUserCountAttributes);
    if (!search.open(connection, query, kUserCountPageSize, false)) {
        outcome.failure = search.failure();
        return outcome;
    }
    const DomainExclusion exclusion(connection.baseDn);
    AutomationObject *rs = search.recordSet();
    const long n = search.recordCount();
    for (long i = 0; i < n; ++i) {
        if (stop && stop->load()) {
            outcome.stopped = true;
            break;
        }
        const QString dn = getStringProperty(rs, QStringLiteral("Fields('distinguishedName')\\Value"));
        if (!exclusion.excludes(dn) &&
            !getStringProperty(rs, QStringLiteral("Fields('sAMAccountName')\\Value")).isEmpty()) {
            ++outcome.count;
            if (onCount)
                onCount(outcome.count);
        }
        search.moveNext();
    }
    return outcome;
}

} // namespace orvane
