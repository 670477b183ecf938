// The OpenDocument reader, structure-aware: the input is the text parts of a
// package (PackageInput.h: content.xml, settings.xml, META-INF/manifest.xml,
// mimetype), so mutations land in the table XML (repetitions, spans,
// paragraphs, typed values) while the ZIP around it stays valid. Opened and
// read in full; writing cells and saving must be refused cleanly.

#include "PackageInput.h"
#include "WorkbookExercise.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::string path = orvane::fuzz::scratchPath(".ods");
    const auto parts =
        orvane::fuzz::splitPackageInput(std::string_view(reinterpret_cast<const char *>(data), size));
    if (orvane::fuzz::writePackage(path, parts))
        orvane::fuzz::exerciseWorkbook(path, orvane::fuzz::SaveCheck::MayFail);
    return 0;
}
