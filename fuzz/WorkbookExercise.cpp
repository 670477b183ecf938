#include "WorkbookExercise.h"

#include "workbook/engine/Workbook.h"
#include "workbook/engine/XmlReader.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace orvane::fuzz
{

namespace
{

// Bounds the work per input, so that a large sheet in the corpus does not
// turn into a timeout of the harness instead of the engine.
constexpr size_t kMaxCellsRead = 20000;
constexpr int kMaxFindColumns = 4;

// Text with every character XML must escape, a line break and non-ASCII.
const char kWrittenText[] = "<a & \"b\" 'c'>\n\xC3\xBC\xE2\x82\xAC \xF0\x9F\x98\x80 ";

// Where the read results go, so that the reads are not optimised away.
volatile size_t readSink;

[[noreturn]] void finding(const std::string &what, const std::string &detail)
{
    std::fprintf(stderr, "FINDING: %s: %s\n", what.c_str(), detail.c_str());
    std::abort();
}

void readEverything(Worksheet &sheet)
{
    size_t read = 0;
    size_t sink = 0;
    for (const Worksheet::Cell &cell : sheet.cells()) {
        if (++read > kMaxCellsRead)
            break;
        const CellValue value = sheet.value(cell.row, cell.column);
        sink += value.text.size() + static_cast<size_t>(value.kind);
        sink += sheet.text(cell.row, cell.column).size();
    }
    sink += sheet.lastUsedRow() + sheet.lastUsedColumn();
    sink += sheet.text(0, 0).size() + sheet.text(Worksheet::kMaxRow + 1, 1).size();

    int columns = 0;
    uint32_t lastColumn = 0;
    for (const Worksheet::Cell &cell : sheet.cells()) {
        if (columns >= kMaxFindColumns)
            break;
        if (cell.column == lastColumn)
            continue;
        lastColumn = cell.column;
        ++columns;
        const std::string text = sheet.text(cell.row, cell.column);
        sink += sheet.find(cell.column, text, 0);
        sink += sheet.find(cell.column, Worksheet::foldCase(text), cell.row);
    }
    readSink = sink;
}

// A refused save must leave the file as it was, and a rewrite that does not
// parse is the writer's fault unless the part it started from did not parse.
void checkRefusedSave(const Worksheet &sheet, const std::string &path, const std::string &before,
                      const WorkbookError &error, SaveCheck check)
{
    std::ifstream in(path, std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (after != before)
        finding("refused save changed the file", error.message);
    // The open read the whole part with the reader that checks well-formedness, and keeps no copy.
    const bool startedWellFormed = sheet.part() != nullptr;
    if (error.message.find("would not be well-formed") != std::string::npos && startedWellFormed)
        finding("save made a well-formed sheet part malformed", error.message);
    if (check == SaveCheck::MustSucceed && startedWellFormed)
        finding("save failed", error.message);
}

void saveRoundTrip(Workbook &book, const std::string &path, SaveCheck check)
{
    Worksheet &sheet = book.activeSheet();
    uint32_t row = 1, column = 1;
    if (!sheet.cells().empty()) {
        row = sheet.cells().front().row;
        column = sheet.cells().front().column;
    }
    const uint32_t newRow = std::min(sheet.lastUsedRow() + 1, Worksheet::kMaxRow);
    const uint32_t nextColumn = std::min<uint32_t>(column + 1, Worksheet::kMaxColumn);
    sheet.setText(row, column, kWrittenText);
    sheet.setText(row, nextColumn, "x");
    sheet.setText(newRow, 2, "new row");
    std::ifstream in(path, std::ios::binary);
    const std::string before((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    WorkbookError error;
    if (!book.save(&error)) {
        checkRefusedSave(sheet, path, before, error, sheet.isWritable() ? check : SaveCheck::MayFail);
        return;
    }
    if (!sheet.isWritable())
        finding("a read-only sheet was saved", path);
    std::unique_ptr<Workbook> again = Workbook::open(path, &error);
    if (!again)
        finding("saved workbook does not reopen", error.message);
    const Worksheet &reread = again->activeSheet();
    if (reread.text(row, column) != kWrittenText || reread.text(row, nextColumn) != "x" ||
        reread.text(newRow, 2) != "new row")
        finding("written cells do not read back", reread.text(row, column));
}

} // namespace

std::string scratchPath(std::string_view extension)
{
    const char *tmp = std::getenv("TMPDIR");
    std::filesystem::path dir =
        std::filesystem::path(tmp && *tmp ? tmp : "/tmp") / ("orvane-fuzz-" + std::to_string(::getpid()));
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return (dir / ("input" + std::string(extension))).string();
}

bool writeScratchFile(const std::string &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

void exerciseWorkbook(const std::string &path, SaveCheck check)
{
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    if (!book) {
        // libzip's text for "no error" in a failure means a reason got lost.
        if (error.status == WorkbookStatus::Ok || error.message.empty() ||
            error.message.find("No error") != std::string::npos)
            finding("open failed without a reason", error.message);
        return;
    }
    size_t names = 0;
    for (const std::string &name : book->sheetNames())
        names += name.size();
    readSink = names;
    if (book->activeSheetIndex() < 0 ||
        static_cast<size_t>(book->activeSheetIndex()) >= book->sheetNames().size())
        finding("active sheet outside the sheet list", std::to_string(book->activeSheetIndex()));
    readEverything(book->activeSheet());
    if (check != SaveCheck::None)
        saveRoundTrip(*book, path, check);
}

} // namespace orvane::fuzz
