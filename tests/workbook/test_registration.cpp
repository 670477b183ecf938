#include "store/Database.h"
#include "store/SettingsStore.h"
#include "workbook/Registration.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

// Catalogue ids of a few attributes.
constexpr long long kGivenName = 1;
constexpr long long kSurname = 2;
constexpr long long kDisplayName = 3;
constexpr long long kMail = 7;

} // namespace

class RegistrationTest : public ::testing::Test
{
  protected:
    // One new settings file for the suite; each test works on a copy of it.
    static void SetUpTestSuite()
    {
        QDir(kTemplateFolder).removeRecursively();
        QDir().mkpath(kTemplateFolder);
        ASSERT_EQ(createIfMissing(templatePath(), seedCharacterLists()), CreateOutcome::Created);
    }

    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        const QString folder = QStringLiteral(ORVANE_TEST_TMP "/") + QString::fromLatin1(info->name());
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/data.db3");
        ASSERT_TRUE(QFile::copy(templatePath(), path));
        ASSERT_TRUE(db.open(path));
    }

    static QString templatePath() { return kTemplateFolder + QStringLiteral("/data.db3"); }
    static inline const QString kTemplateFolder = QStringLiteral(ORVANE_TEST_TMP "/template");

    QStringList bindingRows(long long fileId)
    {
        QStringList result;
        for (const WorkbookBinding &b : loadWorkbookBindings(db, BindingStatement::BindingList, fileId))
            result
                << QStringLiteral("%1 %2 k%3 s%4").arg(b.column).arg(b.fld).arg(b.keyFlag).arg(b.lookupFlag);
        return result;
    }

    Database db;
};

TEST_F(RegistrationTest, PathTextIsRegisteredOnceAndStoredExactly)
{
    const QString path = QStringLiteral("/data/O'Neil $0041/staff.xlsx");
    const long long id = registerWorkbook(db, path);
    ASSERT_NE(id, 0);
    EXPECT_EQ(registerWorkbook(db, path), 0);
    // The same file through another path text counts as another workbook.
    EXPECT_NE(registerWorkbook(db, QStringLiteral("/data/O'Neil $0041/../O'Neil $0041/staff.xlsx")), 0);

    const QList<RegisteredWorkbook> all = loadWorkbooks(db);
    ASSERT_EQ(all.size(), 2);
    EXPECT_EQ(all[0].filename, path);
    EXPECT_EQ(all[0].primaryFlag, 0);
    EXPECT_EQ(all[0].exportFlag, 0);
    EXPECT_TRUE(all[0].desc.isEmpty());

    const QString desc = QStringLiteral("HR's list $0041");
    EXPECT_TRUE(setWorkbookDescription(db, id, desc));
    EXPECT_EQ(workbookDescription(db, id), desc);
}

TEST_F(RegistrationTest, TagsMoveBetweenWorkbooksAndNeverStack)
{
    const long long a = registerWorkbook(db, "a.xlsx");
    const long long b = registerWorkbook(db, "b.xlsx");
    EXPECT_EQ(tagWorkbook(db, a, WorkbookTag::Primary).previous, 0);
    const WorkbookTagResult moved = tagWorkbook(db, b, WorkbookTag::Primary);
    EXPECT_FALSE(moved.refused);
    EXPECT_EQ(moved.previous, a);

    // A primary workbook cannot become the export workbook, nor primary again.
    EXPECT_TRUE(tagWorkbook(db, b, WorkbookTag::Export).refused);
    EXPECT_TRUE(tagWorkbook(db, b, WorkbookTag::Primary).refused);
    EXPECT_FALSE(tagWorkbook(db, a, WorkbookTag::Export).refused);
    const QList<RegisteredWorkbook> all = loadWorkbooks(db);
    EXPECT_EQ(workbookImage(all[0].primaryFlag, all[0].exportFlag), 16);
    EXPECT_EQ(workbookImage(all[1].primaryFlag, all[1].exportFlag), 0);

    clearWorkbookTags(db, a);
    EXPECT_EQ(loadWorkbooks(db)[0].exportFlag, 0);
    EXPECT_EQ(workbookImage(0, 0), kNoImage);
}

TEST_F(RegistrationTest, ColumnsCarryTwoAttributesAndAnAttributeOneColumn)
{
    const long long f = registerWorkbook(db, "a.xlsx");
    const struct {
        int column;
        long long attribute;
        BindingAddition expected;
    } steps[] = {
        {3, kGivenName, BindingAddition::Insert},     {3, kSurname, BindingAddition::Insert},
        {3, kMail, BindingAddition::ColumnFull},      {5, kGivenName, BindingAddition::AskToMove},
        {3, kGivenName, BindingAddition::ColumnFull},
    };
    for (const auto &step : steps) {
        const BindingAddition got = classifyBinding(db, f, step.column, step.attribute);
        EXPECT_EQ(got, step.expected) << step.column << " " << step.attribute;
        if (got == BindingAddition::Insert) {
            EXPECT_TRUE(insertBinding(db, f, step.column, step.attribute));
        }
    }
    EXPECT_TRUE(moveBinding(db, f, 5, kGivenName));
    EXPECT_EQ(bindingRows(f), QStringList({"5 Given-Name k0 s0", "3 Surname k0 s0"}));
    EXPECT_EQ(classifyBinding(db, f, 5, kSurname), BindingAddition::AlreadyBound);
    EXPECT_EQ(classifyBinding(db, f, 3, kSurname), BindingAddition::AlreadyBound);

    EXPECT_TRUE(deleteBinding(db, f, kSurname, "3"));
    EXPECT_EQ(bindingRows(f), QStringList({"5 Given-Name k0 s0"}));
}

TEST_F(RegistrationTest, KeyAndLookupTagsAreOnePerWorkbook)
{
    const long long f = registerWorkbook(db, "a.xlsx");
    const long long other = registerWorkbook(db, "b.xlsx");
    insertBinding(db, f, 1, kGivenName);
    insertBinding(db, f, 2, kSurname);
    insertBinding(db, other, 1, kDisplayName);
    tagBinding(db, other, "1", kDisplayName, BindingTag::Key);

    BindingTagResult r = tagBinding(db, f, "1", kGivenName, BindingTag::Key);
    EXPECT_FALSE(r.hadPrevious);
    EXPECT_EQ(r.image, 0);

    // A second key pair takes the tag from the first.
    r = tagBinding(db, f, "2", kSurname, BindingTag::Key);
    EXPECT_TRUE(r.hadPrevious);
    EXPECT_EQ(r.previousColumn, 1);
    EXPECT_EQ(r.previousAttribute, kGivenName);
    EXPECT_EQ(r.previousImage, kNoImage);
    EXPECT_EQ(bindingRows(f), QStringList({"1 Given-Name k0 s0", "2 Surname k1 s0"}));
    EXPECT_EQ(bindingRows(other), QStringList({"1 Display-Name k1 s0"}));

    // The key pair tagged as lookup pair too shows both.
    r = tagBinding(db, f, "2", kSurname, BindingTag::Lookup);
    EXPECT_EQ(r.image, 2);
    // Moving the lookup tag leaves the key pair its own icon.
    r = tagBinding(db, f, "1", kGivenName, BindingTag::Lookup);
    EXPECT_EQ(r.previousAttribute, kSurname);
    EXPECT_EQ(r.previousImage, 0);
    EXPECT_EQ(r.image, 1);

    clearBindingTags(db, f, kGivenName);
    EXPECT_EQ(bindingRows(f), QStringList({"1 Given-Name k0 s0", "2 Surname k1 s0"}));
    EXPECT_EQ(bindingImage(1, 1), 2);
    EXPECT_EQ(bindingImage(0, 1), 1);
    EXPECT_EQ(bindingImage(0, 0), kNoImage);
}

TEST_F(RegistrationTest, DeletingAWorkbookDeletesItsBindings)
{
    const long long f = registerWorkbook(db, "a.xlsx");
    const long long kept = registerWorkbook(db, "b.xlsx");
    insertBinding(db, f, 1, kGivenName);
    insertBinding(db, kept, 1, kGivenName);
    storeShowFlag(db, kept, kGivenName, true);
    deleteWorkbook(db, f);
    EXPECT_EQ(loadWorkbooks(db).size(), 1);
    EXPECT_TRUE(loadWorkbookBindings(db, BindingStatement::BindingList, f).isEmpty());
    ASSERT_EQ(loadWorkbookBindings(db, BindingStatement::BindingList, kept).size(), 1);
    EXPECT_EQ(loadWorkbookBindings(db, BindingStatement::BindingList, kept).first().showFlag, 1);
}
