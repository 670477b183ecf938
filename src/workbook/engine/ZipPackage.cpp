#include "workbook/engine/ZipPackage.h"

#include "workbook/engine/LargePages.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
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

std::unique_ptr<ZipPackage> ZipPackage::openDescriptor(int fd, OpenError *error, std::string *detail)
{
    struct stat st;
    const unsigned long long bytes = ::fstat(fd, &st) == 0 ? static_cast<unsigned long long>(st.st_size) : 0;
    int code = 0;
    zip_t *archive = zip_fdopen(fd, 0, &code);
    if (archive) {
        *error = OpenError::None;
        return std::unique_ptr<ZipPackage>(new ZipPackage(archive, bytes));
    }
    ::close(fd);
    zip_error_t ze;
    zip_error_init_with_code(&ze, code);
    *detail = zip_error_strerror(&ze);
    zip_error_fini(&ze);
    *error = code == ZIP_ER_NOZIP ? OpenError::NotZip : OpenError::Damaged;
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

namespace
{

enum class Filled { Done, Failed, OverLimit };

// Fills `out` from `readSome(into, room)` (bytes read, 0 at the end, < 0 on a
// failure) until the end, or until more than `limit` bytes came. Reserved
// once when `sizeHint` is right (+1 to see the end without a regrowth); pages
// are touched only as data arrives, a chunk at a time, so a hint that lies
// costs address space, not memory. `out` is left empty unless Done.
template <class ReadSome>
Filled fillString(std::string *out, unsigned long long sizeHint, unsigned long long limit, ReadSome readSome)
{
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
        const long long n = readSome(out->data() + filled, want);
        if (n >= 0)
            filled += static_cast<size_t>(n);
        if (n < 0 || filled > limit) {
            out->clear();
            out->shrink_to_fit();
            return n < 0 ? Filled::Failed : Filled::OverLimit;
        }
        if (n == 0) {
            out->resize(filled);
            return Filled::Done;
        }
    }
}

} // namespace

bool inflateEntry(zip_file *file, unsigned long long limit, std::string *out, std::string *error,
                  unsigned long long sizeHint, bool *overLimit)
{
    const Filled result = fillString(out, sizeHint, limit, [file](char *into, size_t room) {
        return static_cast<long long>(zip_fread(file, into, room));
    });
    if (result == Filled::Failed) {
        zip_error_t *ze = zip_file_get_error(file);
        *error = "cannot be inflated (" +
                 std::string(zip_error_code_zip(ze) == ZIP_ER_OK ? "damaged compressed data" : zip_error_strerror(ze)) +
                 ")";
    } else if (result == Filled::OverLimit) {
        *error = "inflates to more than " + mebibytes(limit);
        if (overLimit)
            *overLimit = true;
    }
    return result == Filled::Done;
}

PartStream::PartStream(zip_file *file, std::string name, unsigned long long declared,
                       unsigned long long compressed, unsigned long long limit, unsigned long long hint)
    : file_(file), name_(std::move(name)), declared_(declared), compressed_(compressed), limit_(limit),
      sizeHint_(hint)
{
}

PartStream::~PartStream()
{
    zip_fclose(file_);
}

long long PartStream::failWith(ZipPackage::ReadError why, const std::string &predicate)
{
    state_ = State::Failed;
    why_ = why;
    detail_ = "the part " + name_ + " " + predicate;
    return -1;
}

long long PartStream::read(char *into, size_t room)
{
    if (state_ != State::Reading)
        return state_ == State::Ended ? 0 : -1;
    const zip_int64_t n = room == 0 ? 0 : zip_fread(file_, into, room);
    if (n < 0) {
        zip_error_t *ze = zip_file_get_error(file_);
        return failWith(ZipPackage::ReadError::Damaged,
                        "cannot be inflated (" +
                            std::string(zip_error_code_zip(ze) == ZIP_ER_OK ? "damaged compressed data"
                                                                            : zip_error_strerror(ze)) +
                            ")");
    }
    inflated_ += static_cast<unsigned long long>(n);
    if (inflated_ > limit_) {
        zip_stat_t st;
        zip_stat_init(&st);
        st.comp_size = compressed_;
        return failWith(ZipPackage::ReadError::OverBound, overBoundText(st, limit_));
    }
    if (n == 0 && room > 0) {
        if (inflated_ != declared_) {
            return failWith(ZipPackage::ReadError::Damaged, "inflates to " + std::to_string(inflated_) +
                                                                " bytes where the package declares " +
                                                                std::to_string(declared_));
        }
        state_ = State::Ended;
    }
    return n;
}

bool PartStream::drain()
{
    constexpr size_t kChunk = 256 * 1024;
    std::unique_ptr<char[]> scratch(new char[kChunk]);
    for (;;) {
        const long long n = read(scratch.get(), kChunk);
        if (n <= 0)
            return n == 0;
    }
}

std::unique_ptr<PartStream> ZipPackage::openPart(std::string_view name, std::string *detail,
                                                 ReadError *why) const
{
    ReadError ignored;
    if (!why)
        why = &ignored;
    *why = ReadError::Damaged;
    long long index = locate(name);
    if (index < 0) {
        *detail = "the part " + std::string(name) + " is missing";
        return nullptr;
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE)) {
        *detail = "the entry of " + std::string(name) + " cannot be read";
        return nullptr;
    }
    zip_file_t *file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        *detail = std::string(name) + ": " + zip_strerror(archive_);
        return nullptr;
    }
    const unsigned long long compressed = compressedSize(st);
    const unsigned long long limit = inflateBound(compressed);
    *why = ReadError::None;
    return std::unique_ptr<PartStream>(new PartStream(file, std::string(name), st.size, st.comp_size, limit,
                                                      std::min(limit, plausibleSize(st, compressed))));
}

bool ZipPackage::entryChecksum(std::string_view name, unsigned long long *size, unsigned long *crc) const
{
    long long index = locate(name);
    zip_stat_t st;
    zip_stat_init(&st);
    if (index < 0 || zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
        !(st.valid & ZIP_STAT_SIZE) || !(st.valid & ZIP_STAT_CRC)) {
        return false;
    }
    *size = st.size;
    *crc = st.crc;
    return true;
}

bool ZipPackage::read(std::string_view name, std::string *out, std::string *detail, ReadError *why) const
{
    ReadError ignored;
    if (!why)
        why = &ignored;
    out->clear();
    std::unique_ptr<PartStream> stream = openPart(name, detail, why);
    if (!stream) {
        return false;
    }
    // The stream enforces the part's own bound; no second limit here.
    constexpr unsigned long long kNoLimit = std::numeric_limits<unsigned long long>::max() - 1;
    const Filled result = fillString(out, stream->sizeHint(), kNoLimit,
                                     [&stream](char *into, size_t room) { return stream->read(into, room); });
    if (result != Filled::Done) {
        *detail = stream->detail();
        *why = stream->error();
        return false;
    }
    *why = ReadError::None;
    return true;
}

} // namespace orvane
