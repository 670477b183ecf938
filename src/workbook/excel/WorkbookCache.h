#pragma once
// Workbooks parsed earlier in this process, kept for the next Workbooks\Open
// of the same file. Every operation still opens and quits its own Excel
// instance; only the parsing is saved: a workbook comes back from the cache
// only while the file on disk is the one it was parsed from (same device,
// inode, size and modification time), and nobody else holds it at the time.
//
// A workbook is lent out whole: the instance that opened it owns it until its
// last reference ends, then it returns to the cache unless cells were written
// into it, it was saved, the file changed, or forget() named its path in the
// meantime. So a workbook is never used by two instances at once, and written
// cells that were not saved never reach the next caller. At most a few
// workbooks are kept, the least recently used leaving first. Thread-safe.

#include "workbook/engine/Workbook.h"

#include <functional>
#include <memory>
#include <string>

namespace orvane::WorkbookCache
{

/// Opens the workbook at `path`, from the cache when possible, else by parsing
/// the file. Null with `error` filled as Workbook::open does.
std::shared_ptr<Workbook> open(const std::string &path, WorkbookError *error);

/// Parses the workbook at `path` into the cache, unless a copy of the file as
/// it is now is kept, lent out or being warmed already, and runs `prepare` on
/// it (on this thread) before keeping it. An open() of the same path waits
/// meanwhile instead of parsing the file twice; other paths are not held up.
/// False when the file cannot be stamped or parsed.
bool warm(const std::string &path, const std::function<void(Workbook &)> &prepare);

/// True when open() of `path` would parse the file: no copy of the file as
/// it is now is kept, lent out or being warmed.
bool needsParse(const std::string &path);

/// Drops whatever is kept for `path` and keeps workbooks lent out now from
/// returning (called when the engine saves the file).
void forget(const std::string &path);

/// Drops every kept workbook.
void clear();

/// How many times a file was parsed through open() in this process.
long long parseCount();

} // namespace orvane::WorkbookCache
