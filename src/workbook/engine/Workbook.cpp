#include "workbook/engine/Workbook.h"
#include "workbook/engine/WorkbookInternals.h"

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

// A part that could not be read: over a bound, or damaged.
bool failRead(WorkbookError *error, ZipPackage::ReadError why, const std::string &path,
              const std::string &detail)
{
    const bool over = why == ZipPackage::ReadError::OverBound;
    return failWorkbook(error, over ? WorkbookStatus::OverBound : WorkbookStatus::Damaged, path, detail);
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
        if (std::string_view(rel.type).ends_with(typeTail)) {
            return &rel;
        }
    }
    return nullptr;
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

} // namespace

bool failWorkbook(WorkbookError *error, WorkbookStatus status, const std::string &path, const std::string &detail)
{
    error->status = status;
    error->message = messageFor(status, path, detail);
    return false;
}

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
        failWorkbook(error, missing ? WorkbookStatus::NotFound : WorkbookStatus::Unreadable, path,
             std::strerror(errno));
        return nullptr;
    }
    if (S_ISDIR(st.st_mode)) {
        failWorkbook(error, WorkbookStatus::NotWorkbook, path, "it is a folder");
        return nullptr;
    }
    char head[96] = {}; // an OpenDocument package names its type at byte 38
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        failWorkbook(error, WorkbookStatus::Unreadable, path, std::strerror(errno));
        return nullptr;
    }
    ssize_t got = ::read(fd, head, sizeof head);
    ::close(fd);
    std::string_view magic(head, got > 0 ? static_cast<size_t>(got) : 0);
    bool ok = false;
    std::string detail;
    if (hasExtension(path, ".csv")) {
        WorkbookStatus status = book->openCsv(&detail);
        ok = status == WorkbookStatus::Ok || failWorkbook(error, status, path, detail);
    } else if (magic.empty()) {
        failWorkbook(error, WorkbookStatus::NotWorkbook, path, "the file is empty");
    } else if (hasOdsSignature(magic) || (magic.starts_with("PK") && hasExtension(path, ".ods"))) {
        WorkbookStatus status = book->openOds(&detail);
        ok = status == WorkbookStatus::Ok || failWorkbook(error, status, path, detail);
    } else if (magic.starts_with("PK")) {
        ok = book->openXlsx(error);
    } else if (CompoundFile::hasSignature(magic)) {
        ok = book->openCompound(error);
    } else {
        failWorkbook(error, WorkbookStatus::NotWorkbook, path,
             "its content is neither an .xlsx package nor an .xls file");
    }
    if (!ok || !fileIdentityOf(path, &book->identity_)) {
        if (ok) {
            failWorkbook(error, WorkbookStatus::Unreadable, path, std::strerror(errno));
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
        return failWorkbook(error, WorkbookStatus::Unreadable, path_, std::strerror(errno));
    }
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return failWorkbook(error, WorkbookStatus::Unreadable, path_, std::strerror(errno));
        }
        data.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    CompoundFile file;
    if (!file.open(std::move(data))) {
        return failWorkbook(error, WorkbookStatus::Damaged, path_, "its compound document structure is broken");
    }
    // An encrypted .xlsx is a compound document that wraps the encrypted package.
    if (file.hasStream("EncryptedPackage") || file.hasStream("EncryptionInfo")) {
        return failWorkbook(error, WorkbookStatus::Encrypted, path_, std::string());
    }
    XlsContent content;
    std::string detail;
    switch (readXlsWorkbook(path_, file, &content, &detail)) {
    case XlsOutcome::Ok:
        break;
    case XlsOutcome::NotWorkbook:
        return failWorkbook(error, WorkbookStatus::NotWorkbook, path_, detail);
    case XlsOutcome::Damaged:
        return failWorkbook(error, WorkbookStatus::Damaged, path_, detail);
    case XlsOutcome::Encrypted:
        return failWorkbook(error, WorkbookStatus::Encrypted, path_, detail);
    case XlsOutcome::Unreadable:
        return failWorkbook(error, WorkbookStatus::Unreadable, path_, detail);
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
            return failWorkbook(error, WorkbookStatus::Unreadable, path_, detail);
        }
        // The file starts like a ZIP archive, so a missing directory means it was cut short.
        return failWorkbook(error, WorkbookStatus::Damaged, path_,
                    "the ZIP archive is truncated or corrupt (" + detail + ")");
    }
    if (!zip->contains("_rels/.rels") || !zip->contains("[Content_Types].xml")) {
        return failWorkbook(error, WorkbookStatus::NotWorkbook, path_,
                    "a ZIP archive that is not an Office document");
    }
    ZipPackage::ReadError why = ZipPackage::ReadError::None;
    std::unordered_map<std::string, Relationship> rootRels;
    if (!readRelationships(*zip, "", "_rels/.rels", &rootRels, &detail, &why)) {
        return failRead(error, why, path_, detail);
    }
    const Relationship *office = relationshipOfType(rootRels, "/officeDocument");
    if (!office || !zip->contains(office->target)) {
        return failWorkbook(error, WorkbookStatus::NotWorkbook, path_, "an Office document without a workbook");
    }
    std::string workbookPart = office->target;
    std::string xml;
    pugi::xml_document doc;
    if (!zip->read(workbookPart, &xml, &detail, &why)) {
        return failRead(error, why, path_, detail);
    }
    if (!parsePackageXml(xml, workbookPart, &doc, &detail)) {
        return failWorkbook(error, WorkbookStatus::Damaged, path_, detail);
    }
    pugi::xml_node root = doc.document_element();
    if (xmlLocalName(root) != "workbook") {
        return failWorkbook(error, WorkbookStatus::NotWorkbook, path_, "an Office document that is not a workbook");
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
        return failWorkbook(error, WorkbookStatus::Damaged, path_, "it lists no sheets");
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
        return failWorkbook(error, WorkbookStatus::Damaged, path_,
                    "the part of sheet \"" + sheetNames_[static_cast<size_t>(activeSheet_)] +
                        "\" is missing");
    }
    if (const Relationship *chain = relationshipOfType(rels, "/calcChain")) {
        parts_->calcChainPart = chain->target;
    }
    const std::string &sheetName = sheetNames_[static_cast<size_t>(activeSheet_)];
    if (!std::string_view(sheetRel->second.type).ends_with("/worksheet")) {
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
            return failWorkbook(error, WorkbookStatus::Damaged, path_, detail);
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

} // namespace orvane
