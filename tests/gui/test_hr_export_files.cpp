// HR exports in the Excel files tab: the open dialog offers .csv and .ods
// beside the workbooks, and tagging one as the export file is answered with
// the notice that the export cannot write into it.

#include "GuiFixture.h"
#include "app/ExcelFilesTab.h"
#include "app/MainWindow.h"
#include "app/OptionsWindow.h"

#include <QPushButton>

using namespace orvane;

TEST_F(GuiTest, TaggingAnHrExportAsTheExportFileSaysTheExportCannotWriteIt)
{
    MainWindow main(*ctx);
    action(main.findChild<QMenu *>("MenuFile"), "Options")->trigger();
    auto *window = main.findChild<OptionsWindow *>("OptionsWindow");
    ASSERT_NE(window, nullptr);
    auto *tab = window->findChild<ExcelFilesTab *>("ExcelFilesTab");
    auto *workbooks = window->findChild<QTreeWidget *>("WorkbookList");
    ASSERT_TRUE(tab && workbooks);
    const auto tagAsExport = [&](const QString &path) {
        boxes.files.enqueue(path);
        window->findChild<QPushButton *>("AddFileButton")->click();
        workbooks->setCurrentItem(workbooks->topLevelItem(0));
        ASSERT_EQ(workbooks->currentItem()->text(0), path);
        boxes.shown.clear();
        tab->fileMenu()->hide();
        action(tab->fileMenu(), "Tag as export file")->trigger();
    };

    tagAsExport(QStringLiteral("/hr/staff.csv"));
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Options");
    EXPECT_EQ(boxes.shown[0].text, "The export file /hr/staff.csv is a CSV text file (.csv), which can be read but "
                                   "not written: the export cannot save into it. Tag an .xlsx workbook as the "
                                   "export file instead.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Information);
    EXPECT_EQ(rows(ctx->db, "SELECT filename, export_flag FROM excelfiles", 2), QStringList({"/hr/staff.csv|1"}));

    // An .xlsx export file is tagged without a word.
    action(tab->fileMenu(), "Clear tag")->trigger();
    tagAsExport(QStringLiteral("/hr/export.xlsx"));
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.texts().join(u'\n').toStdString();
}
