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
struct zip_file;

namespace orvane
{

class ZipPackage
{
  public:
    enum class OpenError { None, NotZip, Damaged, Unreadable };

    /// Largest part the engine inflates (256 MiB of XML, millions of cells);
    /// larger parts are refused as damaged once that much has inflated.
    static constexpr unsigned long long kMaxPartSize = 256ull << 20;

    /// Opens the archive at `path` read-only. On failure returns null and sets
    /// `error` (never None) and `detail` to a short English explanation.
    static std::unique_ptr<ZipPackage> open(const std::string &path, OpenError *error, std::string *detail);
    ~ZipPackage();
    ZipPackage(const ZipPackage &) = delete;
    ZipPackage &operator=(const ZipPackage &) = delete;

    /// True when the package holds a part of that name.
    bool contains(std::string_view name) const;
    /// Replaces `out` by the inflated bytes of part `name`. False with `detail`
    /// set when the part is missing, inflates beyond kMaxPartSize, fails to
    /// inflate or its CRC, or inflates to another size than its entry declares.
    /// Memory follows the data inflated: the declared size is trusted for the
    /// first allocation only as far as the compressed data could inflate to it.
    bool read(std::string_view name, std::string *out, std::string *detail) const;
    /// The inflated size that the entry of part `name` declares (untrusted: a
    /// hint, never an allocation size); 0 when it is missing.
    unsigned long long size(std::string_view name) const;
    /// The stored name of the part that `name` designates (its case as in the archive); empty if none.
    std::string storedName(std::string_view name) const;

  private:
    explicit ZipPackage(zip *archive) : archive_(archive) {}
    long long locate(std::string_view name) const;

    zip *archive_;
};

/// Inflates the open entry `file` into `out`, allocating min(`sizeHint`,
/// `limit`) bytes first and growing with the data actually inflated. False
/// with `error` set to a predicate for the part's name ("cannot be inflated
/// (...)", "inflates to more than N MiB") on a read or CRC failure, or once
/// more than `limit` bytes have inflated.
bool inflateEntry(zip_file *file, unsigned long long limit, std::string *out, std::string *error,
                  unsigned long long sizeHint = 0);

} // namespace orvane
