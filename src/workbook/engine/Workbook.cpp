#include "workbook/engine/Workbook.h"

#include "workbook/engine/CompoundFile.h"
#include "workbook/engine/FileReplacement.h"
#include "workbook/engine/OdsReader.h"
#include "workbook/engine/PackageXml.h"
#include "workbook/engine/PartXmlSource.h"
#include "workbook/engine/SharedStrings.h"
#include "workbook/engine/SheetParser.h"
#include "workbook/engine/SheetWriter.h"
#include "workbook/engine/StyleTable.h"
#include "workbook/engine/XlsReader.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/ZipPackage.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <unordered_map>
#include <zip.h>

namespace orvane
{

namespace
{

std::string messageFor(WorkbookStatus status, const std::string &path, const std::string &detail)
{
    switch (status) {
    case WorkbookStatus::Ok:
        break;
    case WorkbookStatus::NotFound:
        return "The workbook " + path + " does not exist.";
    case WorkbookStatus::NotWorkbook:
        return "The file " + path + " is not an Excel workbook: " + detail + ".";
    case WorkbookStatus::Damaged:
        return "The workbook " + path + " is damaged: " + detail + ".";
    case WorkbookStatus::OverBound:
        return "The workbook " + path + " is over the size this program opens: " + detail + ".";
    case WorkbookStatus::Encrypted:
        return "The workbook " + path +
               " is protected with a password (encrypted); remove the password in Excel to use it here.";
    case WorkbookStatus::Unreadable:
        return "The workbook " + path + " cannot be read: " + detail + ".";
    case WorkbookStatus::ReadOnly:
        if (!detail.empty()) {
            return "The workbook " + path + " is " + detail +
                   ", which can be read but not saved here; save it as .xlsx to write to it.";
        }
        return "The workbook " + path +
               " is in the old .xls format, which can be read but not saved here; save it as .xlsx in Excel "
               "to write to it.";
    case WorkbookStatus::ChangedOnDisk:
        return "The workbook " + path +
               " was changed or removed by another program after it was opened; it was not saved, to keep "
               "those changes.";
    case WorkbookStatus::SaveFailed:
        return "The workbook " + path + " could not be saved: " + detail + ". The file is unchanged.";
    }
    return std::string();
}

bool fail(WorkbookError *error, WorkbookStatus status, const std::string &path, const std::string &detail)
{
    error->status = status;
    error->message = messageFor(status, path, detail);
    return false;
}

// A part that could not be read: over a bound, or damaged.
bool failRead(WorkbookError *error, ZipPackage::ReadError why, const std::string &path,
              const std::string &detail)
{
    const bool over = why == ZipPackage::ReadError::OverBound;
    return fail(error, over ? WorkbookStatus::OverBound : WorkbookStatus::Damaged, path, detail);
}

bool endsWith(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool hasExtension(const std::string &path, const char *extension)
{
    const size_t length = std::strlen(extension);
    return path.size() > length && ::strcasecmp(path.c_str() + path.size() - length, extension) == 0;
}

struct Relationship {
    std::string type;
    std::string target;
};

// Relationship id → type and resolved target of one relationships part.
bool readRelationships(const ZipPackage &zip, const std::string &sourcePart, const std::string &relsPart,
                       std::unordered_map<std::string, Relationship> *out, std::string *detail,
                       ZipPackage::ReadError *why)
{
    std::string xml;
    *why = ZipPackage::ReadError::Damaged;
    if (!zip.read(relsPart, &xml, detail, why)) {
        return false;
    }
    pugi::xml_document doc;
    if (!parsePackageXml(xml, relsPart, &doc, detail)) {
        return false;
    }
    for (pugi::xml_node rel = doc.document_element().first_child(); rel; rel = rel.next_sibling()) {
        if (xmlLocalName(rel) != "Relationship") {
            continue;
        }
        std::string_view mode = xmlAttribute(rel, "TargetMode").value();
        if (mode == "External") {
            continue;
        }
        (*out)[xmlAttribute(rel, "Id").value()] = {
            xmlAttribute(rel, "Type").value(),
            resolvePartTarget(sourcePart, xmlAttribute(rel, "Target").value())};
    }
    return true;
}

const Relationship *relationshipOfType(const std::unordered_map<std::string, Relationship> &rels,
                                       std::string_view typeTail)
{
    for (const auto &[id, rel] : rels) {
        if (endsWith(rel.type, typeTail)) {
            return &rel;
        }
    }
    return nullptr;
}

// Removes every element `local` whose attribute `attr` satisfies `match`.
template <typename Match>
bool removeElements(std::string_view xml, std::string_view local, std::string_view attr, Match match,
                    std::string *out)
{
    XmlReader reader(xml);
    std::vector<std::pair<size_t, size_t>> spans;
    for (XmlReader::Token t = reader.next(); t != XmlReader::EndOfDocument; t = reader.next()) {
        if (t == XmlReader::Malformed) {
            return false;
        }
        std::string_view value;
        if (t == XmlReader::StartElement && reader.localName() == local && reader.attribute(attr, &value) &&
            match(value)) {
            size_t begin = reader.begin();
            if (!reader.skipElement()) {
                return false;
            }
            spans.emplace_back(begin, reader.end());
        }
    }
    out->clear();
    size_t pos = 0;
    for (const auto &[begin, end] : spans) {
        out->append(xml.substr(pos, begin - pos));
        pos = end;
    }
    out->append(xml.substr(pos));
    return !spans.empty();
}

bool readEntry(zip_t *archive, zip_int64_t index, std::string *out)
{
    zip_file_t *file = zip_fopen_index(archive, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        return false;
    }
    std::string error;
    const bool ok = inflateEntry(file, 1u << 26, out, &error);
    zip_fclose(file);
    return ok;
}

bool replaceEntry(zip_t *archive, zip_int64_t index, const std::string &data)
{
    zip_source_t *source = zip_source_buffer(archive, data.data(), data.size(), 0);
    if (!source) {
        return false;
    }
    if (zip_file_replace(archive, static_cast<zip_uint64_t>(index), source, 0) != 0) {
        zip_source_free(source);
        return false;
    }
    return true;
}

// Reads and parses the shared string table, on its own thread with its own
// handle on the archive when the table is large.
class StringsLoader
{
  public:
    StringsLoader(const std::string &path, SharedStrings *strings) : path_(path), strings_(strings) {}
    ~StringsLoader()
    {
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    void start(const ZipPackage &zip, const std::string &part)
    {
        if (zip.size(part) >= kThreadThreshold) {
            try {
                thread_ = std::thread([this, part] { load(part); });
                return;
            } catch (const std::system_error &) {
                // No thread to be had: read it here.
            }
        }
        ok_ = readFrom(zip, part);
    }

    /// Waits for the table; false with `detail` and `why` set when it could not be read.
    bool finish(std::string *detail, ZipPackage::ReadError *why)
    {
        if (thread_.joinable()) {
            thread_.join();
        }
        if (!ok_) {
            *detail = detail_;
            *why = why_;
        }
        return ok_;
    }

  private:
    static constexpr unsigned long long kThreadThreshold = 1 << 20;

    void load(const std::string &part)
    {
        ZipPackage::OpenError error = ZipPackage::OpenError::None;
        std::unique_ptr<ZipPackage> own = ZipPackage::open(path_, &error, &detail_);
        ok_ = own && readFrom(*own, part);
    }

    bool readFrom(const ZipPackage &zip, const std::string &part)
    {
        std::unique_ptr<PartStream> stream = zip.openPart(part, &detail_, &why_);
        return stream && strings_->parse(stream.get(), &detail_, &why_);
    }

    std::string path_;
    SharedStrings *strings_;
    std::thread thread_;
    bool ok_ = true;
    std::string detail_;
    ZipPackage::ReadError why_ = ZipPackage::ReadError::Damaged;
};

// The sheet part as the file open on `fd` holds it, for a save, read front
// to back as the rewriter copies it: the open kept only the part's spans,
// which fit the bytes it parsed and no others.
class PartForSave
{
  public:
    bool open(int fd, const std::string &part, unsigned long long size, unsigned long crc, std::string *detail)
    {
        const int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
        if (own < 0 || ::lseek(own, 0, SEEK_SET) != 0) {
            *detail = std::string("cannot read the workbook again (") + std::strerror(errno) + ")";
            if (own >= 0)
                ::close(own);
            return false;
        }
        ZipPackage::OpenError error = ZipPackage::OpenError::None;
        zip_ = ZipPackage::openDescriptor(own, &error, detail);
        if (!zip_) {
            *detail = "cannot read the workbook again (" + *detail + ")";
            return false;
        }
        unsigned long long nowSize = 0;
        unsigned long nowCrc = 0;
        if (!zip_->entryChecksum(part, &nowSize, &nowCrc) || nowSize != size || nowCrc != crc) {
            *detail = "the part " + part + " is no longer the one that was opened";
            return false;
        }
        stream_ = zip_->openPart(part, detail);
        if (!stream_) {
            *detail = "cannot read the workbook again (" + *detail + ")";
            return false;
        }
        source_ = std::make_unique<PartXmlSource>(stream_.get());
        return true;
    }
    XmlSource *source() { return source_.get(); }
    /// Why the part stopped reading partway, when it did.
    bool failed(std::string *detail) const
    {
        if (!stream_ || !stream_->failed())
            return false;
        *detail = "cannot read the workbook again (" + stream_->detail() + ")";
        return true;
    }

  private:
    std::unique_ptr<ZipPackage> zip_;
    std::unique_ptr<PartStream> stream_;
    std::unique_ptr<PartXmlSource> source_;
};

} // namespace

struct Workbook::XlsxParts {
    std::string sheetPart;
    unsigned long long sheetSize = 0; ///< what the sheet part's entry declared when it was parsed
    unsigned long sheetCrc = 0;
    std::string calcChainPart; ///< empty when the workbook has none
    std::string workbookRelsPart;
};

Workbook::~Workbook()
{
    if (originalFd_ >= 0)
        ::close(originalFd_);
}

std::unique_ptr<Workbook> Workbook::open(const std::string &path, WorkbookError *error)
{
    *error = WorkbookError();
    std::unique_ptr<Workbook> book(new Workbook);
    book->path_ = path;
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) {
        bool missing = errno == ENOENT || errno == ENOTDIR;
        fail(error, missing ? WorkbookStatus::NotFound : WorkbookStatus::Unreadable, path,
             std::strerror(errno));
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        fail(error, WorkbookStatus::NotWorkbook, path, "it is a folder");
        return nullptr;
    }
    char head[96] = {}; // an OpenDocument package names its type at byte 38
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        fail(error, WorkbookStatus::Unreadable, path, std::strerror(errno));
        return nullptr;
    }
    ssize_t got = ::read(fd, head, sizeof head);
    ::close(fd);
    std::string_view magic(head, got > 0 ? static_cast<size_t>(got) : 0);
    bool ok = false;
    std::string detail;
    if (hasExtension(path, ".csv")) {
        WorkbookStatus status = book->openCsv(&detail);
        ok = status == WorkbookStatus::Ok || fail(error, status, path, detail);
    } else if (magic.empty()) {
        fail(error, WorkbookStatus::NotWorkbook, path, "the file is empty");
    } else if (hasOdsSignature(magic) || (magic.starts_with("PK") && hasExtension(path, ".ods"))) {
        WorkbookStatus status = book->openOds(&detail);
        ok = status == WorkbookStatus::Ok || fail(error, status, path, detail);
    } else if (magic.starts_with("PK")) {
        ok = book->openXlsx(error);
    } else if (CompoundFile::hasSignature(magic)) {
        ok = book->openCompound(error);
    } else {
        fail(error, WorkbookStatus::NotWorkbook, path,
             "its content is neither an .xlsx package nor an .xls file");
    }
    if (!ok || !fileIdentityOf(path, &book->identity_)) {
        if (ok) {
            fail(error, WorkbookStatus::Unreadable, path, std::strerror(errno));
        }
        return nullptr;
    }
    return book;
}

bool Workbook::openCompound(WorkbookError *error)
{
    format_ = Format::Xls;
    std::string data;
    int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fail(error, WorkbookStatus::Unreadable, path_, std::strerror(errno));
    }
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return fail(error, WorkbookStatus::Unreadable, path_, std::strerror(errno));
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    CompoundFile file;
    if (!file.open(std::move(data))) {
        return fail(error, WorkbookStatus::Damaged, path_, "its compound document structure is broken");
    }
    // An encrypted .xlsx is a compound document that wraps the encrypted package.
    if (file.hasStream("EncryptedPackage") || file.hasStream("EncryptionInfo")) {
        return fail(error, WorkbookStatus::Encrypted, path_, std::string());
    }
    XlsContent content;
    std::string detail;
    switch (readXlsWorkbook(path_, file, &content, &detail)) {
    case XlsOutcome::Ok:
        break;
    case XlsOutcome::NotWorkbook:
        return fail(error, WorkbookStatus::NotWorkbook, path_, detail);
    case XlsOutcome::Damaged:
        return fail(error, WorkbookStatus::Damaged, path_, detail);
    case XlsOutcome::Encrypted:
        return fail(error, WorkbookStatus::Encrypted, path_, detail);
    case XlsOutcome::Unreadable:
        return fail(error, WorkbookStatus::Unreadable, path_, detail);
    }
    sheetNames_ = std::move(content.sheetNames);
    activeSheet_ = content.activeSheet;
    sheet_ = std::move(content.sheet);
    return true;
}

bool Workbook::openXlsx(WorkbookError *error)
{
    format_ = Format::Xlsx;
    ZipPackage::OpenError zipError = ZipPackage::OpenError::None;
    std::string detail;
    std::unique_ptr<ZipPackage> zip = ZipPackage::open(path_, &zipError, &detail);
    if (!zip) {
        if (zipError == ZipPackage::OpenError::Unreadable) {
            return fail(error, WorkbookStatus::Unreadable, path_, detail);
        }
        // The file starts like a ZIP archive, so a missing directory means it was cut short.
        return fail(error, WorkbookStatus::Damaged, path_,
                    "the ZIP archive is truncated or corrupt (" + detail + ")");
    }
    if (!zip->contains("_rels/.rels") || !zip->contains("[Content_Types].xml")) {
        return fail(error, WorkbookStatus::NotWorkbook, path_,
                    "a ZIP archive that is not an Office document");
    }
    ZipPackage::ReadError why = ZipPackage::ReadError::None;
    std::unordered_map<std::string, Relationship> rootRels;
    if (!readRelationships(*zip, "", "_rels/.rels", &rootRels, &detail, &why)) {
        return failRead(error, why, path_, detail);
    }
    const Relationship *office = relationshipOfType(rootRels, "/officeDocument");
    if (!office || !zip->contains(office->target)) {
        return fail(error, WorkbookStatus::NotWorkbook, path_, "an Office document without a workbook");
    }
    std::string workbookPart = office->target;
    std::string xml;
    pugi::xml_document doc;
    if (!zip->read(workbookPart, &xml, &detail, &why)) {
        return failRead(error, why, path_, detail);
    }
    if (!parsePackageXml(xml, workbookPart, &doc, &detail)) {
        return fail(error, WorkbookStatus::Damaged, path_, detail);
    }
    pugi::xml_node root = doc.document_element();
    if (xmlLocalName(root) != "workbook") {
        return fail(error, WorkbookStatus::NotWorkbook, path_, "an Office document that is not a workbook");
    }
    std::string_view date1904 = xmlAttribute(xmlChild(root, "workbookPr"), "date1904").value();
    bool is1904 = date1904 == "1" || date1904 == "true";
    std::vector<std::string> sheetIds;
    for (pugi::xml_node s = xmlChild(root, "sheets").first_child(); s; s = s.next_sibling()) {
        if (xmlLocalName(s) == "sheet") {
            sheetNames_.push_back(xmlAttribute(s, "name").value());
            sheetIds.push_back(xmlAttribute(s, "id").value());
        }
    }
    if (sheetNames_.empty()) {
        return fail(error, WorkbookStatus::Damaged, path_, "it lists no sheets");
    }
    int active = xmlAttribute(xmlChild(xmlChild(root, "bookViews"), "workbookView"), "activeTab").as_int(0);
    activeSheet_ = active >= 0 && static_cast<size_t>(active) < sheetNames_.size() ? active : 0;

    parts_ = std::make_unique<XlsxParts>();
    parts_->workbookRelsPart = relationshipsPartOf(workbookPart);
    std::unordered_map<std::string, Relationship> rels;
    if (!readRelationships(*zip, workbookPart, parts_->workbookRelsPart, &rels, &detail, &why)) {
        return failRead(error, why, path_, detail);
    }
    auto sheetRel = rels.find(sheetIds[static_cast<size_t>(activeSheet_)]);
    if (sheetRel == rels.end() || !zip->contains(sheetRel->second.target)) {
        return fail(error, WorkbookStatus::Damaged, path_,
                    "the part of sheet \"" + sheetNames_[static_cast<size_t>(activeSheet_)] +
                        "\" is missing");
    }
    if (const Relationship *chain = relationshipOfType(rels, "/calcChain")) {
        parts_->calcChainPart = chain->target;
    }
    const std::string &sheetName = sheetNames_[static_cast<size_t>(activeSheet_)];
    if (!endsWith(sheetRel->second.type, "/worksheet")) {
        // A chart sheet or dialog sheet has no cells: it reads as empty and cannot be written.
        sheet_ = std::make_unique<Worksheet>(sheetName, Worksheet::Content(), nullptr, nullptr);
        return true;
    }
    parts_->sheetPart = zip->storedName(sheetRel->second.target);

    StyleTable styles;
    if (const Relationship *rel = relationshipOfType(rels, "/styles"); rel && zip->contains(rel->target)) {
        if (!zip->read(rel->target, &xml, &detail, &why)) {
            return failRead(error, why, path_, detail);
        }
        if (!styles.parse(xml, &detail)) {
            return fail(error, WorkbookStatus::Damaged, path_, detail);
        }
    }
    // The sheet stores shared string numbers only, so a large string table is
    // read beside it on a second thread.
    auto strings = std::make_shared<SharedStrings>();
    StringsLoader loader(path_, strings.get());
    if (const Relationship *rel = relationshipOfType(rels, "/sharedStrings");
        rel && zip->contains(rel->target)) {
        loader.start(*zip, rel->target);
    }
    SheetParseInput input;
    input.sheetName = sheetName;
    input.partName = parts_->sheetPart;
    input.strings = strings;
    input.styles = &styles;
    input.date1904 = is1904;
    // The part is parsed as it inflates and not kept: a save reads it again.
    std::unique_ptr<Worksheet> sheet;
    if (std::unique_ptr<PartStream> stream = zip->openPart(parts_->sheetPart, &detail, &why)) {
        sheet = parseWorksheetStream(std::move(input), stream.get(), &detail, &why);
    }
    if (!loader.finish(&detail, &why) || !sheet) {
        return failRead(error, why, path_, detail);
    }
    zip->entryChecksum(parts_->sheetPart, &parts_->sheetSize, &parts_->sheetCrc);
    sheet_ = std::move(sheet);
    return true;
}

bool Workbook::writeText(uint32_t row, uint32_t column, std::string_view text)
{
    if (!sheet_->setText(row, column, text)) {
        return false;
    }
    // Prepared from the first write on, or never: the save takes the rows
    // only when they are every write the sheet took.
    if (sheet_->writeCount() == 1 && format_ == Format::Xlsx && sheet_->isWritable()) {
        uint32_t below = 1;
        for (const Worksheet::Row &r : sheet_->rows()) {
            below = std::max(below, r.number + 1);
        }
        try {
            appended_ = std::make_unique<AppendedRows>(sheet_->part()->prefix, below);
        } catch (const std::system_error &) {
            appended_.reset(); // no thread to be had: the save makes the rows itself
        }
    }
    if (appended_) {
        appended_->add(row, column, text);
        if (!appended_->valid()) {
            appended_.reset();
        }
    }
    return true;
}

bool Workbook::writePackage(const std::string &tempPath, int originalFd, std::string *detail)
{
    PartForSave part;
    if (!part.open(originalFd, parts_->sheetPart, parts_->sheetSize, parts_->sheetCrc, detail)) {
        return false;
    }
    int code = 0;
    zip_t *archive = zip_open(tempPath.c_str(), 0, &code);
    if (!archive) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, code);
        *detail = std::string("cannot reopen the copy (") + zip_error_strerror(&ze) + ")";
        zip_error_fini(&ze);
        return false;
    }
    // Buffers handed to libzip must live until zip_close has written them.
    std::string contentTypes, workbookRels;
    zip_int64_t sheetIndex = zip_name_locate(archive, parts_->sheetPart.c_str(), 0);
    // The new part is generated and deflated from the old one as it is read.
    // A part that does not parse would leave a workbook no program can open,
    // and one read short would lose rows: such a save is refused and the
    // file stays as it was.
    bool replacedFormula = false;
    // One save takes the prepared rows, whatever its outcome; a later save
    // makes every row itself.
    const std::unique_ptr<AppendedRows> appended = std::move(appended_);
    PreparedRows prepared;
    const bool usePrepared =
        appended && appended->valid() && appended->writes() == sheet_->writeCount() && appended->finish(&prepared);
    if (sheetIndex >= 0 && !replaceSheetEntry(archive, sheetIndex, *sheet_, part.source(), &replacedFormula,
                                              detail, usePrepared ? &prepared : nullptr)) {
        part.failed(detail);
        zip_discard(archive);
        return false;
    }
    bool ok = sheetIndex >= 0;
    zip_int64_t chainIndex = parts_->calcChainPart.empty()
                                 ? -1
                                 : zip_name_locate(archive, parts_->calcChainPart.c_str(), ZIP_FL_NOCASE);
    if (ok && replacedFormula && chainIndex >= 0) {
        // The chain lists formula cells; one that no longer is makes Excel repair the file.
        ok = zip_delete(archive, static_cast<zip_uint64_t>(chainIndex)) == 0;
        std::string original, changed;
        zip_int64_t typesIndex = zip_name_locate(archive, "[Content_Types].xml", ZIP_FL_NOCASE);
        std::string chainName = "/" + parts_->calcChainPart;
        if (ok && typesIndex >= 0 && readEntry(archive, typesIndex, &original) &&
            removeElements(
                original, "Override", "PartName",
                [&](std::string_view v) {
                    return strcasecmp(std::string(v).c_str(), chainName.c_str()) == 0;
                },
                &contentTypes)) {
            ok = replaceEntry(archive, typesIndex, contentTypes);
        }
        zip_int64_t relsIndex = zip_name_locate(archive, parts_->workbookRelsPart.c_str(), ZIP_FL_NOCASE);
        if (ok && relsIndex >= 0 && readEntry(archive, relsIndex, &original) &&
            removeElements(
                original, "Relationship", "Type",
                [](std::string_view v) { return endsWith(v, "/calcChain"); }, &workbookRels)) {
            ok = replaceEntry(archive, relsIndex, workbookRels);
        }
    }
    if (!ok) {
        *detail = std::string("cannot update the copy (") + zip_strerror(archive) + ")";
        zip_discard(archive);
        return false;
    }
    if (zip_close(archive) != 0) {
        *detail = std::string("cannot write the copy (") + zip_strerror(archive) + ")";
        zip_discard(archive);
        return false;
    }
    return true;
}

bool Workbook::save(WorkbookError *error)
{
    *error = WorkbookError();
    if (!sheet_->isModified()) {
        return true;
    }
    if (format_ != Format::Xlsx) {
        return fail(error, WorkbookStatus::ReadOnly, path_, readOnlyKind());
    }
    if (!sheet_->isWritable()) {
        return fail(error, WorkbookStatus::SaveFailed, path_, "the active sheet is not a worksheet");
    }
    // Save through a symbolic link into the file it names, keeping the link.
    char resolved[PATH_MAX];
    std::string target = ::realpath(path_.c_str(), resolved) ? std::string(resolved) : path_;
    FileIdentity now;
    if (!fileIdentityOf(target, &now) || !(now == identity_)) {
        return fail(error, WorkbookStatus::ChangedOnDisk, path_, std::string());
    }
    struct stat current;
    if (::stat(target.c_str(), &current) == 0 && (current.st_mode & 0222) == 0) {
        // Replacing the file would make a write-protected workbook writable behind its owner's back.
        return fail(error, WorkbookStatus::SaveFailed, path_, "the file is write-protected");
    }
    // The first save reads the sheet part from the file as it was opened
    // (the identity says it still is) and keeps that version open, since the
    // sheet's spans fit only its part.
    const int originalFd = originalFd_ >= 0 ? originalFd_ : ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (originalFd < 0) {
        return fail(error, WorkbookStatus::SaveFailed, path_, std::strerror(errno));
    }
    auto release = [&] {
        if (originalFd != originalFd_)
            ::close(originalFd);
    };
    std::string tempPath, detail;
    if (!copyToSiblingTemp(target, &tempPath, &detail)) {
        release();
        return fail(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    struct stat st;
    if (!writePackage(tempPath, originalFd, &detail) || ::stat(target.c_str(), &st) != 0 ||
        ::chmod(tempPath.c_str(), st.st_mode & 07777) != 0) {
        if (detail.empty()) {
            detail = std::strerror(errno);
        }
        ::unlink(tempPath.c_str());
        release();
        return fail(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    if (!commitSiblingTemp(tempPath, target, &detail)) {
        release();
        return fail(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    originalFd_ = originalFd;
    fileIdentityOf(target, &identity_);
    return true;
}

} // namespace orvane
