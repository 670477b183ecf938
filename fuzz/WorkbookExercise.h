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

/// Opens the workbook at `path` and reads every cell's value and text, the
/// used range and a few Finds. With `saveRoundTrip` it also writes cells into
/// an existing and a new row and saves; a writable sheet must then save,
/// reopen and read the written texts back, anything else aborts (a finding:
/// Save wrote a package the reader does not accept).
void exerciseWorkbook(const std::string &path, bool saveRoundTrip);

} // namespace orvane::fuzz
