#pragma once
// What tells one version of a file from another without reading it: the
// device and inode it lives on, its size and its modification time to the
// nanosecond. A save through a temporary file and a rename gives a new
// inode, so even a rewrite within the same nanosecond and of the same size
// reads as a different version.

#include <string>

namespace orvane
{

struct FileIdentity {
    unsigned long long device = 0;
    unsigned long long inode = 0;
    long long size = 0;
    long long modifiedSeconds = 0;
    long long modifiedNanoseconds = 0;
    bool operator==(const FileIdentity &other) const = default;
};

/// Reads the identity of the file at `path` into `*identity`; false (and
/// `*identity` untouched) when the file cannot be examined.
bool fileIdentityOf(const std::string &path, FileIdentity *identity);

} // namespace orvane
