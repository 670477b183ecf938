#pragma once
// The workbook engine behind the Excel stand-in: opens an .xlsx workbook
// (ZIP package, read with libzip and pugixml), or read-only a legacy .xls
// workbook (our own compound-file and BIFF reader), an OpenDocument
// spreadsheet (told by its package's mimetype or an .ods name) or a CSV text
// file (told by a .csv name); loads the sheet its window shows, and saves
// written cells back into an .xlsx file in place.
//
// Open reads only what the active sheet needs and keeps no file handle (a
// save keeps one on the version it started from, for the next save). Save
// rewrites the active sheet's part alone (and, when a formula cell was
// overwritten, drops the calculation chain, which Excel rebuilds); every
// other entry of the package is copied as stored. The new file is made
// beside the old one and renamed over it, so the old file stays whole until
// the new one is complete. Save refuses when the file changed on disk after
// it was opened, so that another program's work is not overwritten.
//
// Failures come back as a status and an English message that names the file.
// A Workbook belongs to one thread.

#include "workbook/engine/FileIdentity.h"
#include "workbook/engine/Worksheet.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class AppendedRows;

enum class WorkbookStatus {
    Ok,
    NotFound,      ///< no such file
    NotWorkbook,   ///< neither an .xlsx package nor an .xls file
    Damaged,       ///< truncated or corrupt
    OverBound,     ///< a part inflates beyond what a real workbook could (ratio or size bound)
    Encrypted,     ///< protected with a password
    Unreadable,    ///< exists but cannot be read (permissions, I/O)
    ReadOnly,      ///< an .xls, .ods or .csv workbook cannot be saved
    ChangedOnDisk, ///< changed by someone else since it was opened; not saved
    SaveFailed,    ///< the new file could not be written; the old one is intact
};

struct WorkbookError {
    WorkbookStatus status = WorkbookStatus::Ok;
    std::string message;
};

class Workbook
{
  public:
    /// .xlsx is read and written; .xls, .ods and .csv are read only.
    enum class Format { Xlsx, Xls, Ods, Csv };

    /// Opens the workbook at `path`. Returns null and fills `error` when the
    /// file is missing, not a workbook, damaged, over a bound of the ZIP
    /// reader (a part inflating beyond ZipPackage::inflateBound), encrypted
    /// or unreadable.
    static std::unique_ptr<Workbook> open(const std::string &path, WorkbookError *error);
    ~Workbook();
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    const std::string &path() const { return path_; }
    Format format() const { return format_; }
    /// Names of all sheets in tab order.
    const std::vector<std::string> &sheetNames() const { return sheetNames_; }
    /// Position in sheetNames() of the sheet the workbook window shows.
    int activeSheetIndex() const { return activeSheet_; }
    Worksheet &activeSheet() { return *sheet_; }
    const Worksheet &activeSheet() const { return *sheet_; }

    /// Writes `text` into cell (row, column) of the active sheet as
    /// Worksheet::setText does (false, changing nothing, where it refuses).
    /// Writes below every row of an .xlsx sheet's part, made in row and
    /// column order from the first write on (as an export makes them), are
    /// made into the part's new rows and deflated on a thread of their own as
    /// they come, which the next save takes instead of producing them.
    bool writeText(uint32_t row, uint32_t column, std::string_view text);

    /// Writes the pending cell writes into the file in place. Nothing to write
    /// succeeds without touching the file. False with `error` set when there
    /// are writes to an .xls workbook or to a sheet that is not a worksheet,
    /// when the file changed on disk since it was opened, or when writing
    /// fails; the file on disk is then as it was.
    bool save(WorkbookError *error);

  private:
    struct XlsxParts;

    Workbook() = default;
    bool openXlsx(WorkbookError *error);
    bool openCompound(WorkbookError *error);
    /// Read-only formats (WorkbookFormats.cpp): Ok, or the failure with `detail`.
    WorkbookStatus openOds(std::string *detail);
    WorkbookStatus openCsv(std::string *detail);
    /// What a read-only format is called in the refusal to save it; empty for .xls.
    std::string readOnlyKind() const;
    bool writePackage(const std::string &tempPath, int originalFd, std::string *detail);

    std::string path_;
    Format format_ = Format::Xlsx;
    std::vector<std::string> sheetNames_;
    int activeSheet_ = 0;
    std::unique_ptr<Worksheet> sheet_;
    std::unique_ptr<XlsxParts> parts_;
    /// The writes below the sheet's rows, prepared for the save (see writeText).
    std::unique_ptr<AppendedRows> appended_;
    FileIdentity identity_; ///< the version of the file this workbook was read from
    /// After a save, the version of the file the sheet was read from: the
    /// sheet's spans fit its part and no other, so later saves rewrite it.
    int originalFd_ = -1;
};

} // namespace orvane
