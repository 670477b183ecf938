#pragma once
// Small helpers for reading the little XML parts of a package (workbook,
// relationships, styles) with pugixml while ignoring namespace prefixes,
// which writers choose freely.

#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace orvane
{

/// The name of `node` without its namespace prefix.
std::string_view xmlLocalName(const pugi::xml_node &node);
/// The first child element of `node` with local name `local`; empty if none.
pugi::xml_node xmlChild(const pugi::xml_node &node, std::string_view local);
/// The attribute of `node` with local name `local` (any prefix); empty if none.
pugi::xml_attribute xmlAttribute(const pugi::xml_node &node, std::string_view local);
/// Parses `xml` into `doc`; false with `detail` naming `part` when not well-formed.
bool parsePackageXml(std::string_view xml, std::string_view part, pugi::xml_document *doc,
                     std::string *detail);

/// Resolves a relationship target against the part that holds the
/// relationship ("xl/workbook.xml" + "worksheets/sheet1.xml" gives
/// "xl/worksheets/sheet1.xml"; "/xl/x.xml" is taken from the root).
std::string resolvePartTarget(std::string_view sourcePart, std::string_view target);
/// The relationships part of `part` ("xl/workbook.xml" gives "xl/_rels/workbook.xml.rels").
std::string relationshipsPartOf(std::string_view part);

} // namespace orvane
