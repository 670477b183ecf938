#include "workbook/excel/RegisterServers.h"

#include "automation/com/ClassRegistry.h"
#include "automation/com/ComPtr.h"
#include "workbook/excel/ExcelApplication.h"

#include <mutex>

namespace orvane
{

void registerExcelServer()
{
    static std::once_flag once;
    std::call_once(once, [] {
        const CLSID excel{0x00024500, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
        registerClass(QStringLiteral("Excel.Application"), excel, [](REFIID iid, void **out) {
            return ComPtr<ExcelApplication>::attach(new ExcelApplication)->QueryInterface(iid, out);
        });
    });
}

} // namespace orvane
