#include "store/CharacterLists.h"

#include "store/Database.h"

namespace orvane
{
namespace
{

QStringList firstColumn(Database &db, const QString &statement)
{
    QStringList values;
    db.query(statement);
    while (db.next_row())
        values << db.get_text(0);
    return values;
}

QString charactersOf(long long listId)
{
    return QStringLiteral("SELECT character FROM selection_characters WHERE list_id = ") + sqlQuote(listId);
}

} // namespace

QStringList currentCharacters(Database &db)
{
    return firstColumn(
        db, QStringLiteral("SELECT selection_characters.character FROM selection_characters, "
                           "options WHERE selection_characters.list_id = options.val AND "
                           "options.fld = 'charlist' ORDER BY selection_characters.character ASC"));
}

QStringList sortedCharacters(Database &db, long long listId)
{
    return firstColumn(db, charactersOf(listId) + QStringLiteral(" ORDER BY character ASC"));
}

QStringList storedCharacters(Database &db, long long listId)
{
    return firstColumn(db, charactersOf(listId));
}

QList<CharacterListName> characterListsByName(Database &db)
{
    QList<CharacterListName> lists;
    db.query(QStringLiteral("SELECT id, listname FROM selection_charlists ORDER BY listname ASC"));
    while (db.next_row())
        lists.append({db.get_long(0), db.get_text(1)});
    return lists;
}

AddedCharacterList addCharacterList(Database &db, const QString &name)
{
    AddedCharacterList added;
    db.query(QStringLiteral("SELECT count(listname) FROM selection_charlists WHERE listname = ") +
             sqlQuote(name));
    db.next_row();
    if (db.get_long(0) != 0) {
        added.nameTaken = true;
        return added;
    }
    db.execute(QStringLiteral("INSERT INTO selection_charlists(listname) VALUES(") + sqlQuote(name) +
               QStringLiteral(")"));
    added.id = db.lastInsertId();
    return added;
}

void deleteCharacterList(Database &db, long long listId)
{
    db.execute(QStringLiteral("DELETE FROM selection_characters WHERE list_id = ") + sqlQuote(listId));
    db.execute(QStringLiteral("DELETE FROM selection_charlists WHERE id = ") + sqlQuote(listId));
}

void addCharacter(Database &db, long long listId, const QString &character)
{
    db.execute(QStringLiteral("INSERT INTO selection_characters(list_id, character) VALUES(") +
               sqlQuote(listId) + QStringLiteral(", ") + sqlQuote(character) + QStringLiteral(")"));
}

void deleteCharacter(Database &db, long long listId, const QString &character)
{
    db.execute(QStringLiteral("DELETE FROM selection_characters WHERE list_id = ") + sqlQuote(listId) +
               QStringLiteral(" AND character = ") + sqlQuote(character));
}

} // namespace orvane
