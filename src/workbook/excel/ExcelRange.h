#pragma once
// Excel's Range object over the workbook engine: a rectangle of the active
// sheet plus the area a Find on it searches. Columns(n) is a range whose
// search area is itself; Columns(n)\Range('C9') is the cell C9 searching
// column n after row 9, which is how the program asks for the next match.
// Members: Value (the default member; read and write), Row, Column, Text,
// Find(what, after, lookIn, lookAt), Range(address), SpecialCells(11).

#include "workbook/excel/ExcelSession.h"

namespace orvane
{

class ExcelRange : public DispatchObject
{
  public:
    struct Area {
        uint32_t top = 1;
        uint32_t left = 1;
        uint32_t bottom = 1;
        uint32_t right = 1;
        bool operator==(const Area &) const = default;
    };
    static Area cell(uint32_t row, uint32_t column) { return {row, column, row, column}; }
    static Area column(uint32_t column) { return {1, column, Worksheet::kMaxRow, column}; }

    /// A range of `book`'s active sheet covering `cells`, whose Find searches `searchArea`.
    ExcelRange(std::shared_ptr<Workbook> book, Area cells, Area searchArea);

    enum : DISPID { Row = 1, Column, Text, Find, RangeMember, SpecialCells };
    static const MemberTable &memberTable();

  protected:
    HRESULT invoke(DispatchCall &call) override;

  private:

    Worksheet &sheet() { return book_->activeSheet(); }
    HRESULT value(DispatchCall &call);
    HRESULT find(DispatchCall &call);
    HRESULT subrange(DispatchCall &call);
    HRESULT specialCells(DispatchCall &call);
    HRESULT newRange(DispatchCall &call, Area cells, Area searchArea);

    std::shared_ptr<Workbook> book_;
    Area cells_;
    Area search_;
};

/// Parses an A1-style address ("C9", "$C$9", "A1:B4") into an area; false when it is none.
bool parseRangeAddress(const QString &address, ExcelRange::Area *area);

} // namespace orvane
