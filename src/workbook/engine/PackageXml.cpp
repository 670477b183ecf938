#include "workbook/engine/PackageXml.h"

#include <vector>

namespace orvane
{

std::string_view xmlLocalName(const pugi::xml_node &node)
{
    std::string_view name = node.name();
    size_t colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

pugi::xml_node xmlChild(const pugi::xml_node &node, std::string_view local)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element && xmlLocalName(child) == local) {
            return child;
        }
    }
    return pugi::xml_node();
}

pugi::xml_attribute xmlAttribute(const pugi::xml_node &node, std::string_view local)
{
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        std::string_view name = a.name();
        size_t colon = name.find(':');
        if (colon != std::string_view::npos) {
            if (name.substr(0, colon) == "xmlns") {
                continue;
            }
            name = name.substr(colon + 1);
        }
        if (name == local) {
            return a;
        }
    }
    return pugi::xml_attribute();
}

bool parsePackageXml(std::string_view xml, std::string_view part, pugi::xml_document *doc,
                     std::string *detail)
{
    // Without parse_doctype a document type declaration is an error, which is
    // what the packaging rules ask for.
    pugi::xml_parse_result result = doc->load_buffer(
        xml.data(), xml.size(), pugi::parse_default & ~pugi::parse_doctype, pugi::encoding_utf8);
    if (!result || !doc->document_element()) {
        *detail = std::string(part) + " is not well-formed (" + result.description() + " near byte " +
                  std::to_string(result.offset) + ")";
        return false;
    }
    return true;
}

std::string resolvePartTarget(std::string_view sourcePart, std::string_view target)
{
    std::string joined;
    if (!target.empty() && target[0] == '/') {
        joined = std::string(target.substr(1));
    } else {
        size_t slash = sourcePart.rfind('/');
        joined =
            (slash == std::string_view::npos ? std::string() : std::string(sourcePart.substr(0, slash + 1))) +
            std::string(target);
    }
    std::vector<std::string> segments;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t slash = joined.find('/', start);
        if (slash == std::string::npos) {
            slash = joined.size();
        }
        std::string segment = joined.substr(start, slash - start);
        if (segment == "..") {
            if (!segments.empty()) {
                segments.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = slash + 1;
    }
    std::string result;
    for (const std::string &s : segments) {
        if (!result.empty()) {
            result += '/';
        }
        result += s;
    }
    return result;
}

std::string relationshipsPartOf(std::string_view part)
{
    size_t slash = part.rfind('/');
    std::string dir =
        slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
    std::string file(slash == std::string_view::npos ? part : part.substr(slash + 1));
    return dir + "_rels/" + file + ".rels";
}

} // namespace orvane
