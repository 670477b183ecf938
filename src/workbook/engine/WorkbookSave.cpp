#include "workbook/engine/Workbook.h"
#include "workbook/engine/WorkbookInternals.h"

#include "workbook/engine/FileReplacement.h"
#include "workbook/engine/PartXmlSource.h"
#include "workbook/engine/SheetWriter.h"
#include "workbook/engine/XmlReader.h"
#include "workbook/engine/ZipPackage.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <zip.h>

// The workbook's writes and its save: the written cells go into the sheet
// (and, for rows below it, into rows prepared on a thread), and the save
// writes a new package beside the file from the part the open parsed.

namespace orvane
{

namespace
{

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
                [](std::string_view v) { return v.ends_with("/calcChain"); }, &workbookRels)) {
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
        return failWorkbook(error, WorkbookStatus::ReadOnly, path_, readOnlyKind());
    }
    if (!sheet_->isWritable()) {
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, "the active sheet is not a worksheet");
    }
    // Save through a symbolic link into the file it names, keeping the link.
    char resolved[PATH_MAX];
    std::string target = ::realpath(path_.c_str(), resolved) ? std::string(resolved) : path_;
    FileIdentity now;
    if (!fileIdentityOf(target, &now) || !(now == identity_)) {
        return failWorkbook(error, WorkbookStatus::ChangedOnDisk, path_, std::string());
    }
    struct stat current;
    if (::stat(target.c_str(), &current) == 0 && (current.st_mode & 0222) == 0) {
        // Replacing the file would make a write-protected workbook writable behind its owner's back.
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, "the file is write-protected");
    }
    // The first save reads the sheet part from the file as it was opened
    // (the identity says it still is) and keeps that version open, since the
    // sheet's spans fit only its part.
    const int originalFd = originalFd_ >= 0 ? originalFd_ : ::open(target.c_str(), O_RDONLY | O_CLOEXEC);
    if (originalFd < 0) {
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, std::strerror(errno));
    }
    auto release = [&] {
        if (originalFd != originalFd_)
            ::close(originalFd);
    };
    std::string tempPath, detail;
    if (!copyToSiblingTemp(target, &tempPath, &detail)) {
        release();
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    struct stat st;
    if (!writePackage(tempPath, originalFd, &detail) || ::stat(target.c_str(), &st) != 0 ||
        ::chmod(tempPath.c_str(), st.st_mode & 07777) != 0) {
        if (detail.empty()) {
            detail = std::strerror(errno);
        }
        ::unlink(tempPath.c_str());
        release();
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    if (!commitSiblingTemp(tempPath, target, &detail)) {
        release();
        return failWorkbook(error, WorkbookStatus::SaveFailed, path_, detail);
    }
    originalFd_ = originalFd;
    fileIdentityOf(target, &identity_);
    return true;
}

} // namespace orvane
