// The "Excel.Application" stand-in driven through the command engine with
// the command strings the program sends: open, Find and its next-row walk,
// cell reads, the last used row, cell writes, Save and Quit.

#include "WorkbookFixtures.h"
#include "automation/CommandEngine.h"
#include "automation/com/DispatchObject.h"
#include "workbook/excel/RegisterServers.h"
#include "workbook/engine/Workbook.h"

#include <gtest/gtest.h>

namespace orvane
{
namespace
{

QString openCommand(const std::string &path)
{
    return QStringLiteral("Workbooks\\Open('") + QString::fromStdString(path) + QStringLiteral("')");
}

QString firstRowCommand(int column, const QString &value)
{
    return QStringLiteral("ActiveSheet\\Columns(%1)\\Find('%2', #optional, #optional, 1)\\Row")
        .arg(column)
        .arg(value);
}

QString nextRowCommand(int column, const QString &letters, qint64 row, const QString &value)
{
    return QStringLiteral("ActiveSheet\\Columns(%1)\\Range('%2%3')\\Find('%4', #optional, #optional, 1)\\Row")
        .arg(column)
        .arg(letters)
        .arg(row)
        .arg(value);
}

QString cellCommand(int row, int column)
{
    return QStringLiteral("Cells(%1, %2)").arg(row).arg(column);
}

const QString kLastRow = QStringLiteral("ActiveSheet\\UsedRange\\SpecialCells(11)\\Row");

class ExcelServer : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        registerExcelServer();
        baseline_ = DispatchObject::liveCount();
    }
    void TearDown() override
    {
        for (AutomationObject *app : apps_) {
            releaseObject(app);
        }
        EXPECT_EQ(DispatchObject::liveCount(), baseline_) << "every object is released";
    }
    // A new application with `path` opened, as OpenWorkbook makes it.
    AutomationObject *openWorkbook(const std::string &path)
    {
        AutomationObject *app = createObject(QStringLiteral("Excel.Application"));
        EXPECT_NE(app, nullptr) << lastErrorText().toStdString();
        if (app) {
            apps_.push_back(app);
            EXPECT_EQ(invoke(app, openCommand(path)), S_OK) << lastErrorText().toStdString();
        }
        return app;
    }

    long baseline_ = 0;
    std::vector<AutomationObject *> apps_;
};

TEST_F(ExcelServer, CellReadsGiveWhatTheCellShows)
{
    std::string path = test::scratchDir("server-read") + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    struct Case {
        int row;
        int column;
        const char *text;
    };
    const Case cases[] = {
        {2, 1, "Alice"},    {2, 2, "00123"},      {2, 3, "BoldPlain"},
        {3, 1, "42"},       {3, 3, "0.3"},        {3, 4, "1.23456789012346E+17"},
        {3, 5, "1E-07"},    {4, 1, "2024-01-05"}, {4, 2, "2024-01-05 13:04:05"},
        {4, 3, "12:00:00"}, {5, 1, "True"},       {5, 2, "False"},
        {5, 3, ""},         {5, 4, "3"},          {6, 1, ""},
        {7, 8, "last"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(getStringProperty(app, cellCommand(c.row, c.column)).toStdString(), c.text)
            << "row " << c.row << " column " << c.column;
        EXPECT_EQ(lastErrorCode(), S_OK) << "row " << c.row << " column " << c.column;
    }
    EXPECT_EQ(getStringProperty(app, QStringLiteral("ActiveSheet\\Name")), QStringLiteral("Data"));
    EXPECT_EQ(getIntegerProperty(app, kLastRow), 7);
    EXPECT_EQ(invoke(app, QStringLiteral("Quit()")), S_OK);
}

TEST_F(ExcelServer, NonFirstActiveSheetAndErrorCells)
{
    std::string path = test::scratchDir("server-gamma") + "/gamma.xlsx", output;
    ASSERT_EQ(test::runPythonScript("make_openpyxl_workbook.py", {path}, &output), 0) << output;
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    EXPECT_EQ(getStringProperty(app, QStringLiteral("ActiveSheet\\Name")), QStringLiteral("Gamma"));
    EXPECT_EQ(getStringProperty(app, cellCommand(1, 1)), QStringLiteral("plain"));
    EXPECT_EQ(getStringProperty(app, cellCommand(5, 1)), QStringLiteral("2024-02-29 08:30:00"));
    // An error cell holds a CVErr value, which has no text: the read gives empty text.
    EXPECT_EQ(getStringProperty(app, cellCommand(8, 1)), QString());
    EXPECT_NE(lastErrorCode(), S_OK);
    EXPECT_EQ(getIntegerProperty(app, kLastRow), 14);
}

TEST_F(ExcelServer, FindAndTheNextRowWalk)
{
    std::string path = test::scratchDir("server-find") + "/find.xlsx";
    test::writeColumnWorkbook(path, 3,
                              {{1, "Name"}, {4, "Smith"}, {6, "Smithson"}, {9, "SMITH"}, {12, "smith"}});
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    const QString value = QStringLiteral("Smith");
    qint64 first = getIntegerProperty(app, firstRowCommand(3, value));
    EXPECT_EQ(first, 4);
    std::vector<qint64> walked;
    qint64 previous = first, row = 0;
    do {
        row = getIntegerProperty(app, nextRowCommand(3, QStringLiteral("C"), previous, value));
        walked.push_back(row);
        previous = row;
    } while (row != first && row != 0 && walked.size() < 10);
    EXPECT_EQ(walked, (std::vector<qint64>{9, 12, 4}));

    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(3, QStringLiteral("sMiTh"))), 4);
    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(3, QStringLiteral("Smiths"))), 0);
    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(3, QStringLiteral("Smi"))), 0);
    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(3, QStringLiteral("Nobody"))), 0);
    EXPECT_NE(lastErrorCode(), S_OK) << "no match leaves a failure, read as row 0";
    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(2, value)), 0);
    EXPECT_EQ(getIntegerProperty(app, nextRowCommand(3, QStringLiteral("C"), 6, value)), 9);
}

TEST_F(ExcelServer, ExportWritesFromTheLastUsedRowAndSaves)
{
    std::string dir = test::scratchDir("server-export");
    std::string path = dir + "/export.xlsx";
    test::writeColumnWorkbook(path, 1, {{1, "cn"}, {2, "a"}, {5, "e"}});
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    qint64 row = getIntegerProperty(app, kLastRow);
    EXPECT_EQ(row, 5);
    for (const char *user : {"first user", "second user"}) {
        EXPECT_EQ(setProperty(app, QStringLiteral("Cells(%1,1)\\Value = '%2'").arg(row).arg(user)), S_OK)
            << lastErrorText().toStdString();
        EXPECT_EQ(setProperty(app, QStringLiteral("Cells(%1,2)\\Value = %3").arg(row).arg(row * 10)), S_OK);
        ++row;
    }
    EXPECT_EQ(getStringProperty(app, cellCommand(6, 1)), QStringLiteral("second user"));
    EXPECT_EQ(getIntegerProperty(app, kLastRow), 6);
    EXPECT_EQ(invoke(app, QStringLiteral("Save")), S_OK) << lastErrorText().toStdString();
    EXPECT_EQ(invoke(app, QStringLiteral("Quit()")), S_OK);

    AutomationObject *again = openWorkbook(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(getStringProperty(again, cellCommand(5, 1)), QStringLiteral("first user"));
    EXPECT_EQ(getStringProperty(again, cellCommand(6, 1)), QStringLiteral("second user"));
    EXPECT_EQ(getStringProperty(again, cellCommand(6, 2)), QStringLiteral("60"));
    EXPECT_EQ(getStringProperty(again, cellCommand(2, 1)), QStringLiteral("a"));
    // A value with a quote travels through quoteArgument and is stored as text.
    QString quoted = QStringLiteral("O'Brien $0041");
    EXPECT_EQ(setProperty(again, QStringLiteral("Cells(7,1)\\Value = ") + quoteArgument(quoted)), S_OK);
    EXPECT_EQ(getStringProperty(again, cellCommand(7, 1)), quoted);
}

TEST_F(ExcelServer, QuitNeverSaves)
{
    std::string path = test::scratchDir("server-quit") + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    std::string bytes = test::readFile(path);
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    EXPECT_EQ(setProperty(app, QStringLiteral("Cells(2,1)\\Value = 'changed'")), S_OK);
    EXPECT_EQ(invoke(app, QStringLiteral("Quit()")), S_OK);
    EXPECT_TRUE(test::readFile(path) == bytes);
    EXPECT_EQ(getStringProperty(app, cellCommand(2, 1)), QString());
    EXPECT_NE(lastErrorCode(), S_OK);
}

TEST_F(ExcelServer, FailedOpenIsReportedAndLaterCommandsFailQuietly)
{
    std::string dir = test::scratchDir("server-bad");
    std::string truncated = dir + "/truncated.xlsx";
    test::writeXlsxWriterWorkbook(truncated);
    std::string bytes = test::readFile(truncated);
    test::writeFile(truncated, bytes.substr(0, bytes.size() / 3));
    std::string encrypted = dir + "/encrypted.xlsx";
    test::writeCompoundFile(encrypted,
                            {{"EncryptionInfo", "info"}, {"EncryptedPackage", std::string(5000, 'x')}});
    struct Case {
        std::string path;
        const char *says;
    };
    const Case cases[] = {
        {dir + "/missing.xlsx", "does not exist"}, {truncated, "truncated"}, {encrypted, "password"}};
    for (const Case &c : cases) {
        AutomationObject *app = createObject(QStringLiteral("Excel.Application"));
        ASSERT_TRUE(app);
        apps_.push_back(app);
        EXPECT_NE(invoke(app, openCommand(c.path)), S_OK) << c.path;
        EXPECT_NE(lastErrorCode(), S_OK);
        EXPECT_TRUE(lastErrorText().contains(QString::fromStdString(c.path)))
            << lastErrorText().toStdString();
        EXPECT_TRUE(lastErrorText().contains(QString::fromLatin1(c.says))) << lastErrorText().toStdString();
        EXPECT_EQ(getIntegerProperty(app, firstRowCommand(1, QStringLiteral("x"))), 0);
        EXPECT_EQ(getStringProperty(app, cellCommand(1, 1)), QString());
        EXPECT_EQ(getIntegerProperty(app, kLastRow), 0);
        // The export checks only Save: it names the cause too.
        EXPECT_NE(invoke(app, QStringLiteral("Save")), S_OK);
        EXPECT_TRUE(lastErrorText().startsWith(QStringLiteral("No workbook is open. ")))
            << lastErrorText().toStdString();
        EXPECT_TRUE(lastErrorText().contains(QString::fromLatin1(c.says))) << lastErrorText().toStdString();
        EXPECT_EQ(invoke(app, QStringLiteral("Quit()")), S_OK);
    }
}

TEST_F(ExcelServer, SavingALegacyWorkbookIsRefused)
{
    std::string path = test::scratchDir("server-xls") + "/legacy.xls", output;
    ASSERT_EQ(test::runPythonScript("make_xls_workbook.py", {path}, &output), 0) << output;
    std::string bytes = test::readFile(path);
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    EXPECT_EQ(getStringProperty(app, cellCommand(1, 1)), QStringLiteral("text"));
    EXPECT_EQ(getIntegerProperty(app, firstRowCommand(2, QStringLiteral("KEY"))), 10);
    EXPECT_EQ(setProperty(app, QStringLiteral("Cells(14,1)\\Value = 'exported'")), S_OK);
    EXPECT_NE(invoke(app, QStringLiteral("Save")), S_OK);
    EXPECT_TRUE(lastErrorText().contains(QStringLiteral(".xls format"))) << lastErrorText().toStdString();
    EXPECT_EQ(invoke(app, QStringLiteral("Quit()")), S_OK);
    EXPECT_TRUE(test::readFile(path) == bytes);
}

TEST_F(ExcelServer, OddArgumentsFailWithoutHarm)
{
    std::string path = test::scratchDir("server-odd") + "/data.xlsx";
    test::writeXlsxWriterWorkbook(path);
    AutomationObject *app = openWorkbook(path);
    ASSERT_TRUE(app);
    const QString commands[] = {
        QStringLiteral("Cells(0, 1)"),
        QStringLiteral("Cells(1048577, 1)"),
        QStringLiteral("Cells(1, 16385)"),
        QStringLiteral("Cells(1)"),
        QStringLiteral("ActiveSheet\\Columns(0)\\Row"),
        QStringLiteral("ActiveSheet\\Columns(1)\\Range('1A')\\Row"),
        QStringLiteral("ActiveSheet\\Columns(1)\\Find('x', #optional, #optional, 2)\\Row"),
        QStringLiteral("ActiveSheet\\UsedRange\\SpecialCells(2)\\Row"),
        QStringLiteral("ActiveSheet\\Nonsense"),
    };
    for (const QString &command : commands) {
        EXPECT_EQ(getIntegerProperty(app, command), 0) << command.toStdString();
        EXPECT_NE(lastErrorCode(), S_OK) << command.toStdString();
    }
    EXPECT_NE(setProperty(app, QStringLiteral("ActiveSheet\\UsedRange\\Value = 'x'")), S_OK);
    EXPECT_NE(setProperty(app, QStringLiteral("ActiveSheet\\Name = 'x'")), S_OK);
}

} // namespace
} // namespace orvane
