// Workbook engine benchmark: a 100,000-row x 10-column workbook written by
// libxlsxwriter (shared strings and numbers, as Excel stores them) is opened,
// searched 10,000 times, written 100,000 times and saved, by the engine
// directly and through the command engine with the program's command strings.
// The time `unzip -p` takes to inflate the same parts is printed beside it as
// the floor no reader can beat.
//
// usage: orvane_bench_workbook [folder]   (default: the current folder)

#include "automation/CommandEngine.h"
#include "workbook/excel/RegisterServers.h"
#include "workbook/engine/Workbook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <xlsxwriter.h>

using namespace orvane;

namespace
{

constexpr int kRows = 100000;
constexpr int kColumns = 10;
constexpr int kFinds = 10000;
constexpr int kWrites = 100000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string keyOf(int row)
{
    char key[32];
    std::snprintf(key, sizeof key, "user%07d", row);
    return key;
}

bool writeWorkbook(const std::string &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    const char *departments[] = {"Sales", "Research", "Finance", "Support", "Legal"};
    char text[64];
    for (int r = 0; r < kRows; ++r) {
        int row = r + 1;
        worksheet_write_string(ws, r, 0, keyOf(row).c_str(), nullptr);
        for (int c = 1; c < kColumns; ++c) {
            if (c % 3 == 0) {
                worksheet_write_number(ws, r, c, row * 10.5 + c, nullptr);
            } else if (c == 4) {
                worksheet_write_string(ws, r, c, departments[row % 5], nullptr);
            } else {
                std::snprintf(text, sizeof text, "value %d-%d", row, c);
                worksheet_write_string(ws, r, c, text, nullptr);
            }
        }
    }
    return workbook_close(wb) == LXW_NO_ERROR;
}

double unzipSeconds(const std::string &path)
{
    std::string command = "unzip -p '" + path + "' xl/worksheets/sheet1.xml xl/sharedStrings.xml > /dev/null";
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        if (std::system(command.c_str()) != 0) {
            return -1;
        }
        best = std::min(best, secondsSince(start));
    }
    return best;
}

void benchEngine(const std::string &path, const std::string &copy)
{
    double bestOpen = 1e9;
    for (int i = 0; i < 3; ++i) {
        auto start = Clock::now();
        WorkbookError error;
        auto book = Workbook::open(path, &error);
        bestOpen = std::min(bestOpen, secondsSince(start));
        if (!book) {
            std::printf("open failed: %s\n", error.message.c_str());
            return;
        }
    }
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    WorkbookError error;
    auto book = Workbook::open(copy, &error);
    Worksheet &sheet = book->activeSheet();

    std::mt19937 random(7);
    auto start = Clock::now();
    uint32_t firstRow = sheet.find(1, keyOf(kRows / 2), 0);
    double firstFind = secondsSince(start);
    start = Clock::now();
    uint32_t found = 0;
    for (int i = 0; i < kFinds; ++i) {
        int row = 1 + static_cast<int>(random() % kRows);
        found += sheet.find(1, keyOf(row), 0) == static_cast<uint32_t>(row) ? 1 : 0;
        sheet.find(1, keyOf(row), static_cast<uint32_t>(row));
    }
    double finds = secondsSince(start);

    start = Clock::now();
    for (int i = 0; i < kWrites; ++i) {
        sheet.setText(static_cast<uint32_t>(i + 1), 11, "written " + std::to_string(i));
    }
    double writes = secondsSince(start);
    start = Clock::now();
    bool saved = book->save(&error);
    double save = secondsSince(start);

    std::printf("engine: open %.3f s (best of 3); first Find (builds the column index) %.1f ms; "
                "%d Finds %.3f s = %.2f us each (%u of %d found, first at row %u)\n",
                bestOpen, firstFind * 1e3, 2 * kFinds, finds, finds / (2 * kFinds) * 1e6, found, kFinds,
                firstRow);
    std::printf("engine: %d cell writes %.3f s; save %.3f s (%s)\n", kWrites, writes, save,
                saved ? "ok" : error.message.c_str());
}

void benchCommands(const std::string &path, const std::string &copy)
{
    registerExcelServer();
    std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    AutomationObject *app = createObject(QStringLiteral("Excel.Application"));
    auto start = Clock::now();
    invoke(app, QStringLiteral("Workbooks\\Open('") + QString::fromStdString(copy) + QStringLiteral("')"));
    double open = secondsSince(start);
    std::mt19937 random(11);
    getIntegerProperty(
        app, QStringLiteral("ActiveSheet\\Columns(1)\\Find('user0000001', #optional, #optional, 1)\\Row"));
    start = Clock::now();
    int found = 0;
    for (int i = 0; i < kFinds; ++i) {
        int row = 1 + static_cast<int>(random() % kRows);
        QString key = QString::fromStdString(keyOf(row));
        qint64 first = getIntegerProperty(
            app,
            QStringLiteral("ActiveSheet\\Columns(1)\\Find('%1', #optional, #optional, 1)\\Row").arg(key));
        qint64 next = getIntegerProperty(
            app,
            QStringLiteral("ActiveSheet\\Columns(1)\\Range('A%1')\\Find('%2', #optional, #optional, 1)\\Row")
                .arg(first)
                .arg(key));
        found += first == row && next == row ? 1 : 0;
    }
    double finds = secondsSince(start);
    start = Clock::now();
    for (int i = 0; i < kWrites; ++i) {
        setProperty(app, QStringLiteral("Cells(%1,11)\\Value = 'written %2'").arg(i + 1).arg(i));
    }
    double writes = secondsSince(start);
    start = Clock::now();
    HRESULT saved = invoke(app, QStringLiteral("Save"));
    double save = secondsSince(start);
    invoke(app, QStringLiteral("Quit()"));
    releaseObject(app);
    std::printf(
        "commands: Workbooks\\Open %.3f s; %d first-row + next-row Finds %.3f s = %.2f us each (%d of %d "
        "found); %d Cells(r,c)\\Value writes %.3f s = %.2f us each; Save %.3f s (%s)\n",
        open, 2 * kFinds, finds, finds / (2 * kFinds) * 1e6, found, kFinds, kWrites, writes,
        writes / kWrites * 1e6, save, saved == S_OK ? "ok" : "failed");
}

} // namespace

int main(int argc, char **argv)
{
    std::string folder = argc > 1 ? argv[1] : ".";
    std::string path = folder + "/bench-workbook-100k.xlsx";
    if (!std::filesystem::exists(path)) {
        auto start = Clock::now();
        if (!writeWorkbook(path)) {
            std::printf("cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("wrote %s with libxlsxwriter in %.1f s\n", path.c_str(), secondsSince(start));
    }
    std::printf("workbook: %d rows x %d columns, %.1f MB on disk\n", kRows, kColumns,
                std::filesystem::file_size(path) / 1e6);
    std::printf("floor: unzip -p of the sheet and shared strings %.3f s (best of 3)\n", unzipSeconds(path));
    benchEngine(path, folder + "/bench-workbook-copy.xlsx");
    benchCommands(path, folder + "/bench-workbook-copy.xlsx");
    std::filesystem::remove(folder + "/bench-workbook-copy.xlsx");
    return 0;
}
