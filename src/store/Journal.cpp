#include "store/Journal.h"

#include "store/Clock.h"
#include "store/Database.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace orvane
{

namespace
{

QString jsonValuesText(const QStringList &values)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(values)).toJson(QJsonDocument::Compact));
}

// True when QJsonDocument writes `c` as itself: no escape, and no code unit
// (a surrogate, a noncharacter) whose UTF-8 form it might spell otherwise.
bool plainJsonUnit(char16_t c)
{
    return c >= 0x20 && c != u'"' && c != u'\\' && c < 0xD800;
}

// The compact JSON array QJsonDocument writes, put together directly when no
// value needs an escape (directory values almost never do), which spares
// every change the document's allocations.
QString valuesText(const QStringList &values)
{
    qsizetype size = 2;
    for (const QString &v : values) {
        for (const QChar c : v)
            if (!plainJsonUnit(c.unicode()))
                return jsonValuesText(values);
        size += v.size() + 3;
    }
    QString text;
    text.reserve(size);
    text += u'[';
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            text += u',';
        text += u'"';
        text += values[i];
        text += u'"';
    }
    text += u']';
    return text;
}

QStringList valuesFrom(const QString &text)
{
    QStringList values;
    for (const QJsonValue &v : QJsonDocument::fromJson(text.toUtf8()).array())
        values << v.toString();
    return values;
}

const QString kChangeColumns =
    QStringLiteral("id, set_id, guid, cn, attribute, multivalued, binary, old_values, new_values, source, "
                   "outcome, outcome_text");
const QString kSetColumns = QStringLiteral(
    "s.id, s.datetime, s.operator, s.origin, s.undo_of, "
    "(SELECT count(*) FROM journal_changes c WHERE c.set_id = s.id), "
    "(SELECT count(*) FROM journal_changes c WHERE c.set_id = s.id AND c.outcome = 1), "
    "(SELECT max(u.id) FROM journal_sets u WHERE u.undo_of = s.id AND NOT EXISTS "
    "(SELECT 1 FROM journal_sets r WHERE r.undo_of = u.id)), s.running, s.pid");

JournalSet setFromRow(const Database &db)
{
    JournalSet s{db.get_long(0), db.get_long(1), db.get_text(2), db.get_text(3), db.get_long(4),
                 int(db.get_long(5)), int(db.get_long(6))};
    s.undoneBy = db.get_long(7);
    s.running = db.get_long(8) == 1;
    s.pid = db.get_long(9);
    return s;
}

JournalChange changeFromRow(const Database &db)
{
    JournalChange c;
    c.id = db.get_long(0);
    c.setId = db.get_long(1);
    c.guid = db.get_text(2);
    c.cn = db.get_text(3);
    c.attribute = db.get_text(4);
    c.multivalued = int(db.get_long(5));
    c.binary = db.get_long(6) == 1;
    c.oldValues = valuesFrom(db.get_text(7));
    c.newValues = valuesFrom(db.get_text(8));
    c.source = db.get_text(9);
    c.outcome = int(db.get_long(10));
    c.outcomeText = db.get_text(11);
    return c;
}

// A process id that no longer names a live process (on this machine).
bool processGone(long long pid)
{
    if (pid <= 0)
        return true;
    if (pid == getpid())
        return false;
    return ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// Adds `column` to `table` when a file from before it lacks it.
void addColumnIfMissing(Database &db, const QString &table, const QString &column, const QString &type)
{
    db.query(QStringLiteral("SELECT count(*) FROM pragma_table_info(") + sqlQuote(table) +
             QStringLiteral(") WHERE name = ") + sqlQuote(column));
    const bool missing = db.next_row() && db.get_long(0) == 0;
    while (db.next_row()) {
    } // the result ends, so that no read lock outlives the statement
    if (missing)
        db.execute(QStringLiteral("ALTER TABLE ") + table + QStringLiteral(" ADD COLUMN ") + column + u' ' +
                   type);
}

} // namespace

QString journalOutcomeName(int outcome)
{
    switch (outcome) {
    case JournalPending:
        return QStringLiteral("pending");
    case JournalWritten:
        return QStringLiteral("written");
    case JournalFailed:
        return QStringLiteral("failed");
    case JournalSkipped:
        return QStringLiteral("skipped");
    case JournalConflict:
        return QStringLiteral("conflict");
    case JournalStarted:
        return QStringLiteral("started");
    case JournalCleared:
        return QStringLiteral("cleared");
    case JournalRecovered:
        return QStringLiteral("recovered");
    }
    return QString::number(outcome);
}

QString journalValuesText(const JournalChange &change, const QStringList &values, const QString &delimiter)
{
    if (change.binary)
        return values.isEmpty() ? QString()
                                : QStringLiteral("(%1 bytes)")
                                      .arg(QByteArray::fromBase64(values.value(0).toLatin1()).size());
    return values.join(delimiter);
}

QString journalOutcomeText(const JournalChange &change)
{
    QString outcome = journalOutcomeName(change.outcome);
    if (!change.outcomeText.isEmpty())
        outcome += QStringLiteral(": ") + change.outcomeText;
    return outcome;
}

QString journalOperator(const Settings &settings)
{
    if (settings.useCurrentCredentials != 1 && !settings.userName.isEmpty())
        return settings.userName;
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? qEnvironmentVariable("USERNAME") : user;
}

Journal::Journal(Database &db) : db_(db)
{
    db_.execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS journal_sets(id INTEGER PRIMARY KEY AUTOINCREMENT, "
                       "datetime INT, operator TEXT, origin TEXT, undo_of INT)"));
    db_.execute(QStringLiteral(
        "CREATE TABLE IF NOT EXISTS journal_changes(id INTEGER PRIMARY KEY AUTOINCREMENT, set_id INT, "
        "guid TEXT, cn TEXT, attribute TEXT, multivalued INT, binary INT, old_values TEXT, new_values TEXT, "
        "source TEXT, outcome INT, outcome_text TEXT)"));
    db_.execute(QStringLiteral("CREATE INDEX IF NOT EXISTS journal_changes_set ON journal_changes(set_id)"));
    addColumnIfMissing(db_, QStringLiteral("journal_sets"), QStringLiteral("running"),
                       QStringLiteral("INT DEFAULT 0"));
    addColumnIfMissing(db_, QStringLiteral("journal_sets"), QStringLiteral("pid"), QStringLiteral("INT DEFAULT 0"));
    db_.query(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                             "('journal_sets', 'journal_changes')"));
    usable_ = db_.next_row() && db_.get_long(0) == 2;
    while (db_.next_row()) {
    } // a result left open would hold a read lock that keeps other writers waiting
}

void Journal::beginBatch()
{
    db_.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

bool Journal::endBatch()
{
    return db_.execute(QStringLiteral("COMMIT"));
}

long long Journal::beginSet(const QString &operatorName, const QString &origin, long long undoOf)
{
    if (!db_.execute(
            QStringLiteral("INSERT INTO journal_sets(datetime, operator, origin, undo_of, running, pid) VALUES(") +
            sqlQuote(localNowSeconds()) + u',' + sqlQuote(operatorName) + u',' + sqlQuote(origin) + u',' +
            sqlQuote(undoOf) + QStringLiteral(",'1',") + sqlQuote(getpid()) + u')'))
        return 0;
    return db_.lastInsertId();
}

void Journal::finishSet(long long setId)
{
    db_.execute(QStringLiteral("UPDATE journal_sets SET running = 0 WHERE id = ") + sqlQuote(setId));
}

void Journal::markStarted(long long setId, long long firstId, long long lastId)
{
    db_.execute(QStringLiteral("UPDATE journal_changes SET outcome = 5 WHERE outcome = 0 AND set_id = ") +
                sqlQuote(setId) + QStringLiteral(" AND id BETWEEN ") + sqlQuote(firstId) +
                QStringLiteral(" AND ") + sqlQuote(lastId));
}

void Journal::setOldValues(long long id, const QStringList &oldValues)
{
    db_.executeBound(QStringLiteral("UPDATE journal_changes SET old_values = ? WHERE id = ?"),
                     {valuesText(oldValues), id});
}

namespace
{

const QString kInsertChange =
    QStringLiteral("INSERT INTO journal_changes(set_id, guid, cn, attribute, multivalued, binary, old_values, "
                   "new_values, source, outcome, outcome_text) VALUES");
// addChanges' rows, their values bound: kRowsPerInsert rows to a statement
// (one parse, and one statement's overhead, serves them all) and the last
// few one at a time, so that every set reuses the same two texts.
constexpr int kRowsPerInsert = 32;
constexpr int kValuesPerRow = 10;
const QString kBoundRow = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,'')");

QString boundInsert(int rows)
{
    QString statement = kInsertChange;
    for (int i = 0; i < rows; ++i)
        statement += (i > 0 ? QStringLiteral(",") : QString()) + kBoundRow;
    return statement;
}

const QString kInsertOneChange = boundInsert(1);
const QString kInsertChanges = boundInsert(kRowsPerInsert);

void appendBoundRow(QList<SqlValue> *values, long long setId, const JournalChange &c)
{
    values->append({setId, c.guid, c.cn, c.attribute, (long long)c.multivalued, (long long)(c.binary ? 1 : 0),
                    valuesText(c.oldValues), valuesText(c.newValues), c.source, (long long)JournalPending});
}
// complete()'s statements, their values bound. One row's UPDATE is cheaper to
// run than a join with a VALUES list, which builds two temporary tables each run.
const QString kComplete =
    QStringLiteral("UPDATE journal_changes SET outcome = ?, outcome_text = ? WHERE id = ?");
const QString kCompleteRange =
    QStringLiteral("UPDATE journal_changes SET outcome = ?, outcome_text = ? WHERE id BETWEEN ? AND ?");
const QString kCompleteWithOld =
    QStringLiteral("UPDATE journal_changes SET outcome = ?, outcome_text = ?, old_values = ? WHERE id = ?");

void appendRow(QString *statement, long long setId, const JournalChange &c)
{
    *statement += u'(' + sqlQuote(setId) + u',' + sqlQuote(c.guid) + u',' + sqlQuote(c.cn) + u',' +
                  sqlQuote(c.attribute) + u',' + sqlQuote(c.multivalued) + u',' + sqlQuote(c.binary ? 1 : 0) +
                  u',' + sqlQuote(valuesText(c.oldValues)) + u',' + sqlQuote(valuesText(c.newValues)) + u',' +
                  sqlQuote(c.source) + u',' + sqlQuote(JournalPending) + QStringLiteral(",'')");
}

} // namespace

long long Journal::addChange(const JournalChange &c)
{
    QString statement = kInsertChange;
    appendRow(&statement, c.setId, c);
    if (!db_.execute(statement))
        return 0;
    return db_.lastInsertId();
}

QList<long long> Journal::addChanges(long long setId, const QList<JournalChange> &changes)
{
    QList<SqlValue> values;
    values.reserve(kRowsPerInsert * kValuesPerRow);
    for (qsizetype first = 0; first < changes.size();) {
        const int rows = changes.size() - first >= kRowsPerInsert ? kRowsPerInsert : 1;
        values.clear();
        for (qsizetype i = first; i < first + rows; ++i)
            appendBoundRow(&values, setId, changes[i]);
        if (!db_.executeBound(rows == 1 ? kInsertOneChange : kInsertChanges, values.constData(), values.size()))
            return {};
        first += rows;
    }
    // The set's rows in id order are the rows in the order they were inserted.
    QList<long long> ids;
    ids.reserve(changes.size());
    db_.query(QStringLiteral("SELECT id FROM journal_changes WHERE set_id = ") + sqlQuote(setId) +
              QStringLiteral(" ORDER BY id"));
    while (db_.next_row())
        ids << db_.get_long(0);
    if (ids.size() != changes.size())
        return {};
    return ids;
}

void Journal::complete(long long id, int outcome, const QString &text, const QStringList *oldValues)
{
    if (oldValues)
        db_.executeBound(kCompleteWithOld, {(long long)outcome, text, valuesText(*oldValues), id});
    else
        db_.executeBound(kComplete, {(long long)outcome, text, id});
}

void Journal::completeAll(const QList<JournalCompletion> &completions)
{
    // A run of completions of consecutive ids with one outcome and text, none
    // replacing old values (a change set written as planned), is one UPDATE
    // of the id range: exactly those rows, as no other id lies between them.
    for (qsizetype first = 0; first < completions.size();) {
        const JournalCompletion &c = completions[first];
        qsizetype end = first + 1;
        if (!c.oldValues)
            while (end < completions.size() && !completions[end].oldValues &&
                   completions[end].id == completions[end - 1].id + 1 &&
                   completions[end].outcome == c.outcome && completions[end].text == c.text)
                ++end;
        if (end - first == 1)
            complete(c.id, c.outcome, c.text, c.oldValues ? &*c.oldValues : nullptr);
        else
            db_.executeBound(kCompleteRange, {(long long)c.outcome, c.text, c.id, completions[end - 1].id});
        first = end;
    }
}

QList<JournalSet> Journal::sets(int limit)
{
    QList<JournalSet> result;
    db_.query(QStringLiteral("SELECT ") + kSetColumns +
              QStringLiteral(" FROM journal_sets s ORDER BY s.id DESC LIMIT ") + QString::number(limit));
    while (db_.next_row())
        result.append(setFromRow(db_));
    return result;
}

JournalSet Journal::set(long long setId)
{
    db_.query(QStringLiteral("SELECT ") + kSetColumns + QStringLiteral(" FROM journal_sets s WHERE s.id = ") +
              sqlQuote(setId));
    const JournalSet found = db_.next_row() ? setFromRow(db_) : JournalSet{};
    while (db_.next_row()) {
    }
    return found;
}

long long Journal::undoneBy(long long setId)
{
    return set(setId).undoneBy;
}

QList<JournalSet> Journal::interruptedSets()
{
    QList<JournalSet> running;
    db_.query(QStringLiteral("SELECT ") + kSetColumns +
              QStringLiteral(" FROM journal_sets s WHERE s.running = 1 ORDER BY s.id"));
    while (db_.next_row())
        running.append(setFromRow(db_));
    QList<JournalSet> gone;
    for (const JournalSet &s : running)
        if (processGone(s.pid))
            gone << s;
    return gone;
}

QList<JournalChange> Journal::changes(long long setId)
{
    QList<JournalChange> result;
    db_.query(QStringLiteral("SELECT ") + kChangeColumns + QStringLiteral(" FROM journal_changes WHERE set_id = ") +
              sqlQuote(setId) + QStringLiteral(" ORDER BY id"));
    while (db_.next_row())
        result.append(changeFromRow(db_));
    return result;
}

QList<JournalChange> Journal::clearedChanges()
{
    QList<JournalChange> result;
    db_.query(QStringLiteral("SELECT ") + kChangeColumns +
              QStringLiteral(" FROM journal_changes WHERE outcome = 6 ORDER BY id"));
    while (db_.next_row())
        result.append(changeFromRow(db_));
    return result;
}

QStringList Journal::binaryValues(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringList() : QStringList{QString::fromLatin1(bytes.toBase64())};
}

} // namespace orvane
