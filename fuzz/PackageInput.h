#pragma once
// The input form of the structure-aware .xlsx target: the text parts of a
// package (workbook, relationships, sheets, shared strings, styles), each
// written as its entry name, a line feed and its content, the parts separated
// by NUL bytes. The fuzzer mutates names and XML; the ZIP container around
// them is always well formed, so the XML readers behind it are reached.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orvane::fuzz
{

/// Entry name and content of each part, in package order.
using PackageParts = std::vector<std::pair<std::string, std::string>>;

/// Splits `input` into at most 32 parts; a piece without a line feed or with
/// an empty name is skipped.
PackageParts splitPackageInput(std::string_view input);
/// The input form of `parts` (the inverse of splitPackageInput).
std::string joinPackageInput(const PackageParts &parts);

/// Writes `parts` as a ZIP package at `path`, uncompressed, adding the
/// package's root relationships and content types when `parts` lacks them; a
/// later part of the same name replaces an earlier one. False when libzip
/// cannot write the file.
bool writePackage(const std::string &path, const PackageParts &parts);

/// The entries of the ZIP package at `path` whose names end in ".xml" or
/// ".rels", in archive order; empty when it cannot be read.
PackageParts readPackageTextParts(const std::string &path);

} // namespace orvane::fuzz
