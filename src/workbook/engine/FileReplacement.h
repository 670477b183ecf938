#pragma once
// Replacing a file so that a crash at any moment leaves either the old or the
// new content, never a mixture: the new content is prepared in a temporary
// file in the same folder, flushed to disk, and renamed over the original.

#include <string>

namespace orvane
{

/// Creates a temporary file beside `target` holding a copy of `target`'s
/// bytes and permissions, and sets `tempPath`. False with `error` set (and
/// nothing left behind) on failure.
bool copyToSiblingTemp(const std::string &target, std::string *tempPath, std::string *error);

/// Flushes `tempPath` to disk and renames it over `target`, then flushes the
/// folder. On failure removes `tempPath`, leaves `target` as it was, sets
/// `error` and returns false.
bool commitSiblingTemp(const std::string &tempPath, const std::string &target, std::string *error);

/// Replaces the rename step, for tests that simulate a crash before it;
/// null restores rename(2). Not meant for concurrent use.
using RenameFunction = int (*)(const char *from, const char *to);
void setRenameFunctionForTesting(RenameFunction function);

} // namespace orvane
