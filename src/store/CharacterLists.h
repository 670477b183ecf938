#pragma once
// The statements behind character lists: the toolbar's letters, and the list
// editor of the Options window. Names and characters are stored exactly as
// typed. Failures are silent.

#include <QList>
#include <QString>
#include <QStringList>

namespace orvane
{

class Database;

/// One row of selection_charlists.
struct CharacterListName {
    long long id = 0;
    QString name;
};

/// Returns the characters of the list named by the `charlist` option, sorted ascending.
QStringList currentCharacters(Database &db);

/// Returns the characters of list `listId`, sorted ascending.
QStringList sortedCharacters(Database &db, long long listId);

/// Returns the characters of list `listId` in the order the table returns them.
QStringList storedCharacters(Database &db, long long listId);

/// Returns every list, by name ascending.
QList<CharacterListName> characterListsByName(Database &db);

/// What adding a character list did.
struct AddedCharacterList {
    bool nameTaken = false; ///< a list of that name exists; nothing was created
    long long id = 0;       ///< the new list's id, 0 when the insert failed
};

/// Creates a list named `name` unless a list of that name exists.
AddedCharacterList addCharacterList(Database &db, const QString &name);

/// Deletes list `listId` and all its characters.
void deleteCharacterList(Database &db, long long listId);

/// Adds `character` (any text) to list `listId`; no length or duplicate check.
void addCharacter(Database &db, long long listId, const QString &character);

/// Deletes every copy of `character` from list `listId`.
void deleteCharacter(Database &db, long long listId, const QString &character);

} // namespace orvane
