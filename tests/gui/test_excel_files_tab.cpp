#include "GuiFixture.h"
#include "app/ExcelFilesTab.h"
#include "app/ImageList.h"
#include "app/MainWindow.h"
#include "app/OptionsWindow.h"

#include <QComboBox>
#include <QIcon>
#include <QImage>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace orvane;

namespace
{

// The colour of an opaque pixel near the middle of `icon` as a list draws it
// at 16 x 16 for a row that is (or is not) selected, to look for where the
// icon is shown.
QColor solidColour(const QIcon &icon, bool selected)
{
    const QImage image = icon.pixmap(16, 16, selected ? QIcon::Selected : QIcon::Normal).toImage();
    for (int d = 0; d < 8; ++d)
        for (int x = 8 - d; x <= 8 + d && x < 16; ++x)
            if (image.pixelColor(x, 8).alpha() == 255)
                return image.pixelColor(x, 8);
    return image.pixelColor(8, 8);
}

// Catalogue ids and names of a few attributes.
constexpr long long kGivenName = 1;
constexpr long long kSurname = 2;
constexpr long long kMail = 7;

} // namespace

class ExcelFilesTabTest : public GuiTest
{
  protected:
    void SetUp() override
    {
        GuiTest::SetUp();
        main = std::make_unique<MainWindow>(*ctx);
        openOptions();
    }

    void openOptions()
    {
        action(main->findChild<QMenu *>("MenuFile"), "Options")->trigger();
        window = main->findChild<OptionsWindow *>("OptionsWindow");
        ASSERT_NE(window, nullptr);
        tab = window->findChild<ExcelFilesTab *>("ExcelFilesTab");
        workbooks = window->findChild<QTreeWidget *>("WorkbookList");
        bindings = window->findChild<QTreeWidget *>("BindingList");
        ASSERT_TRUE(tab && workbooks && bindings);
    }

    void TearDown() override
    {
        main.reset();
        GuiTest::TearDown();
    }

    template <typename T> T *in(const char *name)
    {
        T *found = window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    // Registers `path` through the "Add file..." button.
    void addFile(const QString &path)
    {
        boxes.files.enqueue(path);
        in<QPushButton>("AddFileButton")->click();
    }

    void selectWorkbook(const QString &path)
    {
        for (QTreeWidgetItem *row : allWorkbookRows()) {
            if (row->text(0) == path) {
                workbooks->setCurrentItem(row);
                return;
            }
        }
        ADD_FAILURE() << "no workbook " << path.toStdString();
    }

    QList<QTreeWidgetItem *> allWorkbookRows() const
    {
        QList<QTreeWidgetItem *> all;
        for (int i = 0; i < workbooks->topLevelItemCount(); ++i)
            all << workbooks->topLevelItem(i);
        return all;
    }

    void bind(int column, long long attribute)
    {
        in<QSpinBox>("ColumnSpin")->setValue(column);
        auto *combo = in<QComboBox>("AttributeCombo");
        combo->setCurrentIndex(combo->findData(QVariant::fromValue(attribute)));
        in<QPushButton>("AddBindingButton")->click();
    }

    QTreeWidgetItem *bindingRow(const QString &fld)
    {
        for (int i = 0; i < bindings->topLevelItemCount(); ++i) {
            if (bindings->topLevelItem(i)->text(1) == fld)
                return bindings->topLevelItem(i);
        }
        ADD_FAILURE() << "no binding " << fld.toStdString();
        return nullptr;
    }

    void trigger(QMenu *menu, const QString &text)
    {
        menu->hide();
        action(menu, text)->trigger();
    }

    // The binding rows as "column fld", top to bottom.
    QStringList bindingTexts() const
    {
        QStringList texts;
        for (int i = 0; i < bindings->topLevelItemCount(); ++i)
            texts << bindings->topLevelItem(i)->text(0) + " " + bindings->topLevelItem(i)->text(1);
        return texts;
    }

    QStringList enabledItems(const QMenu *menu) const
    {
        QStringList on;
        for (const QAction *a : menu->actions()) {
            if (a->isEnabled())
                on << a->text() + (a->isChecked() ? "*" : "");
        }
        return on;
    }

    std::unique_ptr<MainWindow> main;
    OptionsWindow *window = nullptr;
    ExcelFilesTab *tab = nullptr;
    QTreeWidget *workbooks = nullptr;
    QTreeWidget *bindings = nullptr;
};

TEST_F(ExcelFilesTabTest, SamePathTwiceIsRefusedAndTextsAreStoredAsTyped)
{
    const QString path = QStringLiteral("/srv/O'Hara $0041/staff.xlsx");
    addFile(path);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Open excel file");
    addFile("/srv/other.xls");
    ASSERT_EQ(workbooks->topLevelItemCount(), 2);
    EXPECT_EQ(workbooks->topLevelItem(0)->text(0), "/srv/other.xls");
    EXPECT_TRUE(workbooks->topLevelItem(0)->icon(0).isNull());

    boxes.shown.clear();
    addFile(path);
    ASSERT_EQ(boxes.shown.size(), 2);
    EXPECT_EQ(boxes.shown[1].title, "Information");
    EXPECT_EQ(boxes.shown[1].text, "Excel file already exists in DB.");
    EXPECT_EQ(boxes.shown[1].icon, DialogIcon::Warning);
    EXPECT_EQ(workbooks->topLevelItemCount(), 2);
    EXPECT_EQ(rows(ctx->db, "SELECT filename FROM excelfiles ORDER BY id", 1),
              QStringList({path, "/srv/other.xls"}));

    // A cancelled dialog registers nothing.
    addFile(QString());
    EXPECT_EQ(workbooks->topLevelItemCount(), 2);

    // Selecting shows the path and enables the editing controls.
    auto *description = in<QLineEdit>("DescriptionField");
    EXPECT_FALSE(description->isEnabled());
    EXPECT_FALSE(in<QSpinBox>("ColumnSpin")->isEnabled());
    selectWorkbook(path);
    EXPECT_EQ(in<QLineEdit>("FileField")->text(), path);
    EXPECT_TRUE(description->isEnabled());
    EXPECT_TRUE(in<QPushButton>("AddBindingButton")->isEnabled());
    const QString desc = QStringLiteral("HR's list \"2024\" $0041");
    description->setText(desc);
    in<QPushButton>("SetDescriptionButton")->click();
    EXPECT_EQ(workbooks->currentItem()->text(1), desc);
    EXPECT_EQ(rows(ctx->db, "SELECT desc FROM excelfiles WHERE desc IS NOT NULL", 1), QStringList({desc}));

    // A new window shows the same texts.
    window->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    openOptions();
    ASSERT_EQ(workbooks->topLevelItemCount(), 2);
    selectWorkbook(path);
    EXPECT_EQ(workbooks->currentItem()->text(1), desc);
    EXPECT_EQ(in<QLineEdit>("DescriptionField")->text(), desc);
}

TEST_F(ExcelFilesTabTest, ColumnsTakeTwoAttributesAndRebindingAsks)
{
    addFile("/srv/a.xlsx");
    selectWorkbook("/srv/a.xlsx");
    bind(3, kGivenName);
    bind(3, kSurname);
    bind(3, kMail);                   // the column is full: nothing happens
    EXPECT_EQ(boxes.shown.size(), 1); // only the file dialog
    EXPECT_EQ(bindingTexts(), QStringList({"3 Surname", "3 Given-Name"}));

    boxes.answers.enqueue(false);
    bind(5, kGivenName);
    EXPECT_EQ(boxes.shown.last().text, "AD attribute already exists. Update?");
    EXPECT_EQ(boxes.shown.last().title, "Options");
    EXPECT_EQ(bindingTexts(), QStringList({"3 Surname", "3 Given-Name"}));
    boxes.answers.enqueue(true);
    bind(5, kGivenName);
    EXPECT_EQ(bindingTexts(), QStringList({"3 Surname", "5 Given-Name"}));
    EXPECT_EQ(rows(ctx->db, "SELECT fld_order, attribute_id FROM excelfiles_bind ORDER BY attribute_id", 2),
              QStringList({"5|1", "3|2"}));

    bind(3, kSurname);
    EXPECT_EQ(
        boxes.shown.last().text,
        "Excel column and AD attribute already exist in the list, please remove or change existing pair.");
    EXPECT_EQ(boxes.shown.last().icon, DialogIcon::Information);

    // Picking a binding readies it for a changed re-add; deleting needs no question.
    QTreeWidgetItem *given = bindingRow("Given-Name");
    bindings->setCurrentItem(given);
    emit bindings->itemClicked(given, 0);
    EXPECT_EQ(in<QSpinBox>("ColumnSpin")->value(), 5);
    EXPECT_EQ(in<QComboBox>("AttributeCombo")->currentText(), "Given-Name");
    const int shownBefore = int(boxes.shown.size());
    trigger(tab->bindingMenu(), "Delete");
    EXPECT_EQ(boxes.shown.size(), shownBefore);
    EXPECT_EQ(bindingTexts(), QStringList({"3 Surname"}));
}

TEST_F(ExcelFilesTabTest, KeyAndLookupTagsMoveAndCombine)
{
    addFile("/srv/a.xlsx");
    selectWorkbook("/srv/a.xlsx");
    bind(1, kGivenName);
    bind(2, kSurname);
    QTreeWidgetItem *given = bindingRow("Given-Name");
    QTreeWidgetItem *surname = bindingRow("Surname");

    bindings->setCurrentItem(given);
    trigger(tab->bindingMenu(), "Tag as key pair");
    EXPECT_TRUE(isImage(given->icon(0), ImagePrimaryArrow));
    bindings->setCurrentItem(surname);
    trigger(tab->bindingMenu(), "Tag as key pair");
    EXPECT_TRUE(given->icon(0).isNull());
    EXPECT_TRUE(isImage(surname->icon(0), ImagePrimaryArrow));

    trigger(tab->bindingMenu(), "Tag as lookup pair");
    EXPECT_TRUE(isImage(surname->icon(0), ImageMagnifierArrow));
    bindings->setCurrentItem(given);
    trigger(tab->bindingMenu(), "Tag as lookup pair");
    EXPECT_TRUE(isImage(given->icon(0), ImageMagnifier));
    EXPECT_TRUE(isImage(surname->icon(0), ImagePrimaryArrow));
    EXPECT_EQ(rows(ctx->db,
                   "SELECT attribute_id, key_flag, search_flag FROM excelfiles_bind ORDER BY attribute_id",
                   3),
              QStringList({"1|0|1", "2|1|0"}));

    trigger(tab->bindingMenu(), "Clear tag");
    EXPECT_TRUE(given->icon(0).isNull());
    EXPECT_EQ(rows(ctx->db,
                   "SELECT attribute_id, key_flag, search_flag FROM excelfiles_bind ORDER BY attribute_id",
                   3),
              QStringList({"1|0|0", "2|1|0"}));

    // Reopening the workbook shows the stored tags.
    workbooks->clearSelection();
    EXPECT_EQ(bindings->topLevelItemCount(), 0);
    selectWorkbook("/srv/a.xlsx");
    EXPECT_TRUE(isImage(bindingRow("Surname")->icon(0), ImagePrimaryArrow));
}

TEST_F(ExcelFilesTabTest, WorkbookTagsAndTheirRefusal)
{
    addFile("/srv/a.xlsx");
    addFile("/srv/b.xlsx");
    selectWorkbook("/srv/a.xlsx");
    QTreeWidgetItem *a = workbooks->currentItem();
    trigger(tab->fileMenu(), "Tag as primary file");
    EXPECT_TRUE(isImage(a->icon(0), ImagePrimaryArrow));

    boxes.shown.clear();
    trigger(tab->fileMenu(), "Tag as export file");
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].title, "Options");
    EXPECT_EQ(boxes.shown[0].text, "Please clear existing tag then assign new one.");
    EXPECT_EQ(boxes.shown[0].icon, DialogIcon::Information);
    EXPECT_TRUE(isImage(a->icon(0), ImagePrimaryArrow));
    EXPECT_EQ(rows(ctx->db, "SELECT filename, primary_flag, export_flag FROM excelfiles ORDER BY id", 3),
              QStringList({"/srv/a.xlsx|1|", "/srv/b.xlsx|0|"}));

    // The primary tag moves to b; a becomes the export workbook.
    selectWorkbook("/srv/b.xlsx");
    QTreeWidgetItem *b = workbooks->currentItem();
    trigger(tab->fileMenu(), "Tag as primary file");
    EXPECT_TRUE(a->icon(0).isNull());
    EXPECT_TRUE(isImage(b->icon(0), ImagePrimaryArrow));
    selectWorkbook("/srv/a.xlsx");
    trigger(tab->fileMenu(), "Tag as export file");
    EXPECT_TRUE(isImage(a->icon(0), ImageExportArrow));

    // The menu marks the tag the selected workbook has; the export workbook's
    // bindings cannot be tagged.
    tab->showFileMenu(QPoint(0, 0));
    EXPECT_EQ(enabledItems(tab->fileMenu()), QStringList({"Add file...", "Clear tag", "Delete",
                                                          "Tag as primary file", "Tag as export file*"}));
    tab->fileMenu()->hide();
    bind(1, kGivenName);
    bindings->setCurrentItem(bindings->topLevelItem(0));
    tab->showBindingMenu(QPoint(0, 0));
    EXPECT_EQ(enabledItems(tab->bindingMenu()), QStringList({"Delete"}));
    tab->bindingMenu()->hide();

    trigger(tab->fileMenu(), "Clear tag");
    EXPECT_TRUE(a->icon(0).isNull());
    tab->showBindingMenu(QPoint(0, 0));
    EXPECT_EQ(enabledItems(tab->bindingMenu()).size(), 4);
    tab->bindingMenu()->hide();

    // With nothing selected only "Add file..." is offered, and no binding item.
    workbooks->clearSelection();
    tab->showFileMenu(QPoint(0, 0));
    EXPECT_EQ(enabledItems(tab->fileMenu()), QStringList({"Add file..."}));
    tab->fileMenu()->hide();
    tab->showBindingMenu(QPoint(0, 0));
    EXPECT_TRUE(enabledItems(tab->bindingMenu()).isEmpty());
    tab->bindingMenu()->hide();
}

TEST_F(ExcelFilesTabTest, DeletingAWorkbookAsksAndDeletesItsBindings)
{
    addFile("/srv/a.xlsx");
    addFile("/srv/b.xlsx");
    selectWorkbook("/srv/b.xlsx");
    bind(1, kMail);
    selectWorkbook("/srv/a.xlsx");
    bind(1, kGivenName);
    bind(2, kSurname);

    boxes.shown.clear();
    boxes.answers.enqueue(false);
    trigger(tab->fileMenu(), "Delete");
    EXPECT_EQ(boxes.texts(), QStringList({"Are you sure want to delete /srv/a.xlsx Excel file from DB?"}));
    EXPECT_EQ(workbooks->topLevelItemCount(), 2);

    boxes.answers.enqueue(true);
    trigger(tab->fileMenu(), "Delete");
    EXPECT_EQ(workbooks->topLevelItemCount(), 1);
    EXPECT_EQ(bindings->topLevelItemCount(), 0);
    EXPECT_TRUE(in<QLineEdit>("FileField")->text().isEmpty());
    EXPECT_FALSE(in<QSpinBox>("ColumnSpin")->isEnabled());
    EXPECT_FALSE(in<QPushButton>("AddBindingButton")->isEnabled());
    EXPECT_FALSE(in<QPushButton>("SetDescriptionButton")->isEnabled());
    EXPECT_EQ(rows(ctx->db, "SELECT filename FROM excelfiles", 1), QStringList({"/srv/b.xlsx"}));
    EXPECT_EQ(rows(ctx->db, "SELECT file_id, attribute_id FROM excelfiles_bind", 2).size(), 1);
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM excelfiles_bind WHERE attribute_id = '7'", 1),
              QStringList({"1"}));
}

TEST_F(ExcelFilesTabTest, ShowTagsAreStoredWhenTheWindowIsSaved)
{
    addFile("/srv/a.xlsx");
    selectWorkbook("/srv/a.xlsx");
    bind(1, kGivenName);
    bind(2, kSurname);
    bindingRow("Surname")->setCheckState(0, Qt::Checked);
    EXPECT_EQ(rows(ctx->db, "SELECT count(*) FROM excelfiles_bind WHERE show_flag = '1'", 1),
              QStringList({"0"}));

    window->findChild<QPushButton *>("OkButton")->click();
    EXPECT_EQ(rows(ctx->db, "SELECT attribute_id, show_flag FROM excelfiles_bind ORDER BY attribute_id", 2),
              QStringList({"1|0", "2|1"}));
}

TEST_F(ExcelFilesTabTest, ScreenshotOfTheOptionsWindow)
{
    addFile("/srv/hr/staff.xlsx");
    addFile("/srv/export/all-users.xlsx");
    selectWorkbook("/srv/export/all-users.xlsx");
    trigger(tab->fileMenu(), "Tag as export file");
    selectWorkbook("/srv/hr/staff.xlsx");
    trigger(tab->fileMenu(), "Tag as primary file");
    in<QLineEdit>("DescriptionField")->setText("HR staff list");
    in<QPushButton>("SetDescriptionButton")->click();
    bind(1, kGivenName);
    bind(2, kSurname);
    bind(4, kMail);
    bindings->setCurrentItem(bindingRow("E-mail-Addresses"));
    trigger(tab->bindingMenu(), "Tag as key pair");
    trigger(tab->bindingMenu(), "Tag as lookup pair");
    bindingRow("Surname")->setCheckState(0, Qt::Checked);
    window->findChild<QTabWidget *>("OptionsTabs")->setCurrentIndex(2);
    window->show();
    QApplication::processEvents();

    const QString folder = QStringLiteral(ORVANE_BINARY_DIR "/screenshots");
    QDir().mkpath(folder);
    const QImage shot = window->grab().toImage();
    EXPECT_TRUE(shot.save(folder + "/options-excel-files.png"));
    // What the picture shows: both workbooks with the primary one described,
    // its three bindings, and the primary mark drawn at its row.
    ASSERT_EQ(workbooks->topLevelItemCount(), 2);
    QTreeWidgetItem *staff = nullptr;
    for (int i = 0; i < workbooks->topLevelItemCount(); ++i)
        if (workbooks->topLevelItem(i)->text(0).contains("staff.xlsx"))
            staff = workbooks->topLevelItem(i);
    ASSERT_NE(staff, nullptr);
    EXPECT_EQ(staff->text(1), "HR staff list");
    EXPECT_EQ(bindings->topLevelItemCount(), 3);
    EXPECT_EQ(window->findChild<QTabWidget *>("OptionsTabs")->tabText(2), "Excel files");
    const QIcon primary = staff->icon(0);
    ASSERT_FALSE(primary.isNull());
    const QColor mark = solidColour(primary, staff->isSelected());
    QRect cell = workbooks->visualItemRect(staff);
    cell.moveTopLeft(workbooks->viewport()->mapTo(window, cell.topLeft()));
    bool markSeen = false;
    for (int y = cell.top(); y <= cell.bottom() && !markSeen; ++y)
        for (int x = cell.left(); x < cell.left() + 40 && !markSeen; ++x)
            markSeen = shot.pixelColor(x, y) == mark;
    EXPECT_TRUE(markSeen) << "the primary mark " << mark.name().toStdString() << " is not at its row";
    const char *names[] = {"options-object-selection.png", "options-active-directory.png", nullptr,
                           "options-color-markers.png", "options-replacements.png"};
    for (int i = 0; i < 5; ++i) {
        if (!names[i])
            continue;
        window->findChild<QTabWidget *>("OptionsTabs")->setCurrentIndex(i);
        QApplication::processEvents();
        EXPECT_TRUE(window->grab().save(folder + "/" + names[i]));
    }
}
