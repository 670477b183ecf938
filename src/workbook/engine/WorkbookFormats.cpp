// The read-only formats a Workbook opens besides .xls: an OpenDocument
// spreadsheet and a CSV text file. Both give one read-only sheet, so lookups
// work on them exactly as on an .xlsx workbook and every save is refused.

#include "workbook/engine/CsvReader.h"
#include "workbook/engine/OdsReader.h"
#include "workbook/engine/Workbook.h"
#include "workbook/engine/ZipPackage.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace orvane
{

namespace
{

// Larger text files are no HR export; refusing them keeps memory bounded.
constexpr size_t kMaxCsvBytes = size_t(1) << 30;

// Reads the whole file into `out`; false with `detail` set on failure or when over kMaxCsvBytes.
WorkbookStatus readWholeFile(const std::string &path, std::string *out, std::string *detail)
{
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *detail = std::strerror(errno);
        return WorkbookStatus::Unreadable;
    }
    char buffer[1 << 16];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            *detail = std::strerror(errno);
            ::close(fd);
            return WorkbookStatus::Unreadable;
        }
        if (out->size() + static_cast<size_t>(n) > kMaxCsvBytes) {
            ::close(fd);
            *detail = "it is larger than 1 GiB, more than a worksheet holds";
            return WorkbookStatus::Damaged;
        }
        out->append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return WorkbookStatus::Ok;
}

// The sheet name a spreadsheet program gives a text file: its name without folder and extension.
std::string csvSheetName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

WorkbookStatus Workbook::openOds(std::string *detail)
{
    format_ = Format::Ods;
    ZipPackage::OpenError zipError = ZipPackage::OpenError::None;
    std::unique_ptr<ZipPackage> zip = ZipPackage::open(path_, &zipError, detail);
    if (!zip) {
        return zipError == ZipPackage::OpenError::Unreadable ? WorkbookStatus::Unreadable
               : zipError == ZipPackage::OpenError::NotZip   ? WorkbookStatus::NotWorkbook
                                                             : WorkbookStatus::Damaged;
    }
    OdsContent content;
    switch (readOdsWorkbook(*zip, &content, detail)) {
    case OdsOutcome::Ok:
        break;
    case OdsOutcome::NotWorkbook:
        return WorkbookStatus::NotWorkbook;
    case OdsOutcome::Damaged:
        return WorkbookStatus::Damaged;
    case OdsOutcome::OverBound:
        return WorkbookStatus::OverBound;
    case OdsOutcome::Encrypted:
        return WorkbookStatus::Encrypted;
    }
    sheetNames_ = std::move(content.sheetNames);
    activeSheet_ = content.activeSheet;
    sheet_ = std::move(content.sheet);
    return WorkbookStatus::Ok;
}

WorkbookStatus Workbook::openCsv(std::string *detail)
{
    format_ = Format::Csv;
    std::string bytes;
    if (WorkbookStatus status = readWholeFile(path_, &bytes, detail); status != WorkbookStatus::Ok) {
        return status;
    }
    Worksheet::Content content;
    if (!readCsvWorkbook(bytes, 0, &content, detail)) {
        return WorkbookStatus::Damaged;
    }
    const std::string name = csvSheetName(path_);
    sheetNames_ = {name};
    activeSheet_ = 0;
    sheet_ = std::make_unique<Worksheet>(name, std::move(content), nullptr, nullptr);
    return WorkbookStatus::Ok;
}

std::string Workbook::readOnlyKind() const
{
    switch (format_) {
    case Format::Ods:
        return "an OpenDocument spreadsheet (.ods)";
    case Format::Csv:
        return "a CSV text file (.csv)";
    case Format::Xlsx:
    case Format::Xls:
        break;
    }
    return std::string();
}

} // namespace orvane
