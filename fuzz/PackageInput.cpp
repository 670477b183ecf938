#include "PackageInput.h"

#include <zip.h>

namespace orvane::fuzz
{

namespace
{

constexpr size_t kMaxParts = 32;

const char kContentTypes[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
    "<Override PartName=\"/xl/workbook.xml\" "
    "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
    "</Types>";

const char kRootRelationships[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
    "<Relationship Id=\"rId1\" "
    "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
    "Target=\"xl/workbook.xml\"/></Relationships>";

bool hasPart(const PackageParts &parts, std::string_view name)
{
    for (const auto &part : parts) {
        if (part.first == name)
            return true;
    }
    return false;
}

bool endsWith(std::string_view text, std::string_view end)
{
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

} // namespace

PackageParts splitPackageInput(std::string_view input)
{
    PackageParts parts;
    while (!input.empty() && parts.size() < kMaxParts) {
        const size_t end = std::min(input.find('\0'), input.size());
        const std::string_view piece = input.substr(0, end);
        input.remove_prefix(std::min(end + 1, input.size()));
        const size_t newline = piece.find('\n');
        if (newline == std::string_view::npos || newline == 0)
            continue;
        parts.emplace_back(std::string(piece.substr(0, newline)), std::string(piece.substr(newline + 1)));
    }
    return parts;
}

std::string joinPackageInput(const PackageParts &parts)
{
    std::string input;
    for (const auto &[name, content] : parts) {
        if (!input.empty())
            input += '\0';
        input += name + '\n' + content;
    }
    return input;
}

bool writePackage(const std::string &path, const PackageParts &parts)
{
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive)
        return false;
    PackageParts all = parts;
    if (!hasPart(all, "[Content_Types].xml"))
        all.emplace_back("[Content_Types].xml", kContentTypes);
    if (!hasPart(all, "_rels/.rels"))
        all.emplace_back("_rels/.rels", kRootRelationships);
    for (const auto &[name, content] : all) {
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (!source)
            continue;
        const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
        if (index < 0) {
            zip_source_free(source);
            continue;
        }
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    }
    if (zip_close(archive) != 0) {
        zip_discard(archive);
        return false;
    }
    return true;
}

PackageParts readPackageTextParts(const std::string &path)
{
    PackageParts parts;
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive)
        return parts;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        zip_stat_t stat;
        if (!name || (!endsWith(name, ".xml") && !endsWith(name, ".rels")) ||
            zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0)
            continue;
        zip_file_t *file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!file)
            continue;
        std::string content(static_cast<size_t>(stat.size), '\0');
        const zip_int64_t read = zip_fread(file, content.data(), content.size());
        zip_fclose(file);
        if (read == static_cast<zip_int64_t>(content.size()))
            parts.emplace_back(name, std::move(content));
    }
    zip_close(archive);
    return parts;
}

} // namespace orvane::fuzz
