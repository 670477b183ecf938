#include "WorkbookFixtures.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <xlsxwriter.h>
#include <zip.h>

namespace orvane::test
{

namespace fs = std::filesystem;

std::string scratchDir(const std::string &name)
{
    // The test programs of this folder run in parallel: each gets its own root.
    fs::path dir = fs::path(ORVANE_TEST_TMP) / program_invocation_short_name / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

namespace
{

std::string shellQuoted(const std::string &text)
{
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

} // namespace

int runPythonScript(const std::string &script, const std::vector<std::string> &args, std::string *output)
{
    std::string command =
        "/usr/bin/python3 " + shellQuoted(ORVANE_SOURCE_DIR "/tests/workbook/scripts/" + script);
    for (const std::string &a : args) {
        command += " " + shellQuoted(a);
    }
    command += " 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        return -1;
    }
    char buffer[4096];
    output->clear();
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output->append(buffer, n);
    }
    int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writeXlsxWriterWorkbook(const std::string &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *intro = workbook_add_worksheet(wb, "Intro");
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Data");
    lxw_worksheet *notes = workbook_add_worksheet(wb, "Notes");
    worksheet_write_string(intro, 0, 0, "intro", nullptr);
    worksheet_write_string(notes, 0, 0, "notes", nullptr);
    worksheet_activate(ws);

    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format *isoDate = workbook_add_format(wb);
    format_set_num_format(isoDate, "yyyy-mm-dd");
    lxw_format *dateTime = workbook_add_format(wb);
    format_set_num_format(dateTime, "yyyy-mm-dd hh:mm:ss");
    lxw_format *timeOnly = workbook_add_format(wb);
    format_set_num_format(timeOnly, "hh:mm:ss");
    lxw_format *builtInDate = workbook_add_format(wb);
    format_set_num_format_index(builtInDate, 14);
    lxw_format *filled = workbook_add_format(wb);
    format_set_bg_color(filled, LXW_COLOR_YELLOW);

    const char *headers[] = {"Name", "Code", "Rich", "Unicode"};
    for (int c = 0; c < 4; ++c) {
        worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), headers[c], bold);
    }
    worksheet_write_string(ws, 1, 0, "Alice", nullptr);
    worksheet_write_string(ws, 1, 1, "00123", nullptr);
    lxw_rich_string_tuple first = {bold, const_cast<char *>("Bold")};
    lxw_rich_string_tuple second = {nullptr, const_cast<char *>("Plain")};
    lxw_rich_string_tuple *runs[] = {&first, &second, nullptr};
    worksheet_write_rich_string(ws, 1, 2, runs, nullptr);
    worksheet_write_string(ws, 1, 3, "Zo\xC3\xAB \xE2\x9C\x93 <&>", nullptr);

    const double numbers[] = {42, 3.25, 0.1 + 0.2, 123456789012345678.0, 1e-7, -17.5, 1234567.891};
    for (int c = 0; c < 7; ++c) {
        worksheet_write_number(ws, 2, static_cast<lxw_col_t>(c), numbers[c], nullptr);
    }
    lxw_datetime day = {2024, 1, 5, 0, 0, 0};
    lxw_datetime moment = {2024, 1, 5, 13, 4, 5};
    lxw_datetime lastDay = {2023, 12, 31, 0, 0, 0};
    worksheet_write_datetime(ws, 3, 0, &day, isoDate);
    worksheet_write_datetime(ws, 3, 1, &moment, dateTime);
    worksheet_write_number(ws, 3, 2, 0.5, timeOnly);
    worksheet_write_datetime(ws, 3, 3, &lastDay, builtInDate);
    worksheet_write_number(ws, 3, 4, 45296, nullptr);

    worksheet_write_boolean(ws, 4, 0, 1, nullptr);
    worksheet_write_boolean(ws, 4, 1, 0, nullptr);
    worksheet_write_blank(ws, 4, 2, filled);
    worksheet_write_formula_num(ws, 4, 3, "=1+2", nullptr, 3);
    worksheet_write_string(ws, 6, 7, "last", nullptr);
    if (workbook_close(wb) != LXW_NO_ERROR) {
        throw std::runtime_error("libxlsxwriter could not write " + path);
    }
}

void writeColumnWorkbook(const std::string &path, int column,
                         const std::vector<std::pair<int, std::string>> &cells, bool inlineStrings)
{
    lxw_workbook_options options = {};
    options.constant_memory = inlineStrings ? LXW_TRUE : LXW_FALSE;
    lxw_workbook *wb = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet *ws = workbook_add_worksheet(wb, nullptr);
    for (const auto &[row, text] : cells) {
        worksheet_write_string(ws, static_cast<lxw_row_t>(row - 1), static_cast<lxw_col_t>(column - 1),
                               text.c_str(), nullptr);
    }
    if (workbook_close(wb) != LXW_NO_ERROR) {
        throw std::runtime_error("libxlsxwriter could not write " + path);
    }
}

namespace
{

void put32(std::string *s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        (*s)[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

void put16(std::string *s, size_t at, uint16_t v)
{
    (*s)[at] = static_cast<char>(v & 0xFF);
    (*s)[at + 1] = static_cast<char>(v >> 8);
}

void directoryEntry(std::string *dir, size_t index, const std::string &name, int type, uint32_t child,
                    uint32_t right, uint32_t start, uint32_t size)
{
    size_t at = index * 128;
    for (size_t i = 0; i < name.size(); ++i) {
        put16(dir, at + i * 2, static_cast<unsigned char>(name[i]));
    }
    put16(dir, at + 64, static_cast<uint16_t>((name.size() + 1) * 2));
    (*dir)[at + 66] = static_cast<char>(type);
    (*dir)[at + 67] = 1;
    put32(dir, at + 68, 0xFFFFFFFF);
    put32(dir, at + 72, right);
    put32(dir, at + 76, child);
    put32(dir, at + 116, start);
    put32(dir, at + 120, size);
}

} // namespace

void writeCompoundFile(const std::string &path,
                       const std::vector<std::pair<std::string, std::string>> &streams)
{
    const uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
    std::string header(512, '\0'), fat(512, '\0'), dir(512, '\0'), data;
    for (size_t i = 0; i < 128; ++i) {
        put32(&fat, i * 4, kFree);
    }
    put32(&fat, 0, kFatSector);
    put32(&fat, 4, kEnd);
    directoryEntry(&dir, 0, "Root Entry", 5, streams.empty() ? kFree : 1, kFree, kEnd, 0);
    uint32_t sector = 2;
    for (size_t s = 0; s < streams.size() && s < 3; ++s) {
        std::string bytes = streams[s].second;
        if (bytes.size() < 4096) {
            bytes.resize(4096, '\0');
        }
        uint32_t count = static_cast<uint32_t>((bytes.size() + 511) / 512);
        for (uint32_t k = 0; k < count; ++k) {
            put32(&fat, (sector + k) * 4, k + 1 == count ? kEnd : sector + k + 1);
        }
        bytes.resize(count * 512, '\0');
        data += bytes;
        uint32_t right = s + 1 < streams.size() && s + 1 < 3 ? static_cast<uint32_t>(s + 2) : kFree;
        directoryEntry(&dir, s + 1, streams[s].first, 2, kFree, right, sector,
                       static_cast<uint32_t>(bytes.size()));
        sector += count;
    }
    const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    header.replace(0, 8, reinterpret_cast<const char *>(signature), 8);
    put16(&header, 0x18, 0x003E);
    put16(&header, 0x1A, 3);
    put16(&header, 0x1C, 0xFFFE);
    put16(&header, 0x1E, 9);
    put16(&header, 0x20, 6);
    put32(&header, 0x2C, 1);
    put32(&header, 0x30, 1);
    put32(&header, 0x38, 4096);
    put32(&header, 0x3C, kEnd);
    put32(&header, 0x44, kEnd);
    for (size_t i = 0; i < 109; ++i) {
        put32(&header, 0x4C + i * 4, i == 0 ? 0 : kFree);
    }
    writeFile(path, header + fat + dir + data);
}

void writeZip(const std::string &path, const std::vector<std::pair<std::string, std::string>> &entries)
{
    fs::remove(path);
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const auto &[name, content] : entries) {
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    }
    if (zip_close(archive) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

namespace
{

// A libzip source reading what a generator produces, once, front to back.
struct GeneratedSource {
    std::function<bool(std::string *)> next;
    std::string chunk;
    size_t offset = 0;
    bool done = false;
};

zip_int64_t generatedSourceCall(void *state, void *data, zip_uint64_t length, zip_source_cmd_t command)
{
    auto *source = static_cast<GeneratedSource *>(state);
    switch (command) {
    case ZIP_SOURCE_OPEN:
    case ZIP_SOURCE_CLOSE:
        return 0;
    case ZIP_SOURCE_READ: {
        while (source->offset == source->chunk.size() && !source->done) {
            source->chunk.clear();
            source->offset = 0;
            source->done = !source->next(&source->chunk);
        }
        const size_t n = std::min<size_t>(length, source->chunk.size() - source->offset);
        std::memcpy(data, source->chunk.data() + source->offset, n);
        source->offset += n;
        return static_cast<zip_int64_t>(n);
    }
    case ZIP_SOURCE_STAT:
        zip_stat_init(static_cast<zip_stat_t *>(data));
        return sizeof(zip_stat_t);
    case ZIP_SOURCE_ERROR:
        return 2 * sizeof(int);
    case ZIP_SOURCE_FREE:
        delete source;
        return 0;
    case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE,
                                              ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
    default:
        return -1;
    }
}

} // namespace

void writeZipStreamed(const std::string &path,
                      const std::vector<std::pair<std::string, std::string>> &entries,
                      const std::string &name, std::function<bool(std::string *)> next, int level)
{
    fs::remove(path);
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) {
        throw std::runtime_error("cannot create " + path);
    }
    for (const auto &[entry, content] : entries) {
        if (entry == name) {
            continue;
        }
        zip_source_t *source = zip_source_buffer(archive, content.data(), content.size(), 0);
        zip_file_add(archive, entry.c_str(), source, ZIP_FL_ENC_UTF_8);
    }
    auto *state = new GeneratedSource{std::move(next), {}};
    zip_source_t *source = zip_source_function(archive, generatedSourceCall, state);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8);
    if (index < 0 ||
        zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(level)) != 0 ||
        zip_close(archive) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::pair<std::string, std::string>> minimalPackage(const std::string &sheetXml)
{
    const std::string ns = "http://schemas.openxmlformats.org/";
    return {
        {"[Content_Types].xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Types xmlns=\"" + ns +
             "package/2006/content-types\"><Default Extension=\"rels\" "
             "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
             "Extension=\"xml\" "
             "ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/"
             "><Override "
             "PartName=\"/xl/worksheets/sheet1.xml\" "
             "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/></"
             "Types>"},
        {"_rels/.rels", "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"" + ns +
                            "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + ns +
                            "officeDocument/2006/relationships/officeDocument\" "
                            "Target=\"xl/workbook.xml\"/></Relationships>"},
        {"xl/workbook.xml",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><workbook xmlns=\"" + ns +
             "spreadsheetml/2006/main\" xmlns:r=\"" + ns +
             "officeDocument/2006/relationships\"><sheets><sheet name=\"Sheet1\" sheetId=\"1\" "
             "r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?><Relationships xmlns=\"" + ns +
             "package/2006/relationships\"><Relationship Id=\"rId1\" Type=\"" + ns +
             "officeDocument/2006/relationships/worksheet\" "
             "Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", sheetXml},
    };
}

std::vector<ZipEntry> zipEntries(const std::string &path)
{
    std::vector<ZipEntry> entries;
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) {
        return entries;
    }
    zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &st);
        ZipEntry e;
        e.name = st.name;
        e.crc = st.crc;
        e.size = st.size;
        e.compressedSize = st.comp_size;
        e.method = st.comp_method;
        e.mtime = static_cast<long long>(st.mtime);
        zip_file_t *f = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), ZIP_FL_COMPRESSED);
        if (f) {
            e.raw.resize(st.comp_size);
            zip_fread(f, e.raw.data(), st.comp_size);
            zip_fclose(f);
        }
        entries.push_back(std::move(e));
    }
    zip_discard(archive);
    return entries;
}

int zipEntryFlags(const std::string &path, const std::string &name)
{
    std::string bytes = readFile(path);
    auto u16 = [&](size_t at) {
        return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos && at + 46 <= bytes.size();
         at = bytes.find("PK\x01\x02", at + 4)) {
        size_t length = static_cast<size_t>(u16(at + 28));
        if (bytes.compare(at + 46, length, name) == 0 && length == name.size()) {
            return u16(at + 8);
        }
    }
    return -1;
}

std::string zipEntryText(const std::string &path, const std::string &name)
{
    std::string text;
    int error = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!archive) {
        return text;
    }
    zip_stat_t st;
    if (zip_stat(archive, name.c_str(), 0, &st) == 0) {
        zip_file_t *f = zip_fopen(archive, name.c_str(), 0);
        if (f) {
            text.resize(st.size);
            zip_fread(f, text.data(), st.size);
            zip_fclose(f);
        }
    }
    zip_discard(archive);
    return text;
}

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

} // namespace orvane::test
