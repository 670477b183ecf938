#pragma once
// Read access to the parts of a ZIP package (an .xlsx file) through libzip.
// Part names are given without a leading slash and matched exactly first,
// then without regard to case, as the packaging rules allow. Every read is
// bounded and checked against the entry's CRC, so a damaged or hostile
// archive yields an error, never a crash or an unbounded allocation.

#include <memory>
#include <string>
#include <string_view>

struct zip;
struct zip_stat;
struct zip_file;

namespace orvane
{

class PartStream;

class ZipPackage
{
  public:
    enum class OpenError { None, NotZip, Damaged, Unreadable };
    /// Why a part could not be read: it is damaged, or it is over a bound.
    enum class ReadError { None, Damaged, OverBound };

    /// A part may inflate to this much whatever its compressed size: small
    /// parts compress better than any bound on the ratio would allow.
    static constexpr unsigned long long kFreePartSize = 64ull << 20;
    /// Beyond kFreePartSize a part may inflate to this many times its
    /// compressed size. Sheet XML compresses 5-20:1 as Excel, openpyxl and
    /// libxlsxwriter write it, and near 350:1 at the very most (identical
    /// rows without cell references); deflate's ceiling, which only a ZIP
    /// bomb reaches, is about 1032:1.
    static constexpr unsigned long long kMaxRatio = 200;
    /// No part inflates beyond 4 GiB: a ZIP entry without 64-bit extensions
    /// cannot declare more, and the sheet's byte spans are 32-bit.
    static constexpr unsigned long long kMaxPartSize = (4ull << 30) - 1;

    /// The most that a part stored in `compressedSize` bytes may inflate to.
    static unsigned long long inflateBound(unsigned long long compressedSize);

    /// Opens the archive at `path` read-only. On failure returns null and sets
    /// `error` (never None) and `detail` to a short English explanation.
    static std::unique_ptr<ZipPackage> open(const std::string &path, OpenError *error, std::string *detail);
    /// Same for the file open on `fd`, which the package then owns and closes
    /// (also on failure).
    static std::unique_ptr<ZipPackage> openDescriptor(int fd, OpenError *error, std::string *detail);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    /// True when the package holds a part of that name.
    bool contains(std::string_view name) const;
    /// Replaces `out` by the inflated bytes of part `name`. False with `detail`
    /// set when the part is missing, inflates beyond inflateBound() of its
    /// compressed size (`why` OverBound), fails to inflate or its CRC, or
    /// inflates to another size than its entry declares (`why` Damaged).
    /// Memory follows the data inflated: the declared size is trusted for the
    /// first allocation only as far as the compressed data could inflate to it.
    bool read(std::string_view name, std::string *out, std::string *detail, ReadError *why = nullptr) const;
    /// Opens part `name` to be read front to back in chunks under the same
    /// bound and checks as read(). Null with `detail` and `why` set when the
    /// part is missing or its entry cannot be opened. The stream must not
    /// outlive this package.
    std::unique_ptr<PartStream> openPart(std::string_view name, std::string *detail,
                                         ReadError *why = nullptr) const;
    /// The size and CRC-32 that the entry of part `name` declares; false when it is missing.
    bool entryChecksum(std::string_view name, unsigned long long *size, unsigned long *crc) const;
    /// The inflated size that the entry of part `name` declares (untrusted: a
    /// hint, never an allocation size); 0 when it is missing.
    unsigned long long size(std::string_view name) const;
    /// The stored name of the part that `name` designates (its case as in the archive); empty if none.
    std::string storedName(std::string_view name) const;

  private:
    ZipPackage(zip *archive, unsigned long long fileSize) : archive_(archive), fileSize_(fileSize) {}
    /// A part's compressed size as far as the file can hold it: the directory may lie.
    unsigned long long compressedSize(const struct zip_stat &st) const;
    long long locate(std::string_view name) const;

    zip *archive_;
    unsigned long long fileSize_; ///< bytes of the package file: no part's data is larger
};

/// One part of a package being inflated a chunk at a time, so that a large
/// part can be parsed as it inflates without being held whole.
class PartStream
{
  public:
    ~PartStream();
    PartStream(const PartStream &) = delete;
    PartStream &operator=(const PartStream &) = delete;

    /// Inflates up to `room` bytes of the part into `into`: the count, 0 once
    /// the whole part has inflated and matched its CRC and declared size, -1
    /// (error() and detail() set) when it fails to inflate, goes over
    /// ZipPackage::inflateBound() or differs from its entry. Repeats once ended.
    long long read(char *into, size_t room);
    /// Inflates and discards the rest of the part; true when it ends soundly.
    /// Says, after a parse of the part failed, whether the data itself was bad.
    bool drain();
    /// What the part's entry declares it inflates to, capped by what its
    /// compressed data and the bound allow: a hint for reservations.
    unsigned long long sizeHint() const { return sizeHint_; }
    /// Bytes inflated so far.
    unsigned long long inflated() const { return inflated_; }
    bool failed() const { return state_ == State::Failed; }
    ZipPackage::ReadError error() const { return why_; }
    /// "the part NAME ..." as ZipPackage::read() words the same failure.
    const std::string &detail() const { return detail_; }

  private:
    friend class ZipPackage;
    enum class State { Reading, Ended, Failed };
    PartStream(zip_file *file, std::string name, unsigned long long declared, unsigned long long compressed,
               unsigned long long limit, unsigned long long hint);
    long long failWith(ZipPackage::ReadError why, const std::string &predicate);

    zip_file *file_;
    std::string name_;
    unsigned long long declared_;
    unsigned long long compressed_;
    unsigned long long limit_;
    unsigned long long sizeHint_;
    unsigned long long inflated_ = 0;
    State state_ = State::Reading;
    ZipPackage::ReadError why_ = ZipPackage::ReadError::None;
    std::string detail_;
};

/// Inflates the open entry `file` into `out`, allocating min(`sizeHint`,
/// `limit`) bytes first and growing with the data actually inflated. False
/// with `error` set to a predicate for the part's name ("cannot be inflated
/// (...)") on a read or CRC failure, or once more than `limit` bytes have
/// inflated (`overLimit` then set true, `error` left for the caller to say
/// which bound that was).
bool inflateEntry(zip_file *file, unsigned long long limit, std::string *out, std::string *error,
                  unsigned long long sizeHint = 0, bool *overLimit = nullptr);

} // namespace orvane
