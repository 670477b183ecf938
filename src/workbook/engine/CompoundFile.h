#pragma once
// A reader of OLE compound files, the container of .xls workbooks and of
// password-encrypted .xlsx packages. Only what the engine needs: the names of
// the streams and the content of one stream. Every sector chain is bounds-
// and loop-checked, so a damaged file reads as damaged, never out of bounds.

#include <string>
#include <string_view>
#include <vector>

namespace orvane
{

class CompoundFile
{
  public:
    /// True when `data` begins with the compound file signature.
    static bool hasSignature(std::string_view data);

    /// Takes the whole file. False when it is not a readable compound file.
    bool open(std::string data);
    /// Names of the streams in the file (ASCII names as is; others approximated).
    const std::vector<std::string> &streamNames() const { return names_; }
    /// True when a stream has this name, compared without regard to ASCII case.
    bool hasStream(std::string_view name) const;
    /// Replaces `out` by the content of the named stream; false if there is
    /// none or its sector chain is damaged.
    bool readStream(std::string_view name, std::string *out) const;

  private:
    struct Entry {
        std::string name;
        int type = 0;
        uint32_t start = 0;
        uint64_t size = 0;
    };

    bool readChain(const std::vector<uint32_t> &table, uint32_t start, size_t sectorSize, bool mini,
                   uint64_t size, std::string *out) const;
    bool sectorBytes(uint32_t sector, std::string_view *bytes) const;
    bool loadFat();
    bool loadDirectory();

    std::string data_;
    size_t sectorSize_ = 512;
    size_t miniSectorSize_ = 64;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> miniFat_;
    std::string miniStream_;
    std::vector<Entry> entries_;
    std::vector<std::string> names_;
};

} // namespace orvane
