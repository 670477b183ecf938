// Whole open of one workbook by the engine, as the plan and the window open
// it: Workbook::open, then the last row's cells read. Run it under
// /usr/bin/time (or callgrind) to see the open's wall, CPU and peak memory;
// it prints the open's own time, the sheet's size and the last row's texts so
// that two builds can be compared on the same file.
//
// usage: orvane_bench_open WORKBOOK [save | fill ROWS]
//        save: writes one cell past the last row into a copy beside the file,
//        saves it, prints the peak memory so far, reopens the copy and compares
//        it with the saved workbook cell for cell; fill: writes ROWS rows of 9 texts past the last row, as
//        an export does, and prints the peak memory after the writes.

#include "workbook/engine/Workbook.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <filesystem>
#include <string>

using namespace orvane;

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: orvane_bench_open WORKBOOK [save]\n");
        return 2;
    }
    std::string path = argv[1];
    const bool save = argc > 2 && std::string(argv[2]) == "save";
    if (save) {
        const std::string copy = path + ".bench-open-copy.xlsx";
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
        path = copy;
    }
    const auto start = std::chrono::steady_clock::now();
    WorkbookError error;
    std::unique_ptr<Workbook> book = Workbook::open(path, &error);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!book) {
        std::printf("refused after %.3f s: %s\n", seconds, error.message.c_str());
        return 1;
    }
    Worksheet &sheet = book->activeSheet();
    const uint32_t last = sheet.lastUsedRow();
    std::printf("opened in %.3f s: %zu cells, last row %u, last column %u\n", seconds, sheet.cells().size(), last,
                sheet.lastUsedColumn());
    std::printf("last row:");
    for (uint32_t column = 1; column <= sheet.lastUsedColumn(); ++column) {
        std::printf(" [%s]", sheet.text(last, column).c_str());
    }
    std::printf("\n");
    if (argc > 3 && std::string(argv[2]) == "fill") {
        const uint32_t rows = static_cast<uint32_t>(std::strtoul(argv[3], nullptr, 10));
        const auto fillStart = std::chrono::steady_clock::now();
        char text[64];
        for (uint32_t r = 1; r <= rows && last + r <= Worksheet::kMaxRow; ++r) {
            for (uint32_t column = 1; column <= 9; ++column) {
                std::snprintf(text, sizeof text, "value %u of row %u", column, r);
                sheet.setText(last + r, column, text);
            }
        }
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("wrote %u rows of 9 cells in %.3f s; peak RSS %ld KB\n", rows,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - fillStart).count(),
                    usage.ru_maxrss);
        return 0;
    }
    if (save) {
        const auto saveStart = std::chrono::steady_clock::now();
        sheet.setText(last < Worksheet::kMaxRow ? last + 1 : last, 1, "written by the open benchmark");
        const bool saved = book->save(&error);
        const double saveSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - saveStart).count();
        std::printf("%s in %.3f s%s%s\n", saved ? "saved" : "save refused", saveSeconds, saved ? "" : ": ",
                    saved ? "" : error.message.c_str());
        struct rusage usage;
        getrusage(RUSAGE_SELF, &usage);
        std::printf("peak RSS up to the save's end %ld KB\n", usage.ru_maxrss);
        // What was saved must read back as what the workbook held, cell for cell.
        std::unique_ptr<Workbook> again = saved ? Workbook::open(path, &error) : nullptr;
        size_t differing = 0;
        if (again) {
            const Worksheet &read = again->activeSheet();
            const uint32_t rows = std::max(sheet.lastUsedRow(), read.lastUsedRow());
            const uint32_t columns = std::max(sheet.lastUsedColumn(), read.lastUsedColumn());
            for (uint32_t row = 1; row <= rows; ++row) {
                for (uint32_t column = 1; column <= columns; ++column) {
                    differing += sheet.text(row, column) != read.text(row, column);
                }
            }
            std::printf("reopened: %zu cells, %zu of %u x %u cells differ\n", read.cells().size(), differing, rows,
                        columns);
        }
        std::filesystem::remove(path);
        return saved && again && differing == 0 ? 0 : 1;
    }
    return 0;
}
