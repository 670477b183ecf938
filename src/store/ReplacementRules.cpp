#include "store/ReplacementRules.h"

#include "store/Database.h"

namespace orvane
{

long long findReplacementRule(Database &db, const QString &stringToReplace)
{
    db.query(QStringLiteral("SELECT id FROM replacements WHERE stringtoreplace = ") +
             sqlQuote(stringToReplace));
    db.next_row();
    return db.get_long(0);
}

long long insertReplacementRule(Database &db, const QString &stringToReplace, const QString &replaceWith)
{
    db.execute(QStringLiteral("INSERT INTO replacements(stringtoreplace, replacewith) VALUES(") +
               sqlQuote(stringToReplace) + QStringLiteral(", ") + sqlQuote(replaceWith) +
               QStringLiteral(")"));
    return db.lastInsertId();
}

void updateReplacementRule(Database &db, long long id, const QString &replaceWith)
{
    db.execute(QStringLiteral("UPDATE replacements SET replacewith = ") + sqlQuote(replaceWith) +
               QStringLiteral(" WHERE id = ") + sqlQuote(id));
}

void deleteReplacementRule(Database &db, long long id)
{
    db.execute(QStringLiteral("DELETE FROM replacements WHERE id = ") + sqlQuote(id));
}

} // namespace orvane
