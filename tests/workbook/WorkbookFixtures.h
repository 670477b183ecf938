#pragma once
// Workbooks made at test time by independent writers (libxlsxwriter here,
// openpyxl and xlwt through the scripts beside this file), a compound
// document builder for encrypted files, and ZIP inspection for comparing a
// saved package with its original.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace orvane::test
{

/// A fresh, empty scratch folder for one test: ORVANE_TEST_TMP/<name>.
std::string scratchDir(const std::string &name);

/// Runs tests/workbook/scripts/<script> with the system Python and `args`;
/// returns its exit status and puts stdout and stderr into `output`.
int runPythonScript(const std::string &script, const std::vector<std::string> &args, std::string *output);

/// libxlsxwriter workbook with sheets "Intro", "Data" (the active one) and
/// "Notes". "Data" holds, by row: 1 header texts; 2 shared strings, a rich
/// text string, leading zeros, unicode; 3 numbers (integer, decimal, 15+
/// significant digits, large, small, negative); 4 dates, date-time, time;
/// 5 booleans, a blank formatted cell, a formula with a cached number;
/// 6 an empty row; 7 a last cell in column H.
void writeXlsxWriterWorkbook(const std::string &path);

/// One-sheet libxlsxwriter workbook whose column `column` (1-based) holds
/// text `value` at row `row` for each pair; optional constant-memory mode
/// (inline strings instead of shared strings).
void writeColumnWorkbook(const std::string &path, int column,
                         const std::vector<std::pair<int, std::string>> &cells, bool inlineStrings = false);

/// Writes a ZIP file holding `entries` (name, content) in that order.
void writeZip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &entries);

/// Writes a ZIP file holding `entries` and, after them, the entry `name`
/// whose content `next` produces a chunk at a time (appending to its
/// argument; false once done), deflated at `level`: large or highly
/// compressible parts are made without holding them in memory.
void writeZipStreamed(const std::string &path,
                      const std::vector<std::pair<std::string, std::string>> &entries,
                      const std::string &name, std::function<bool(std::string *)> next, int level);

/// The parts of a one-sheet package whose sheet part is `sheetXml`
/// (xl/worksheets/sheet1.xml), without shared strings or styles.
std::vector<std::pair<std::string, std::string>> minimalPackage(const std::string &sheetXml);

/// Builds a version-3 compound document holding the given streams (each
/// padded to at least 4096 bytes so that it lives in regular sectors).
void writeCompoundFile(const std::string &path,
                       const std::vector<std::pair<std::string, std::string>> &streams);

struct ZipEntry {
    std::string name;
    uint32_t crc = 0;
    uint64_t size = 0;
    uint64_t compressedSize = 0;
    int method = 0;
    long long mtime = 0;
    std::string raw; ///< the stored (compressed) bytes
};

/// Every entry of a ZIP file in archive order, with its stored bytes.
std::vector<ZipEntry> zipEntries(const std::string &path);
/// The general-purpose flags of an entry as its central directory record
/// gives them (bits 1-2 tell the deflate level used); -1 when missing.
int zipEntryFlags(const std::string &path, const std::string &name);
/// The inflated content of one entry; empty when missing.
std::string zipEntryText(const std::string &path, const std::string &name);

/// Reads a whole file; empty if it cannot be read.
std::string readFile(const std::string &path);
/// Writes bytes to a file, replacing it.
void writeFile(const std::string &path, const std::string &bytes);

} // namespace orvane::test
