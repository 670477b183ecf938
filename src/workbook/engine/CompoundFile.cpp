#include "workbook/engine/CompoundFile.h"

#include <cstring>

namespace orvane
{

namespace
{

const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
const uint32_t kEndOfChain = 0xFFFFFFFE;
const uint32_t kLastRegular = 0xFFFFFFFA;

uint32_t u32(std::string_view s, size_t at)
{
    unsigned char b[4];
    std::memcpy(b, s.data() + at, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

uint16_t u16(std::string_view s, size_t at)
{
    unsigned char b[2];
    std::memcpy(b, s.data() + at, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') {
            x = static_cast<char>(x + 32);
        }
        if (y >= 'A' && y <= 'Z') {
            y = static_cast<char>(y + 32);
        }
        if (x != y) {
            return false;
        }
    }
    return true;
}

void appendTable(std::string_view bytes, std::vector<uint32_t> *table)
{
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        table->push_back(u32(bytes, i));
    }
}

} // namespace

bool CompoundFile::hasSignature(std::string_view data)
{
    return data.size() >= 8 && std::memcmp(data.data(), kSignature, 8) == 0;
}

bool CompoundFile::sectorBytes(uint32_t sector, std::string_view *bytes) const
{
    if (sector >= kLastRegular) {
        return false;
    }
    uint64_t offset = (static_cast<uint64_t>(sector) + 1) * sectorSize_;
    if (offset >= data_.size()) {
        return false;
    }
    // The last sector of a file may be cut short; what is there is its content.
    *bytes = std::string_view(data_).substr(static_cast<size_t>(offset), sectorSize_);
    return true;
}

bool CompoundFile::readChain(const std::vector<uint32_t> &table, uint32_t start, size_t sectorSize, bool mini,
                             uint64_t size, std::string *out) const
{
    out->clear();
    // A chain that comes back to a sector it passed would be followed for as
    // long as the table is; visiting each sector at most once bounds what is
    // read by the file's (or the mini stream's) own size.
    std::vector<bool> visited(table.size());
    uint32_t sector = start;
    while (sector != kEndOfChain && out->size() < size) {
        if (sector >= table.size() || visited[sector]) {
            return false;
        }
        visited[sector] = true;
        if (mini) {
            uint64_t offset = static_cast<uint64_t>(sector) * sectorSize;
            if (offset + sectorSize > miniStream_.size()) {
                return false;
            }
            out->append(miniStream_, static_cast<size_t>(offset), sectorSize);
        } else {
            std::string_view bytes;
            if (!sectorBytes(sector, &bytes)) {
                return false;
            }
            out->append(bytes);
        }
        sector = table[sector];
    }
    if (size != UINT64_MAX) {
        if (out->size() < size) {
            return false;
        }
        out->resize(static_cast<size_t>(size));
    }
    return true;
}

bool CompoundFile::loadFat()
{
    std::string_view d(data_);
    uint32_t fatSectors = u32(d, 0x2C);
    uint32_t difatSector = u32(d, 0x44);
    uint32_t difatCount = u32(d, 0x48);
    if (fatSectors > d.size() / sectorSize_ + 1) {
        return false;
    }
    std::vector<uint32_t> fatList;
    for (size_t i = 0; i < 109 && fatList.size() < fatSectors; ++i) {
        fatList.push_back(u32(d, 0x4C + i * 4));
    }
    for (uint32_t n = 0; n < difatCount && fatList.size() < fatSectors; ++n) {
        std::string_view bytes;
        if (!sectorBytes(difatSector, &bytes) || bytes.size() < sectorSize_) {
            return false;
        }
        for (size_t i = 0; i + 4 < sectorSize_ && fatList.size() < fatSectors; i += 4) {
            fatList.push_back(u32(bytes, i));
        }
        difatSector = u32(bytes, sectorSize_ - 4);
    }
    for (uint32_t sector : fatList) {
        std::string_view bytes;
        if (!sectorBytes(sector, &bytes)) {
            return false;
        }
        appendTable(bytes, &fat_);
    }
    return !fat_.empty();
}

bool CompoundFile::loadDirectory()
{
    std::string dir;
    if (!readChain(fat_, u32(data_, 0x30), sectorSize_, false, UINT64_MAX, &dir)) {
        return false;
    }
    std::string_view d(dir);
    for (size_t at = 0; at + 128 <= d.size(); at += 128) {
        Entry e;
        size_t nameBytes = u16(d, at + 64);
        for (size_t i = 0; i + 2 <= nameBytes && i < 62; i += 2) {
            uint16_t unit = u16(d, at + i);
            if (unit == 0) {
                break;
            }
            e.name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        }
        e.type = static_cast<unsigned char>(d[at + 66]);
        e.start = u32(d, at + 116);
        e.size = u32(d, at + 120);
        if (sectorSize_ != 512) {
            e.size |= static_cast<uint64_t>(u32(d, at + 124)) << 32;
        }
        if (e.type == 2) {
            names_.push_back(e.name);
        }
        entries_.push_back(std::move(e));
    }
    return !entries_.empty() && entries_[0].type == 5;
}

bool CompoundFile::open(std::string data)
{
    data_ = std::move(data);
    fat_.clear();
    miniFat_.clear();
    miniStream_.clear();
    entries_.clear();
    names_.clear();
    if (data_.size() < 512 || !hasSignature(data_)) {
        return false;
    }
    uint16_t shift = u16(data_, 0x1E);
    uint16_t miniShift = u16(data_, 0x20);
    if ((shift != 9 && shift != 12) || miniShift != 6) {
        return false;
    }
    sectorSize_ = size_t(1) << shift;
    miniSectorSize_ = size_t(1) << miniShift;
    miniCutoff_ = u32(data_, 0x38);
    if (!loadFat() || !loadDirectory()) {
        return false;
    }
    const Entry &root = entries_[0];
    if (root.size > data_.size() ||
        !readChain(fat_, root.start, sectorSize_, false, root.size, &miniStream_)) {
        return false;
    }
    std::string miniFat;
    uint32_t miniFatStart = u32(data_, 0x3C);
    if (miniFatStart < kLastRegular) {
        if (!readChain(fat_, miniFatStart, sectorSize_, false, UINT64_MAX, &miniFat)) {
            return false;
        }
        appendTable(miniFat, &miniFat_);
    }
    return true;
}

bool CompoundFile::hasStream(std::string_view name) const
{
    for (const std::string &n : names_) {
        if (equalsNoCase(n, name)) {
            return true;
        }
    }
    return false;
}

bool CompoundFile::readStream(std::string_view name, std::string *out) const
{
    for (const Entry &e : entries_) {
        if (e.type != 2 || !equalsNoCase(e.name, name)) {
            continue;
        }
        if (e.size < miniCutoff_) {
            return e.size <= miniStream_.size() &&
                   readChain(miniFat_, e.start, miniSectorSize_, true, e.size, out);
        }
        return e.size <= data_.size() && readChain(fat_, e.start, sectorSize_, false, e.size, out);
    }
    return false;
}

} // namespace orvane
