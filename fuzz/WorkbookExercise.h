#pragma once
// What the workbook fuzz targets do with an input once it is a file: open it
// through the engine's public entry point and reach everything a caller can,
// so that a fault anywhere on the read (and, for .xlsx, the save) path shows.

#include <string>
#include <string_view>

namespace orvane::fuzz
{

/// A path for this process's scratch file with the given extension (".xlsx"),
/// in a folder of its own under TMPDIR (or /tmp), so that parallel fuzzers
/// never share a file.
std::string scratchPath(std::string_view extension);

/// Replaces the file at `path` by `bytes`; false when it cannot be written.
bool writeScratchFile(const std::string &path, std::string_view bytes);

/// How strictly a save after writing cells is judged.
enum class SaveCheck {
    None,        ///< no cells written, no save
    MayFail,     ///< the package may be damaged beyond the sheet: a refusal is fine
    MustSucceed, ///< the package is sound: a well-formed sheet part must save
};

/// Opens the workbook at `path` and reads every cell's value and text, the
/// used range and a few Finds. Unless `check` is None it also writes cells
/// into an existing and a new row and saves. A save must then reopen and read
/// the written texts back; a refused one must leave the file as it was and
/// may not blame a rewritten sheet part that started well-formed. Anything
/// else aborts with "FINDING:" on stderr.
void exerciseWorkbook(const std::string &path, SaveCheck check);

} // namespace orvane::fuzz
