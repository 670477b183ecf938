#pragma once
// Finding a directory user's rows in the registered workbooks. Every workbook
// is opened through a new "Excel.Application" object and closed with Quit()
// on every path (ExcelInstance does that); failures that the administrator
// must see are handed to a WarningSink as a title and a text, since this code
// shows no windows. Values are put into commands through quoteArgument, so a
// quote or a "$" in a cell or a path is searched for exactly.

#include "automation/AutomationObject.h"
#include "directory/ObjectTable.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace orvane
{

class Database;
class Workbook;

/// Receives a failure for the administrator: a message box title and its text.
using WarningSink = std::function<void(const QString &title, const QString &text)>;

/// Owns one "Excel.Application" object; its end runs "Quit()" and releases it.
class ExcelInstance
{
  public:
    explicit ExcelInstance(AutomationObject *app = nullptr) : app_(app) {}
    ~ExcelInstance() { close(); }
    ExcelInstance(ExcelInstance &&other) noexcept : app_(other.app_) { other.app_ = nullptr; }
    ExcelInstance &operator=(ExcelInstance &&other) noexcept;
    ExcelInstance(const ExcelInstance &) = delete;
    ExcelInstance &operator=(const ExcelInstance &) = delete;

    AutomationObject *get() const { return app_; }
    explicit operator bool() const { return app_ != nullptr; }
    /// Runs "Quit()" and releases the object; harmless when there is none.
    void close();

  private:
    AutomationObject *app_;
};

/// Why OpenWorkbook gave none.
enum class OpenFailure { None, NotFound, NoExcel, NotOpened };

/// Opens the workbook at `path` in a new Excel instance. Reports "Excel file
/// error" to `warn` and returns none when the file is missing, Excel cannot
/// be created, or the workbook cannot be opened (code and the engine's text);
/// `why`, when given, tells which.
ExcelInstance OpenWorkbook(const QString &path, const WarningSink &warn, OpenFailure *why = nullptr);

/// Column number 1..16384 as Excel's letters (1 A, 27 AA, 100 CV); "" outside.
QString ColumnLetters(int number);

/// The row of the first cell of `column` whose whole text equals `value`
/// (ignoring case), or 0; `value` is quoted exactly.
int FindFirstRow(AutomationObject *app, int column, const QString &value);
/// The next such row after `previous`, wrapping to the first; 0 on failure.
int FindNextRow(AutomationObject *app, int column, int previous, const QString &value);
/// The cell's text ("" for an empty cell or a failed read).
QString ReadCell(AutomationObject *app, int row, int column);

/// FindFirstRow and ReadCell for one opened workbook and many users: answered
/// from the workbook's parsed cells where the stand-in's ReadPath would answer
/// the command from them (a match found, a cell holding text), and by the
/// command itself otherwise, so that every answer is the command's.
class ParsedWorkbookReads
{
  public:
    /// Reads of `app`'s workbook; with no parsed workbook behind it (another
    /// server, none open) every read is the command.
    explicit ParsedWorkbookReads(AutomationObject *app = nullptr);
    ~ParsedWorkbookReads();
    ParsedWorkbookReads(ParsedWorkbookReads &&) noexcept;
    ParsedWorkbookReads &operator=(ParsedWorkbookReads &&) noexcept;
    /// As FindFirstRow(app, column, value).
    int findFirstRow(int column, const QString &value) const;
    /// As ReadCell(app, row, column).
    QString readCell(int row, int column) const;

  private:
    AutomationObject *app_;
    std::shared_ptr<Workbook> book_;
};

/// One workbook row found for the opened user; element n belongs to lookup list row n.
struct SourceHit {
    long long fileId = 0;
    int row = 0;
    int keyConfirmed = 0; ///< 1: a key pair of a primary workbook matched on this row
};

/// Image-list indexes of a lookup list row.
inline constexpr int kImageKeyConfirmed = 0;
inline constexpr int kImageLookupRow = 1;
inline constexpr int kImageOtherKeyMatch = 13;

/// One lookup list row: what its three columns show, its icon and its hit.
struct FoundSource {
    QString desc;       ///< column 0: the workbook's description
    QString lookupText; ///< column 1: the lookup cell's text
    QString filename;   ///< column 2: the workbook's path
    int image = kImageLookupRow;
    SourceHit hit;
};

/// Searches every workbook with a lookup pair for the rows of `object`, pair by
/// pair in the order the store returns them; the rows of one pair come from
/// the second match onward with the first last. A row is key-confirmed only
/// when the object has a value for the key attribute and the row's key cell
/// equals it: an empty key value confirms no row. Stops a pair's walk when a row
/// other than the first repeats, so a misbehaving workbook cannot loop for
/// ever. Missing or unopenable workbooks are reported to `warn` and skipped.
QList<FoundSource> FindSources(Database &db, const ObjectEntry &object, const WarningSink &warn);

} // namespace orvane
