// The export of every directory user into the export workbook, against the
// private slapd, checked with ldapsearch and read back by openpyxl and by
// LibreOffice.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "TestSupport.h"
#include "WorkbookFixtures.h"
#include "WorkbookSetup.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "store/SettingsStore.h"
#include "workbook/ExportUsers.h"
#include "workbook/excel/RegisterServers.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

class ExportTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        registerExcelServer();
        registerDirectoryServers();
        folder = freshTestFolder();
        ASSERT_NO_FATAL_FAILURE(createSettingsFile(folder, db));
        path = folder + QStringLiteral("/export.xlsx");
        writeRowsWorkbook(path.toStdString(),
                          {{1, {"Account", "Phones", "Surname", "Title"}},
                           {2, {"kept2"}},
                           {3, {"kept3", "x"}},
                           {5, {"kept5", "", "", "last"}}},
                          true);
        registerWorkbookWith(db, path, QStringLiteral("Export"),
                             {{1, 13}, {2, attr::otherTelephone}, {3, attr::sn}, {4, attr::title}}, false,
                             true);
    }

    ExportJob job()
    {
        return {slapd.connection(), QStringLiteral(";"), ExportWorkbookPath(db), LoadExportBindings(db)};
    }

    ExportOutcome run(const ExportJob &j, const std::atomic_bool *stop = nullptr)
    {
        ExportCallbacks callbacks;
        callbacks.status = [this](const QString &t) { statuses << t; };
        callbacks.progress = [this](int written) { progress << written; };
        callbacks.warn = [this](const QString &title, const QString &text) {
            warnings << title + u'|' + text;
        };
        callbacks.stop = stop;
        return ExportUsers(j, callbacks);
    }

    // The active sheet as openpyxl reads it.
    QJsonObject readBack()
    {
        std::string out;
        EXPECT_EQ(runPythonScript("read_sheet.py", {path.toStdString()}, &out), 0) << out;
        return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    }

    // The accounts the export must write, found independently with ldapsearch.
    QSet<QString> expectedAccounts()
    {
        QSet<QString> accounts;
        const auto entries =
            ldapEntries(slapd, QStringLiteral("(objectCategory=User)"), {QStringLiteral("sAMAccountName")});
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            const QStringList sam = it.value().value(QStringLiteral("samaccountname"));
            if (!it.key().toLower().contains(QStringLiteral(",dc=child,")) && !sam.isEmpty())
                accounts.insert(sam.first());
        }
        return accounts;
    }

    Slapd slapd;
    QString folder;
    QString path;
    Database db;
    QStringList statuses;
    QList<int> progress;
    QStringList warnings;
};

TEST_F(ExportTest, UsersGoBelowTheLastUsedRowExactlyAsTheDirectoryHoldsThem)
{
    const QString dollarDn = addTestUser(slapd, QStringLiteral("Export Dollar"),
                                         QStringLiteral("sn: Dollar\nsAMAccountName: export.dollar\n"
                                                        "title: Cost $0041 'x' $"));
    const QSet<QString> expected = expectedAccounts();
    const int counted = CountUsers(slapd.connection(), {}).count;

    const ExportOutcome outcome = run(job());
    ldapTool(slapd, QStringLiteral("ldapdelete"), {dollarDn});

    EXPECT_TRUE(warnings.isEmpty()) << warnings.join(u'\n').toStdString();
    ASSERT_TRUE(outcome.saved);
    EXPECT_EQ(outcome.firstRow, 6);
    EXPECT_EQ(outcome.written, expected.size());
    EXPECT_EQ(outcome.written, counted);
    EXPECT_EQ(statuses, QStringList({QStringLiteral("Please wait... export is in progress")}));
    EXPECT_EQ(outcome.finalStatus,
              QStringLiteral("Finished: %1 users written to export.xlsx").arg(outcome.written));
    ASSERT_EQ(progress.size(), outcome.written);
    EXPECT_EQ(progress.first(), 1);
    EXPECT_EQ(progress.last(), outcome.written);

    const QJsonObject book = readBack();
    const QJsonObject cells = book.value(QStringLiteral("cells")).toObject();
    auto cell = [&](int row, int column) {
        return cells.value(QStringLiteral("%1,%2").arg(row).arg(column)).toString();
    };
    EXPECT_EQ(book.value(QStringLiteral("sheets")).toVariant().toStringList(),
              QStringList({QStringLiteral("Users"), QStringLiteral("Notes")}));
    EXPECT_EQ(book.value(QStringLiteral("bold")).toVariant().toStringList(),
              QStringList({QStringLiteral("1,1"), QStringLiteral("1,2"), QStringLiteral("1,3"),
                           QStringLiteral("1,4")}));
    EXPECT_EQ(QStringList({cell(1, 1), cell(2, 1), cell(3, 1), cell(3, 2), cell(5, 1), cell(5, 4)}),
              QStringList({QStringLiteral("Account"), QStringLiteral("kept2"), QStringLiteral("kept3"),
                           QStringLiteral("x"), QStringLiteral("kept5"), QStringLiteral("last")}));
    QSet<QString> written;
    QMap<QString, int> rowOf;
    for (int row = 6; row < 6 + outcome.written; ++row) {
        written.insert(cell(row, 1));
        rowOf.insert(cell(row, 1), row);
    }
    EXPECT_EQ(written, expected);
    EXPECT_TRUE(cell(6 + outcome.written, 1).isEmpty());
    EXPECT_FALSE(written.contains(QString())) << "a user without sAMAccountName took a row";
    EXPECT_EQ(cell(rowOf.value(QStringLiteral("fixture.full")), 2), QStringLiteral("111;222;333"));
    EXPECT_EQ(cell(rowOf.value(QStringLiteral("fixture.quote")), 3), QStringLiteral("'Quote"));
    EXPECT_EQ(cell(rowOf.value(QStringLiteral("export.dollar")), 4), QStringLiteral("Cost $0041 'x' $"));

    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty()) {
        GTEST_SKIP() << "soffice not installed (libreoffice-calc-nogui): LibreOffice check skipped";
    }
    QProcess lo;
    lo.setWorkingDirectory(folder);
    lo.start(soffice,
             {QStringLiteral("-env:UserInstallation=file://") + folder + QStringLiteral("/lo-profile"),
              QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
              QStringLiteral("--outdir"), folder + QStringLiteral("/csv"), path});
    ASSERT_TRUE(lo.waitForFinished(180000));
    QFile csv(folder + QStringLiteral("/csv/export.csv"));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly)) << lo.readAllStandardError().toStdString();
    const QStringList lines = QString::fromUtf8(csv.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 5 + outcome.written);
    EXPECT_EQ(lines[0].trimmed(), QStringLiteral("Account,Phones,Surname,Title"));
    EXPECT_EQ(lines[4].trimmed(), QStringLiteral("kept5,,,last"));
    EXPECT_TRUE(lines.contains(QStringLiteral("export.dollar,,Dollar,Cost $0041 'x' $")) ||
                lines.contains(QStringLiteral("export.dollar,,Dollar,Cost $0041 'x' $\r")));
}

TEST_F(ExportTest, AFailedSaveIsReportedAndAStopLeavesTheFileAsItWas)
{
    const std::string before = readFile(path.toStdString());
    std::atomic_bool stop{true};
    const ExportOutcome stopped = run(job(), &stop);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.saved);
    EXPECT_EQ(readFile(path.toStdString()), before);

    // A write-protected workbook is not replaced.
    ExportJob j = job();
    ExportCallbacks callbacks;
    callbacks.warn = [this](const QString &title, const QString &text) { warnings << title + u'|' + text; };
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const ExportOutcome failed = ExportUsers(j, callbacks);
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_FALSE(failed.saved);
    EXPECT_EQ(failed.finalStatus, QStringLiteral("Export failed: the workbook was not saved"));
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_TRUE(warnings[0].startsWith(QStringLiteral("Export|<-2147352567> COM method error occurred while "
                                                      "trying to save Excel file ") +
                                       path))
        << warnings[0].toStdString();

    warnings.clear();
    j.path = folder + QStringLiteral("/gone.xlsx");
    ExportUsers(j, callbacks);
    EXPECT_EQ(warnings, QStringList({QStringLiteral("Excel file error|Excel file ") + j.path +
                                     QStringLiteral(" does not exist.")}));
}
