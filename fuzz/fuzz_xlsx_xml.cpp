// The .xlsx reader, structure-aware: the input is the text parts of a package
// (PackageInput.h), so mutations land in the workbook, relationship, sheet,
// shared-string and style XML while the ZIP around them stays valid. Opened,
// read in full, written and saved; the saved package must reopen.

#include "PackageInput.h"
#include "WorkbookExercise.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = orvane::fuzz::scratchPath(".xlsx");
    const auto parts =
        orvane::fuzz::splitPackageInput(std::string_view(reinterpret_cast<const char *>(data), size));
    if (orvane::fuzz::writePackage(path, parts))
        orvane::fuzz::exerciseWorkbook(path, orvane::fuzz::SaveCheck::MustSucceed);
    return 0;
}
