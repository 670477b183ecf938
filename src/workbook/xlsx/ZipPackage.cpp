#include "workbook/xlsx/ZipPackage.h"

#include <zip.h>

namespace orvane
{

std::unique_ptr<ZipPackage> ZipPackage::open(const std::string &path, OpenError *error, std::string *detail)
{
    int code = 0;
    zip_t *archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (archive) {
        *error = OpenError::None;
        return std::unique_ptr<ZipPackage>(new ZipPackage(archive));
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

bool ZipPackage::read(std::string_view name, std::string *out, std::string *detail) const
{
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
    if (st.size > kMaxPartSize) {
        *detail = "the part " + std::string(name) + " is larger than 1 GiB";
        return false;
    }
    zip_file_t *file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
    if (!file) {
        *detail = std::string(name) + ": " + zip_strerror(archive_);
        return false;
    }
    out->clear();
    out->resize(st.size);
    zip_uint64_t done = 0;
    bool ok = true;
    while (done < st.size) {
        zip_int64_t n = zip_fread(file, out->data() + done, st.size - done);
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<zip_uint64_t>(n);
    }
    // Reading one byte past the end makes libzip check the CRC of the whole entry.
    char extra;
    if (ok && zip_fread(file, &extra, 1) != 0) {
        ok = false;
    }
    if (!ok) {
        *detail = std::string(name) + ": " + zip_file_strerror(file);
    }
    zip_fclose(file);
    return ok;
}

} // namespace orvane
