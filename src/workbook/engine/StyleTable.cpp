#include "workbook/engine/StyleTable.h"

#include "workbook/engine/CellValue.h"
#include "workbook/engine/PackageXml.h"

#include <unordered_map>

namespace orvane
{

bool StyleTable::parse(std::string_view xml, std::string *detail)
{
    dateXf_.clear();
    pugi::xml_document doc;
    if (!parsePackageXml(xml, "xl/styles.xml", &doc, detail)) {
        return false;
    }
    pugi::xml_node root = doc.document_element();
    // Custom formats may also redefine the ids of built-in ones.
    std::unordered_map<unsigned, bool> custom;
    for (pugi::xml_node fmt = xmlChild(root, "numFmts").first_child(); fmt; fmt = fmt.next_sibling()) {
        if (xmlLocalName(fmt) == "numFmt") {
            custom[xmlAttribute(fmt, "numFmtId").as_uint()] =
                isDateFormatCode(xmlAttribute(fmt, "formatCode").value());
        }
    }
    for (pugi::xml_node xf = xmlChild(root, "cellXfs").first_child(); xf; xf = xf.next_sibling()) {
        if (xmlLocalName(xf) != "xf") {
            continue;
        }
        unsigned id = xmlAttribute(xf, "numFmtId").as_uint();
        auto found = custom.find(id);
        bool date = found != custom.end() ? found->second : isBuiltInDateFormat(id);
        dateXf_.push_back(date ? 1 : 0);
    }
    return true;
}

} // namespace orvane
