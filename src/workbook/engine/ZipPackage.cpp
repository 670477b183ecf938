#include "workbook/engine/ZipPackage.h"

#include "workbook/engine/LargePages.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <zip.h>

namespace orvane
{

std::unique_ptr<ZipPackage> ZipPackage::open(const std::string &path, OpenError *error, std::string *detail)
{
    int code = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive) {
        *error = OpenError::None;
        std::error_code ignored;
        const std::uintmax_t bytes = std::filesystem::file_size(path, ignored);
        return std::unique_ptr<ZipPackage>(
            new ZipPackage(archive, bytes == static_cast<std::uintmax_t>(-1) ? 0 : bytes));
    }
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    *detail = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    switch (code) {
    case ZIP_ER_NOZIP:
        *error = OpenError::NotZip;
        break;
    case ZIP_ER_OPEN:
    case ZIP_ER_READ:
    case ZIP_ER_NOENT:
    case ZIP_ER_MEMORY:
        *error = OpenError::Unreadable;
        break;
    default:
        *error = OpenError::Damaged;
        break;
    }
    return nullptr;
}

ZipPackage::~ZipPackage()
{
    zip_discard(archive_);
}

long long ZipPackage::locate(std::string_view name) const
{
    std::string n(name);
    zip_int64_t index = zip_name_locate(archive_, n.c_str(), ZIP_FL_ENC_GUESS);
    if (index < 0) {
        index = zip_name_locate(archive_, n.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_GUESS);
    }
    return index;
}

bool ZipPackage::contains(std::string_view name) const
{
    return locate(name) >= 0;
}

unsigned long long ZipPackage::size(std::string_view name) const
{
    long long index = locate(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE)) {
        return 0;
    }
    return st.size;
}

std::string ZipPackage::storedName(std::string_view name) const
{
    long long index = locate(name);
    if (index < 0) {
        return std::string();
    }
    const char *stored = zip_get_name(archive_, static_cast<zip_uint64_t>(index), ZIP_FL_ENC_RAW);
    return stored ? std::string(stored) : std::string();
}

namespace
{

// The declared size as far as `compressed` bytes could inflate to it: a lying
// directory entry then costs at most what the data itself could fill.
unsigned long long plausibleSize(const zip_stat_t &st, unsigned long long compressed)
{
    // Deflate's best case is about 1032:1; other methods only cost a regrowth.
    constexpr unsigned long long kDeflateRatio = 1032;
    return std::min<unsigned long long>(st.size, compressed * kDeflateRatio + 1024);
}

std::string mebibytes(unsigned long long bytes)
{
    return std::to_string((bytes + (1u << 19)) >> 20) + " MiB";
}

// Which bound a part went over, as a predicate for its name.
std::string overBoundText(const zip_stat_t &st, unsigned long long limit)
{
    if (limit >= ZipPackage::kMaxPartSize) {
        return "inflates to more than 4 GiB, the largest part this program reads";
    }
    return "inflates to more than " + mebibytes(limit) + ", over " + std::to_string(ZipPackage::kMaxRatio) +
           " times its compressed " + std::to_string(st.comp_size) +
           " bytes (real workbooks do not compress that well; ZIP bombs do)";
}

} // namespace

unsigned long long ZipPackage::compressedSize(const struct zip_stat &st) const
{
    if (!(st.valid & ZIP_STAT_COMP_SIZE))
        return 0;
    return fileSize_ > 0 ? std::min<unsigned long long>(st.comp_size, fileSize_) : st.comp_size;
}

unsigned long long ZipPackage::inflateBound(unsigned long long compressedSize)
{
    const unsigned long long byRatio =
        compressedSize > kMaxPartSize / kMaxRatio ? kMaxPartSize : compressedSize * kMaxRatio;
    return std::min(kMaxPartSize, std::max(kFreePartSize, byRatio));
}

bool inflateEntry(zip_file *file, unsigned long long limit, std::string *out, std::string *error,
                  unsigned long long sizeHint, bool *overLimit)
{
    // Reserved once when the hint is right (+1 to see the end without a
    // regrowth); pages are touched only as data inflates into them, a chunk at
    // a time, so a hint that lies costs address space, not memory.
    constexpr size_t kChunk = 256 * 1024;
    out->clear();
    out->reserve(static_cast<size_t>(std::min(sizeHint, limit) + 1));
    preferLargePages(out->data(), out->capacity());
    size_t filled = 0;
    for (;;) {
        // Within the reservation while it lasts; past it the string doubles.
        const size_t room = out->capacity() - filled;
        const size_t want = room > 0 ? std::min(room, kChunk) : kChunk;
        out->resize(filled + want);
        const zip_int64_t n = zip_fread(file, out->data() + filled, want);
        if (n < 0) {
            out->clear();
            zip_error_t *ze = zip_file_get_error(file);
            *error = "cannot be inflated (" +
                     std::string(zip_error_code_zip(ze) == ZIP_ER_OK ? "damaged compressed data"
                                                                     : zip_error_strerror(ze)) +
                     ")";
            return false;
        }
        filled += static_cast<size_t>(n);
        if (filled > limit) {
            out->clear();
            out->shrink_to_fit();
            *error = "inflates to more than " + mebibytes(limit);
            if (overLimit)
                *overLimit = true;
            return false;
        }
        if (n == 0) {
            out->resize(filled);
            return true;
        }
    }
}

bool ZipPackage::read(std::string_view name, std::string *out, std::string *detail, ReadError *why) const
{
    ReadError ignored;
    if (!why)
        why = &ignored;
    *why = ReadError::Damaged;
    long long index = locate(name);
    if (index < 0) {
        *detail = "the part " + std::string(name) + " is missing";
        return false;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE)) {
        *detail = "the entry of " + std::string(name) + " cannot be read";
        return false;
    }
    zip_file_t *file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        *detail = std::string(name) + ": " + zip_strerror(archive_);
        return false;
    }
    const unsigned long long compressed = compressedSize(st);
    const unsigned long long limit = inflateBound(compressed);
    std::string error;
    bool overLimit = false;
    bool ok = inflateEntry(file, limit, out, &error, std::min(limit, plausibleSize(st, compressed)), &overLimit);
    zip_fclose(file);
    if (overLimit) {
        *why = ReadError::OverBound;
        error = overBoundText(st, limit);
    }
    if (ok && out->size() != st.size) {
        error = "inflates to " + std::to_string(out->size()) + " bytes where the package declares " +
                std::to_string(st.size);
        ok = false;
    }
    if (!ok) {
        *detail = "the part " + std::string(name) + " " + error;
        out->clear();
        return false;
    }
    *why = ReadError::None;
    return true;
}

} // namespace orvane
