#include "store/Journal.h"

#include "store/Clock.h"
#include "store/Database.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace orvane
{

namespace
{

QString valuesText(const QStringList &values)
{
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(values)).toJson(QJsonDocument::Compact));
}

QStringList valuesFrom(const QString &text)
{
    QStringList values;
    for (const QJsonValue &v : QJsonDocument::fromJson(text.toUtf8()).array())
        values << v.toString();
    return values;
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
    db_.query(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name IN "
                             "('journal_sets', 'journal_changes')"));
    usable_ = db_.next_row() && db_.get_long(0) == 2;
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
    if (!db_.execute(QStringLiteral("INSERT INTO journal_sets(datetime, operator, origin, undo_of) VALUES(") +
                     sqlQuote(localNowSeconds()) + u',' + sqlQuote(operatorName) + u',' + sqlQuote(origin) +
                     u',' + sqlQuote(undoOf) + u')'))
        return 0;
    return db_.lastInsertId();
}

long long Journal::addChange(const JournalChange &c)
{
    if (!db_.execute(
            QStringLiteral("INSERT INTO journal_changes(set_id, guid, cn, attribute, multivalued, "
                           "binary, old_values, new_values, source, outcome, outcome_text) VALUES(") +
            sqlQuote(c.setId) + u',' + sqlQuote(c.guid) + u',' + sqlQuote(c.cn) + u',' +
            sqlQuote(c.attribute) + u',' + sqlQuote(c.multivalued) + u',' + sqlQuote(c.binary ? 1 : 0) +
            u',' + sqlQuote(valuesText(c.oldValues)) + u',' + sqlQuote(valuesText(c.newValues)) + u',' +
            sqlQuote(c.source) + u',' + sqlQuote(JournalPending) + QStringLiteral(",'')")))
        return 0;
    return db_.lastInsertId();
}

void Journal::complete(long long id, int outcome, const QString &text, const QStringList *oldValues)
{
    QString statement = QStringLiteral("UPDATE journal_changes SET outcome = ") + sqlQuote(outcome) +
                        QStringLiteral(", outcome_text = ") + sqlQuote(text);
    if (oldValues)
        statement += QStringLiteral(", old_values = ") + sqlQuote(valuesText(*oldValues));
    db_.execute(statement + QStringLiteral(" WHERE id = ") + sqlQuote(id));
}

QList<JournalSet> Journal::sets(int limit)
{
    QList<JournalSet> result;
    db_.query(
        QStringLiteral("SELECT s.id, s.datetime, s.operator, s.origin, s.undo_of, "
                       "(SELECT count(*) FROM journal_changes c WHERE c.set_id = s.id), "
                       "(SELECT count(*) FROM journal_changes c WHERE c.set_id = s.id AND c.outcome = 1) "
                       "FROM journal_sets s ORDER BY s.id DESC LIMIT ") +
        QString::number(limit));
    while (db_.next_row())
        result.append({db_.get_long(0), db_.get_long(1), db_.get_text(2), db_.get_text(3), db_.get_long(4),
                       int(db_.get_long(5)), int(db_.get_long(6))});
    return result;
}

QList<JournalChange> Journal::changes(long long setId)
{
    QList<JournalChange> result;
    db_.query(
        QStringLiteral("SELECT id, set_id, guid, cn, attribute, multivalued, binary, old_values, "
                       "new_values, source, outcome, outcome_text FROM journal_changes WHERE set_id = ") +
        sqlQuote(setId) + QStringLiteral(" ORDER BY id"));
    while (db_.next_row()) {
        JournalChange c;
        c.id = db_.get_long(0);
        c.setId = db_.get_long(1);
        c.guid = db_.get_text(2);
        c.cn = db_.get_text(3);
        c.attribute = db_.get_text(4);
        c.multivalued = int(db_.get_long(5));
        c.binary = db_.get_long(6) == 1;
        c.oldValues = valuesFrom(db_.get_text(7));
        c.newValues = valuesFrom(db_.get_text(8));
        c.source = db_.get_text(9);
        c.outcome = int(db_.get_long(10));
        c.outcomeText = db_.get_text(11);
        result.append(c);
    }
    return result;
}

QStringList Journal::binaryValues(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringList() : QStringList{QString::fromLatin1(bytes.toBase64())};
}

} // namespace orvane
