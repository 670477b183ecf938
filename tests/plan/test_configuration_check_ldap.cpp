// The configuration check against the private slapd and generated workbooks:
// a sound settings file passes every line; each misconfigured piece fails by
// name and the pieces that need it are reported skipped.

#include "DirectorySetup.h"
#include "SettingsSetup.h"
#include "TestSupport.h"
#include "WorkbookSetup.h"
#include "plan/ConfigurationCheck.h"
#include "store/SettingsStore.h"
#include "workbook/excel/RegisterServers.h"

#include <QFile>
#include <QProcess>
#include <functional>
#include <gtest/gtest.h>
#include <ldap.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

// Lines by outcome: "failed", "skipped" (names in report order).
struct Outcome {
    QStringList failed, skipped;
    int passed = 0;
};

Outcome outcomeOf(const QList<CheckLine> &lines)
{
    Outcome o;
    for (const CheckLine &l : lines) {
        if (l.skipped)
            o.skipped << l.name;
        else if (!l.passed)
            o.failed << l.name;
        else
            ++o.passed;
    }
    return o;
}

const CheckLine *lineNamed(const QList<CheckLine> &lines, const QString &name)
{
    for (const CheckLine &l : lines)
        if (l.name == name)
            return &l;
    return nullptr;
}

} // namespace

class ConfigurationCheckTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto s = slapdFromEnvironment();
        if (!s)
            ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
        slapd = *s;
        registerExcelServer();
        prepare();
    }

  public:
    // A fresh settings file pointed at the slapd, with one workbook and three bindings.
    void prepare()
    {
        db.close();
        folder = freshTestFolder();
        ASSERT_NO_FATAL_FAILURE(createSettingsFile(folder, db));
        settings = loadSettings(db);
        connectTo(settings, slapd);
        const QString workbook = folder + QStringLiteral("/hr.xlsx");
        writeRowsWorkbook(workbook.toStdString(),
                          {{1, {"ID", "Title", "Department"}}, {2, {"C0001", "Clerk"}}});
        registerWorkbookWith(db, workbook, QStringLiteral("HR"),
                             {{1, attr::employeeID, true}, {2, attr::title}, {3, attr::department}}, true);
    }

    QList<CheckLine> check() { return CheckConfiguration(db, settings, connectionFromSettings(settings)); }
    QString bindLine() const { return QStringLiteral("Bind as ") + settings.userName; }
    QString baseLine() const
    {
        return QStringLiteral("Base DN ") + settings.baseDn + QStringLiteral(" found");
    }
    static QStringList columnLines()
    {
        return {QStringLiteral("Workbook 1 column 1 (A) exists"),
                QStringLiteral("Workbook 1 column 2 (B) exists"),
                QStringLiteral("Workbook 1 column 3 (C) exists")};
    }
    static QStringList attributeLines()
    {
        return {QStringLiteral("Attribute employeeID exists"), QStringLiteral("Attribute title exists"),
                QStringLiteral("Attribute department exists")};
    }

    Slapd slapd;
    QString folder;
    Database db;
    Settings settings;
};

TEST_F(ConfigurationCheckTest, SoundConfigurationPassesEveryLine)
{
    QList<CheckLine> seen;
    const QList<CheckLine> lines = CheckConfiguration(db, settings, connectionFromSettings(settings),
                                                      [&](const CheckLine &l) { seen << l; });
    QStringList names;
    for (const CheckLine &l : lines)
        names << l.name;
    EXPECT_EQ(names, QStringList({QStringLiteral("Server reachable"), QStringLiteral("TLS established"),
                                  bindLine(), baseLine(), QStringLiteral("Workbook 1 opens")}) +
                         columnLines() + attributeLines());
    EXPECT_EQ(outcomeOf(lines).passed, lines.size());
    EXPECT_TRUE(allChecksPassed(lines));
    EXPECT_EQ(seen.size(), lines.size());
    const QString tls = lineNamed(lines, QStringLiteral("TLS established"))->detail;
    EXPECT_TRUE(tls.contains(QStringLiteral("StartTLS established"))) << tls.toStdString();
    EXPECT_TRUE(
        tls.contains(qEnvironmentVariable("LDAPTLS_CACERT") + QStringLiteral(" (from LDAPTLS_CACERT)")))
        << tls.toStdString();
}

// libldap reads its trust once per process, so the test swaps the global CA
// file (and the environment naming it) and makes a new TLS context.
void trustCaFile(const QString &path)
{
    qputenv("LDAPTLS_CACERT", path.toLocal8Bit());
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_CACERTFILE, path.toLocal8Bit().constData());
    const int client = 0;
    ldap_set_option(nullptr, LDAP_OPT_X_TLS_NEWCTX, &client);
}

TEST_F(ConfigurationCheckTest, CertificateFromAnotherCaFailsTlsNamingTheCaFile)
{
    const QString otherCa = folder + QStringLiteral("/other-ca.pem");
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                   folder + QStringLiteral("/other-ca.key"), QStringLiteral("-out"), otherCa,
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                   QStringLiteral("/CN=Another CA")});
    ASSERT_TRUE(openssl.waitForFinished(60000));
    ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    const QString ownCa = qEnvironmentVariable("LDAPTLS_CACERT");
    trustCaFile(otherCa);
    const QList<CheckLine> lines = check();
    trustCaFile(ownCa);

    const Outcome o = outcomeOf(lines);
    EXPECT_EQ(o.failed, QStringList{QStringLiteral("TLS established")});
    EXPECT_EQ(o.skipped, QStringList({bindLine(), baseLine()}) + attributeLines());
    const QString detail = lineNamed(lines, QStringLiteral("TLS established"))->detail;
    // It leads with the one line a failed search shows.
    EXPECT_TRUE(detail.startsWith(QStringLiteral("TLS failed: the certificate is not signed by a trusted CA (CA file ") +
                                  otherCa + QStringLiteral("). ")))
        << detail.toStdString();
    EXPECT_TRUE(detail.contains(QStringLiteral("handshake did not succeed")));
    EXPECT_TRUE(detail.contains(QStringLiteral("checked against the name ") + slapd.host))
        << detail.toStdString();
    EXPECT_TRUE(
        detail.contains(QStringLiteral("CA file ") + otherCa + QStringLiteral(" (from LDAPTLS_CACERT)")))
        << detail.toStdString();
    EXPECT_TRUE(allChecksPassed(check())) << "the own CA is trusted again";
}

// One misconfigured piece per row: the one failing line and the lines skipped after it.
struct Misconfiguration {
    const char *what;
    std::function<void(ConfigurationCheckTest &, Settings &, Database &)> spoil;
    std::function<QStringList(const Settings &)> failed;
    std::function<QStringList(const Settings &)> skipped;
    const char *detailHas = "";
};

TEST_F(ConfigurationCheckTest, EachMisconfiguredPieceFailsByName)
{
    const auto bindOf = [](const Settings &s) { return QStringLiteral("Bind as ") + s.userName; };
    const auto baseOf = [](const Settings &s) {
        return QStringLiteral("Base DN ") + s.baseDn + QStringLiteral(" found");
    };
    const auto none = [](const Settings &) { return QStringList(); };
    const auto setFile = [](Database &d, const QString &path) {
        d.execute(QStringLiteral("UPDATE excelfiles SET filename = ") + sqlQuote(path));
    };
    const QList<Misconfiguration> rows{
        {"wrong port",
         [](auto &, Settings &s, Database &) { s.serverAddress = QStringLiteral("127.0.0.1:1"); },
         [](const Settings &) { return QStringList{QStringLiteral("Server reachable")}; },
         [&](const Settings &s) {
             return QStringList{QStringLiteral("TLS established"), bindOf(s), baseOf(s)} + attributeLines();
         },
         "127.0.0.1:1"},
        {"server without TLS",
         [](auto &t, Settings &s, Database &) {
             s.serverAddress = t.slapd.host + u':' + qEnvironmentVariable("ORVANE_SLAPD_PLAIN_PORT");
         },
         [](const Settings &) { return QStringList{QStringLiteral("TLS established")}; },
         [&](const Settings &s) {
             return QStringList{bindOf(s), baseOf(s)} + attributeLines();
         },
         "StartTLS failed"},
        {"wrong password",
         [](auto &, Settings &s, Database &) { s.password = QStringLiteral("not-the-password"); },
         [&](const Settings &s) { return QStringList{bindOf(s)}; },
         [&](const Settings &s) { return QStringList{baseOf(s)} + attributeLines(); },
         "the server refused the bind: invalid credentials (<-2147023570> Invalid credentials"},
        {"Kerberos without a ticket",
         [](auto &, Settings &s, Database &) {
             qputenv("KRB5CCNAME", "MEMORY:orvane-check-no-ticket");
             s.useCurrentCredentials = 1;
         },
         [](const Settings &) {
             return QStringList{QStringLiteral("Bind by Kerberos (current credentials)")};
         },
         [&](const Settings &s) { return QStringList{baseOf(s)} + attributeLines(); },
         "Kerberos (GSSAPI) bind failed"},
        {"wrong base DN",
         [](auto &, Settings &s, Database &) { s.baseDn = QStringLiteral("OU=Nowhere,") + s.baseDn; },
         [&](const Settings &s) { return QStringList{baseOf(s)}; }, none, "No such object"},
        {"missing workbook",
         [&](auto &t, Settings &, Database &d) { setFile(d, t.folder + QStringLiteral("/gone.xlsx")); },
         [](const Settings &) { return QStringList{QStringLiteral("Workbook 1 opens")}; },
         [](const Settings &) { return columnLines(); }, "gone.xlsx not found"},
        {"damaged workbook",
         [&](auto &t, Settings &, Database &d) {
             QFile f(t.folder + QStringLiteral("/damaged.xlsx"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write("PK\3\4 not a zip archive");
             f.close();
             setFile(d, f.fileName());
         },
         [](const Settings &) { return QStringList{QStringLiteral("Workbook 1 opens")}; },
         [](const Settings &) { return columnLines(); }, "damaged.xlsx"},
        {"column beyond the sheet",
         [](auto &, Settings &, Database &d) {
             d.execute(QStringLiteral("UPDATE excelfiles_bind SET fld_order = 9 WHERE fld_order = 3"));
         },
         [](const Settings &) { return QStringList{QStringLiteral("Workbook 1 column 9 (I) exists")}; }, none,
         "columns A to C (3), so this column is beyond them"},
        {"attribute missing from the schema",
         [](auto &, Settings &, Database &d) {
             d.execute(QStringLiteral(
                 "INSERT INTO attributes(id, fld, attribute, multivalued, rangeupper, elements) "
                 "VALUES(90, 'Shoe size', 'shoeSize', 0, 8, 1)"));
             d.execute(QStringLiteral("UPDATE excelfiles_bind SET attribute_id = 90 WHERE fld_order = 3"));
         },
         [](const Settings &) { return QStringList{QStringLiteral("Attribute shoeSize exists")}; }, none,
         "not in the directory's schema"},
        {"attribute missing from the catalogue",
         [](auto &, Settings &, Database &d) {
             d.execute(QStringLiteral("UPDATE excelfiles_bind SET attribute_id = 91 WHERE fld_order = 3"));
         },
         [](const Settings &) { return QStringList{QStringLiteral("Attribute 91 exists")}; }, none,
         "attribute catalogue"},
    };
    for (const Misconfiguration &row : rows) {
        SCOPED_TRACE(row.what);
        prepare();
        row.spoil(*this, settings, db);
        const QList<CheckLine> lines = check();
        const Outcome o = outcomeOf(lines);
        EXPECT_EQ(o.failed, row.failed(settings));
        EXPECT_EQ(o.skipped, row.skipped(settings));
        EXPECT_FALSE(allChecksPassed(lines));
        const CheckLine *failed = o.failed.isEmpty() ? nullptr : lineNamed(lines, o.failed.first());
        ASSERT_NE(failed, nullptr);
        EXPECT_TRUE(failed->detail.contains(QString::fromUtf8(row.detailHas)))
            << failed->detail.toStdString();
    }
}
