#pragma once
// Registered workbooks and their column bindings as the settings store keeps
// them, with the rules every change keeps: a path is registered once; at most
// one workbook is primary and at most one is the export workbook, never both
// on one; an attribute is bound once per workbook and a column carries at most
// two attributes; one key pair and one lookup pair per workbook. Paths and
// descriptions are stored exactly as given. Statement failures are silent
// unless a function says it reports them.

#include "workbook/WorkbookBinding.h"

#include <QList>
#include <QString>

namespace orvane
{

class Database;

/// Image-list indexes of the workbook and binding icons; -1 means no icon.
inline constexpr int kNoImage = -1;

/// One row of excelfiles.
struct RegisteredWorkbook {
    long long id = 0;
    QString filename;
    QString desc;
    int primaryFlag = 0;
    int exportFlag = 0;
};

/// Returns every registered workbook in table order.
QList<RegisteredWorkbook> loadWorkbooks(Database &db);

/// Returns workbook `id` (all fields empty or 0 when it does not exist).
RegisteredWorkbook readWorkbook(Database &db, long long id);

/// Icon of a workbook row: 0 primary, 16 export, none otherwise.
int workbookImage(int primaryFlag, int exportFlag);

/// Icon of a binding row: 0 key pair, 1 lookup pair, 2 both, none otherwise.
int bindingImage(int keyFlag, int lookupFlag);

/// Registers `path` and returns its new id; returns 0 and changes nothing when
/// exactly that path text is registered already.
long long registerWorkbook(Database &db, const QString &path);

/// True when exactly the path text `path` is registered.
bool isRegistered(Database &db, const QString &path);

/// Returns the description of workbook `id` ("" when it has none).
QString workbookDescription(Database &db, long long id);

/// Sets the description of workbook `id`; true when the statement succeeded.
bool setWorkbookDescription(Database &db, long long id, const QString &desc);

/// Deletes workbook `id` and every binding of it.
void deleteWorkbook(Database &db, long long id);

enum class WorkbookTag { Primary, Export };

/// What tagging a workbook did.
struct WorkbookTagResult {
    bool refused = false;   ///< the workbook already carries a tag; nothing changed
    long long previous = 0; ///< the workbook that lost the tag, 0 when none had it
};

/// Makes workbook `id` the primary (or export) workbook, taking the tag from
/// the workbook that had it. Refused when `id` already has either tag.
WorkbookTagResult tagWorkbook(Database &db, long long id, WorkbookTag tag);

/// Removes both tags from workbook `id`.
void clearWorkbookTags(Database &db, long long id);

/// What adding attribute `a` on column `n` means for a workbook.
enum class BindingAddition {
    Insert,       ///< a new binding
    AskToMove,    ///< `a` is bound to another column; moving it needs a yes
    AlreadyBound, ///< `a` is on this column already, or on another one while this one has a binding too
    ColumnFull,   ///< nothing happens
};

/// Decides what adding attribute `attributeId` on `column` of workbook `fileId` does.
BindingAddition classifyBinding(Database &db, long long fileId, int column, long long attributeId);

/// Inserts the binding (no tags, not shown); true when the statement succeeded.
bool insertBinding(Database &db, long long fileId, int column, long long attributeId);

/// Moves attribute `attributeId` of workbook `fileId` to `column`; true on success.
bool moveBinding(Database &db, long long fileId, int column, long long attributeId);

/// Deletes the binding of `attributeId` on column `columnText`; true on success.
bool deleteBinding(Database &db, long long fileId, long long attributeId, const QString &columnText);

enum class BindingTag { Key, Lookup };

/// What tagging a binding did.
struct BindingTagResult {
    bool hadPrevious = false;        ///< some binding of the workbook had the tag before
    int previousColumn = 0;          ///< its column ...
    long long previousAttribute = 0; ///< ... and attribute
    int previousImage = kNoImage;    ///< its icon now that it lost the tag
    int image = kNoImage;            ///< the icon of the newly tagged binding
};

/// Gives the binding of `attributeId` on `columnText` the key (or lookup) tag,
/// taking it from every other binding of workbook `fileId`.
BindingTagResult tagBinding(Database &db, long long fileId, const QString &columnText, long long attributeId,
                            BindingTag tag);

/// Removes both tags from the binding of `attributeId` only.
void clearBindingTags(Database &db, long long fileId, long long attributeId);

/// Stores whether the binding of `attributeId` is shown.
void storeShowFlag(Database &db, long long fileId, long long attributeId, bool shown);

} // namespace orvane
