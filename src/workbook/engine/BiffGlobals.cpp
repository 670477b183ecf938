#include "workbook/engine/BiffGlobals.h"

#include "workbook/engine/BiffRecords.h"
#include "workbook/engine/BiffText.h"
#include "workbook/engine/CellValue.h"

#include <unordered_map>

namespace orvane
{

namespace
{

const uint16_t kGlobalsSubstream = 0x0005;

/// What the globals hold before their 8-bit texts can be decoded: the code
/// page record may come after the texts it applies to.
struct Pending {
    std::vector<std::string> rawSheetNames;
    std::unordered_map<uint16_t, bool> customDateFormats;
    std::vector<uint16_t> xfFormats;
};

// The shared strings: a count of all uses, a count of strings, then the strings.
bool readSst(BiffCursor cursor, BiffGlobals *out)
{
    uint32_t uses = 0, unique = 0;
    out->sstOffsets.assign(1, 0);
    if (!cursor.u32(&uses) || !cursor.u32(&unique)) {
        return true;
    }
    // The declared count only ends the loop; what is stored grows with what is read.
    for (uint32_t i = 0; i < unique && cursor.unicodeString(2, &out->sstText); ++i) {
        if (out->sstText.size() > UINT32_MAX) {
            return false;
        }
        out->sstOffsets.push_back(static_cast<uint32_t>(out->sstText.size()));
    }
    return true;
}

void readBoundSheet(BiffCursor cursor, BiffGlobals *out, Pending *pending)
{
    uint32_t offset = 0;
    uint8_t visibility = 0, type = 0, length = 0;
    if (!cursor.u32(&offset) || !cursor.u8(&visibility) || !cursor.u8(&type)) {
        return;
    }
    BiffSheetEntry sheet;
    sheet.offset = offset;
    std::string raw;
    if (out->biff8) {
        cursor.unicodeString(1, &sheet.name);
    } else if (cursor.u8(&length)) {
        for (uint8_t i = 0, c = 0; i < length && cursor.u8(&c); ++i) {
            raw.push_back(static_cast<char>(c));
        }
    }
    out->sheets.push_back(std::move(sheet));
    pending->rawSheetNames.push_back(std::move(raw));
}

void readFormat(BiffCursor cursor, const BiffGlobals &globals, Pending *pending)
{
    uint16_t id = 0;
    uint8_t length = 0;
    std::string code;
    if (!cursor.u16(&id)) {
        return;
    }
    if (globals.biff8) {
        cursor.unicodeString(2, &code);
    } else if (cursor.u8(&length)) {
        // The letters that make a date format are ASCII in every code page.
        for (uint8_t i = 0, c = 0; i < length && cursor.u8(&c); ++i) {
            code.push_back(static_cast<char>(c));
        }
    }
    pending->customDateFormats[id] = isDateFormatCode(code);
}

void finish(const Pending &pending, BiffGlobals *out)
{
    if (!out->biff8) {
        CodepageDecoder decoder(out->codepage);
        for (size_t i = 0; i < out->sheets.size(); ++i) {
            decoder.append(pending.rawSheetNames[i], &out->sheets[i].name);
        }
    }
    // Custom formats may also redefine the ids of built-in ones.
    for (uint16_t format : pending.xfFormats) {
        auto found = pending.customDateFormats.find(format);
        bool date = found != pending.customDateFormats.end() ? found->second : isBuiltInDateFormat(format);
        out->dateXf.push_back(date ? 1 : 0);
    }
}

} // namespace

BiffGlobalsResult readBiffGlobals(std::string_view stream, BiffGlobals *out)
{
    BiffStream records(stream, 0);
    if (!records.next() || records.type() != biff::kBof || records.data().size() < 4 ||
        biffLe(records.data(), 2, 2) != kGlobalsSubstream) {
        return BiffGlobalsResult::NotBiff;
    }
    out->biff8 = biffLe(records.data(), 0, 2) >= 0x0600;
    Pending pending;
    while (records.next() && records.type() != biff::kEof) {
        std::string_view data = records.data();
        switch (records.type()) {
        case biff::kFilePass:
            out->encrypted = true;
            return BiffGlobalsResult::Ok;
        case biff::kCodepage:
            if (data.size() >= 2) {
                out->codepage = static_cast<uint16_t>(biffLe(data, 0, 2));
            }
            break;
        case biff::kDateMode:
            out->date1904 = data.size() >= 2 && biffLe(data, 0, 2) != 0;
            break;
        case biff::kWindow1:
            if (data.size() >= 12) {
                out->activeTab = static_cast<int>(biffLe(data, 10, 2));
            }
            break;
        case biff::kBoundSheet:
            readBoundSheet(records.cursor(), out, &pending);
            break;
        case biff::kFormat:
            readFormat(records.cursor(), *out, &pending);
            break;
        case biff::kXf:
            if (data.size() >= 4) {
                pending.xfFormats.push_back(static_cast<uint16_t>(biffLe(data, 2, 2)));
            }
            break;
        case biff::kSst:
            if (out->sstOffsets.empty() && !readSst(records.cursor(), out)) {
                return BiffGlobalsResult::Damaged;
            }
            break;
        default:
            break;
        }
    }
    finish(pending, out);
    return BiffGlobalsResult::Ok;
}

} // namespace orvane
