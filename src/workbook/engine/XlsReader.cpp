#include "workbook/engine/XlsReader.h"

#include "workbook/engine/BiffGlobals.h"
#include "workbook/engine/BiffSheet.h"
#include "workbook/engine/CompoundFile.h"

namespace orvane
{

namespace
{

// The workbook stream: "Workbook" from Excel 97 on, "Book" in Excel 5 and 95.
XlsOutcome workbookStream(const CompoundFile &file, std::string *stream, std::string *detail)
{
    if (file.readStream("Workbook", stream) || file.readStream("Book", stream)) {
        return XlsOutcome::Ok;
    }
    if (file.hasStream("Workbook") || file.hasStream("Book")) {
        *detail = "its workbook stream is damaged";
        return XlsOutcome::Damaged;
    }
    *detail = "a compound document that holds no workbook";
    return XlsOutcome::NotWorkbook;
}

} // namespace

XlsOutcome readXlsWorkbook(const std::string & /*path*/, const CompoundFile &file, XlsContent *out,
                           std::string *detail)
{
    std::string stream;
    if (XlsOutcome outcome = workbookStream(file, &stream, detail); outcome != XlsOutcome::Ok) {
        return outcome;
    }
    BiffGlobals globals;
    switch (readBiffGlobals(stream, &globals)) {
    case BiffGlobalsResult::Ok:
        break;
    case BiffGlobalsResult::NotBiff:
        *detail = "its workbook stream does not start like an Excel 5 or later workbook";
        return XlsOutcome::Damaged;
    case BiffGlobalsResult::Damaged:
        *detail = "its shared string table is damaged";
        return XlsOutcome::Damaged;
    }
    if (globals.encrypted) {
        return XlsOutcome::Encrypted;
    }
    if (globals.sheets.empty()) {
        *detail = "it has no worksheet";
        return XlsOutcome::Damaged;
    }
    for (const BiffSheetEntry &sheet : globals.sheets) {
        out->sheetNames.push_back(sheet.name);
    }
    int active = globals.activeTab;
    out->activeSheet = active >= 0 && static_cast<size_t>(active) < globals.sheets.size() ? active : 0;
    const BiffSheetEntry &shown = globals.sheets[static_cast<size_t>(out->activeSheet)];
    Worksheet::Content content;
    switch (readBiffSheet(stream, shown.offset, &globals, &content)) {
    case BiffSheetResult::Ok:
        break;
    case BiffSheetResult::NoSheet:
        *detail = "the sheet \"" + shown.name + "\" cannot be read";
        return XlsOutcome::Damaged;
    case BiffSheetResult::TooLarge:
        *detail = "the sheet \"" + shown.name + "\" holds more text than can be read";
        return XlsOutcome::Damaged;
    }
    out->sheet = std::make_unique<Worksheet>(shown.name, std::move(content), nullptr, nullptr);
    return XlsOutcome::Ok;
}

} // namespace orvane
