// The CSV reader on raw bytes: encoding detection (byte order marks, UTF-8
// validation, Windows-1252), delimiter detection and RFC 4180 quoting, opened
// and read in full; writing cells and saving must be refused cleanly.

#include "WorkbookExercise.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = orvane::fuzz::scratchPath(".csv");
    if (orvane::fuzz::writeScratchFile(path, std::string_view(reinterpret_cast<const char *>(data), size)))
        orvane::fuzz::exerciseWorkbook(path, orvane::fuzz::SaveCheck::MayFail);
    return 0;
}
