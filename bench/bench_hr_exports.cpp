// HR exports benchmark: a 100,000-row x 10-column workbook written by
// libxlsxwriter (as bench_workbook writes it: unique keys, shared strings and
// numbers) and LibreOffice's .ods and .csv copies of it are opened by the
// workbook engine in turn, rounds interleaved so that load on the machine
// falls on all three alike. Prints each open's best and median and the
// ratio of the .ods and .csv medians to the .xlsx one (goal: at most 1.5).
//
// usage: orvane_bench_hr_exports [folder] [rounds]   (default: the current folder, 5 rounds)

#include "BenchSupport.h"
#include "workbook/engine/OdsReader.h"
#include "workbook/engine/Workbook.h"
#include "workbook/engine/ZipPackage.h"

#include <QProcess>
#include <QString>
#include <cstdio>
#include <filesystem>
#include <string>
#include <xlsxwriter.h>

using namespace orvane;

namespace
{

constexpr int kRows = 100000;
constexpr int kColumns = 10;

bool writeWorkbook(const std::string &path)
{
    lxw_workbook *wb = workbook_new(path.c_str());
    lxw_worksheet *ws = workbook_add_worksheet(wb, "Users");
    const char *departments[] = {"Sales", "Research", "Finance", "Support", "Legal"};
    char text[64];
    for (int r = 0; r < kRows; ++r) {
        const int row = r + 1;
        std::snprintf(text, sizeof text, "user%07d", row);
        worksheet_write_string(ws, r, 0, text, nullptr);
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

bool convert(const std::string &xlsx, const char *format, const std::string &folder)
{
    return QProcess::execute(QStringLiteral("soffice"),
                             {QStringLiteral("--headless"),
                              QStringLiteral("-env:UserInstallation=file://") + QString::fromStdString(folder) +
                                  QStringLiteral("/lo"),
                              QStringLiteral("--convert-to"), QString::fromLatin1(format), QStringLiteral("--outdir"),
                              QString::fromStdString(folder), QString::fromStdString(xlsx)}) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const std::string folder = std::filesystem::absolute(argc > 1 ? argv[1] : ".").string();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::filesystem::create_directories(folder);
    const std::string xlsx = folder + "/bench-hr-100k.xlsx";
    const std::string ods = folder + "/bench-hr-100k.ods", csv = folder + "/bench-hr-100k.csv";
    if (!std::filesystem::exists(xlsx) && !writeWorkbook(xlsx))
        return std::fprintf(stderr, "cannot write %s\n", xlsx.c_str()), 1;
    if ((!std::filesystem::exists(ods) && !convert(xlsx, "ods", folder)) ||
        (!std::filesystem::exists(csv) && !convert(xlsx, "csv:Text - txt - csv (StarCalc):44,34,76,1", folder)))
        return std::fprintf(stderr, "soffice could not convert %s\n", xlsx.c_str()), 1;

    const std::string files[] = {xlsx, ods, csv};
    bench::Samples samples[3];
    for (int round = 0; round < rounds; ++round) {
        for (int i = 0; i < 3; ++i) {
            WorkbookError error;
            std::unique_ptr<Workbook> book;
            samples[i].add(bench::timed([&] { book = Workbook::open(files[i], &error); }));
            if (!book || book->activeSheet().text(kRows, 1) != "user0100000")
                return std::fprintf(stderr, "%s: %s\n", files[i].c_str(), error.message.c_str()), 1;
        }
    }
    const char *names[] = {"open .xlsx (100,000 rows)", "open .ods (100,000 rows)", "open .csv (100,000 rows)"};
    for (int i = 0; i < 3; ++i) {
        std::printf("%s: %lld bytes on disk\n", files[i].c_str(), (long long)std::filesystem::file_size(files[i]));
        bench::report(names[i], samples[i].stats());
    }
    // Where the .ods open goes: inflating the content part, and reading it.
    bench::Samples inflate, parse;
    for (int round = 0; round < rounds; ++round) {
        ZipPackage::OpenError zipError;
        std::string detail, xml;
        std::unique_ptr<ZipPackage> zip = ZipPackage::open(ods, &zipError, &detail);
        inflate.add(bench::timed([&] { zip->read("content.xml", &xml, &detail); }));
        OdsContent content;
        parse.add(bench::timed([&] { readOdsContent(xml, "", &content, &detail); }));
    }
    bench::report(".ods: inflate content.xml", inflate.stats());
    bench::report(".ods: read content.xml", parse.stats());
    std::printf("median ratio .ods/.xlsx %.2f, .csv/.xlsx %.2f (goal <= 1.5)\n",
                samples[1].median() / samples[0].median(), samples[2].median() / samples[0].median());
    return 0;
}
