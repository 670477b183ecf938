// The .xlsx reader on raw bytes: the file is whatever the fuzzer makes of the
// seed packages (ZIP records, compression, declared sizes and XML alike);
// opened, read in full and, when it opens, written and saved.

#include "WorkbookExercise.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = orvane::fuzz::scratchPath(".xlsx");
    if (orvane::fuzz::writeScratchFile(path, std::string_view(reinterpret_cast<const char *>(data), size)))
        orvane::fuzz::exerciseWorkbook(path, orvane::fuzz::SaveCheck::MayFail);
    return 0;
}
