// Reads that the directory's record set and the Excel stand-in answer in one
// call (a whole member path) against the same reads made member by member:
// for every command of the tables below, both routes must give the same
// value, type, code and last-error text, and that value must be the expected
// one. Real components: a search of the private slapd, a libxlsxwriter
// workbook opened by the Excel stand-in.

#include "DirectorySetup.h"
#include "WorkbookFixtures.h"
#include "automation/CommandEngine.h"
#include "automation/RecordColumnReads.h"
#include "automation/com/Bstr.h"
#include "automation/com/VariantChangeType.h"
#include "directory/UserSearch.h"
#include "directory/ldap/RegisterServers.h"
#include "workbook/excel/RegisterServers.h"

#include <gtest/gtest.h>

using namespace orvane;
using namespace orvane::test;

namespace
{

enum class Read { Text, Integer, Variant, Object, Joined };

struct Outcome {
    HRESULT code = 0;
    QString text;
    VARTYPE type = VT_EMPTY;
    QString value;
    bool operator==(const Outcome &) const = default;
};

std::ostream &operator<<(std::ostream &out, const Outcome &o)
{
    return out << "code " << std::hex << static_cast<std::uint32_t>(o.code) << std::dec << " type " << o.type
               << " value '" << o.value.toStdString() << "' text '" << o.text.toStdString() << "'";
}

// A VARIANT as comparable text: arrays joined by "|", bytes in hex.
QString describe(const VARIANT *v)
{
    if (!v || v->vt == VT_EMPTY)
        return QStringLiteral("<empty>");
    if (v->vt == VT_NULL)
        return QStringLiteral("<null>");
    if (v->vt == VT_DISPATCH)
        return v->pdispVal ? QStringLiteral("<object>") : QStringLiteral("<nothing>");
    if (const std::optional<QByteArray> bytes = variantToBytes(v))
        return QString::fromLatin1(bytes->toHex());
    if (const std::optional<QStringList> texts = variantArrayTexts(v))
        return texts->join(u'|');
    VARIANT text;
    VariantInit(&text);
    QString result = QStringLiteral("<unconvertible>");
    if (VariantChangeType(&text, v, VARIANT_LOCALBOOL, VT_BSTR) == S_OK)
        result = qStringFromBstr(text.bstrVal);
    VariantClear(&text);
    return result;
}

Outcome readOnce(AutomationObject *object, Read how, const QString &command)
{
    Outcome o;
    AutomationObject *handle = nullptr;
    switch (how) {
    case Read::Text:
        o.value = getStringProperty(object, command);
        break;
    case Read::Integer:
        o.value = QString::number(getIntegerProperty(object, command));
        break;
    case Read::Variant: {
        VARIANT *v = getVariantProperty(object, command);
        o.type = v ? v->vt : VT_EMPTY;
        o.value = describe(v);
        freeVariant(v);
        break;
    }
    case Read::Joined:
        // As a search joins a multi-valued field: handed over joined, else
        // the VARIANT's texts each followed by ";", the ";" at the end taken off.
        if (!getJoinedTexts(object, command, u";", &o.value)) {
            VARIANT *v = getVariantProperty(object, command);
            for (const QString &t : v ? variantArrayTexts(v).value_or(QStringList()) : QStringList())
                o.value += t + u';';
            while (o.value.endsWith(u';'))
                o.value.chop(1);
            freeVariant(v);
        }
        break;
    case Read::Object:
        handle = getObjectProperty(object, command);
        o.value = handle ? QStringLiteral("<object>") : QStringLiteral("<none>");
        break;
    }
    o.code = lastErrorCode();
    o.text = lastErrorText();
    releaseObject(handle);
    return o;
}

struct Row {
    Read how;
    const char *command;
    bool fails;         ///< a non-zero code is expected
    const char *value;  ///< the expected value; null: not checked beyond the two routes agreeing
};

// Runs every row member by member and as a whole path and compares.
void compareRoutes(AutomationObject *object, const std::vector<Row> &rows)
{
    for (const Row &row : rows) {
        const QString command = QString::fromUtf8(row.command);
        setWholePathReads(false);
        const Outcome slow = readOnce(object, row.how, command);
        setWholePathReads(true);
        const Outcome fast = readOnce(object, row.how, command);
        EXPECT_EQ(fast, slow) << row.command;
        EXPECT_EQ(fast.code != 0, row.fails) << row.command << ": " << fast;
        if (row.value) {
            EXPECT_EQ(fast.value, QString::fromUtf8(row.value)) << row.command;
        }
    }
}

class PathReadsTest : public ::testing::Test
{
  protected:
    void TearDown() override { setWholePathReads(true); }
};

} // namespace

TEST_F(PathReadsTest, RecordSetFieldsReadAlikeBothWays)
{
    const auto slapd = slapdFromEnvironment();
    if (!slapd)
        ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
    registerDirectoryServers();
    const QByteArray guid = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    addTestUser(*slapd, QStringLiteral("pathread1"),
                QStringLiteral("sn: \u0160\u0165astn\u00fd\ngivenName: Zo\u00eb\nsAMAccountName: pathread1\n"
                               "userAccountControl: 512\n"
                               "otherTelephone: +1 555 0101\notherTelephone: +1 555 0102\n"
                               "description: \u00c5sa \u0416\ndescription: two\n"
                               "objectGUID:: ") +
                    QString::fromLatin1(guid.toBase64()));
    const DirectoryConnection c = slapd->connection();
    AdoSearch search;
    ASSERT_TRUE(search.open(c,
                            adoQueryText(c.serverAddress, c.baseDn, QStringLiteral("(cn=pathread1)"),
                                         QStringLiteral("givenName,sn,info,otherTelephone,objectGUID,cn,"
                                                        "distinguishedName,ADsPath,description")),
                            100, true))
        << lastErrorText().toStdString();
    ASSERT_EQ(search.recordCount(), 1);
    AutomationObject *records = search.recordSet();
    compareRoutes(records, {
                               {Read::Text, "Fields('givenName')\\Value", false, "Zo\u00eb"},
                               {Read::Text, "fields('GIVENNAME')\\value", false, "Zo\u00eb"},
                               {Read::Text, "Fields('sn')\\Value", false, "\u0160\u0165astn\u00fd"},
                               {Read::Text, "Fields('distinguishedName')\\Value", false, nullptr},
                               {Read::Text, "Fields('ADsPath')\\Value", false, nullptr},
                               {Read::Text, "Fields('adspath')\\VALUE", false, nullptr},
                               {Read::Text, "Fields('cn')", false, "pathread1"},
                               {Read::Text, "Fields(5)\\Value", false, "pathread1"},
                               {Read::Variant, "Fields('info')\\Value", false, "<null>"},
                               {Read::Text, "Fields('info')\\Value", true, ""},
                               {Read::Variant, "Fields('otherTelephone')\\Value", false, "+1 555 0101|+1 555 0102"},
                               {Read::Text, "Fields('otherTelephone')\\Value", true, ""},
                               {Read::Variant, "Fields('objectGUID')\\Value", false, "00112233445566778899aabbccddeeff"},
                               {Read::Object, "Fields('otherTelephone')", false, "<object>"},
                               {Read::Variant, "Fields('otherTelephone')", false, "<object>"},
                               {Read::Text, "Fields('nosuch')\\Value", true, ""},
                               {Read::Object, "Fields('nosuch')", true, "<none>"},
                               {Read::Text, "Fields('cn')\\Name", false, "cn"},
                               {Read::Text, "Fields('cn')\\Value(1)", false, "pathread1"},
                               {Read::Text, "Fields('cn', 2)\\Value", false, nullptr},
                           });
    // A field object's own value, as the join of a multi-valued field reads it.
    AutomationObject *field = getObjectProperty(records, QStringLiteral("Fields('otherTelephone')"));
    ASSERT_TRUE(field);
    compareRoutes(field, {{Read::Variant, "value", false, "+1 555 0101|+1 555 0102"},
                          {Read::Joined, "value", false, "+1 555 0101;+1 555 0102"},
                          {Read::Joined, "Value()", false, "+1 555 0101;+1 555 0102"},
                          {Read::Text, "VALUE", true, ""},
                          {Read::Text, "Name", false, "otherTelephone"}});
    AutomationObject *accented = getObjectProperty(records, QStringLiteral("Fields('description')"));
    compareRoutes(accented, {{Read::Joined, "value", false, "\u00c5sa \u0416;two"}});
    releaseObject(accented);
    // Past the last record and after Close the reads fail alike.
    search.moveNext();
    compareRoutes(records, {{Read::Text, "Fields('cn')\\Value", true, ""},
                            {Read::Object, "Fields('cn')", false, "<object>"}});
    compareRoutes(field, {{Read::Variant, "value", true, "<empty>"}, {Read::Joined, "value", true, ""}});
    releaseObject(field);
    ASSERT_EQ(invoke(records, QStringLiteral("Close")), S_OK);
    compareRoutes(records, {{Read::Text, "Fields('cn')\\Value", true, ""},
                            {Read::Object, "Fields('cn')", true, "<none>"}});
}

// A walk's reads resolved to the record set's columns: a read the columns
// answer is the text its command gives; a command they do not resolve, or a
// value they decline, is left to the command.
TEST_F(PathReadsTest, RecordColumnsAnswerAsTheirCommands)
{
    const auto slapd = slapdFromEnvironment();
    if (!slapd)
        ORVANE_NO_DIRECTORY("slapd is not running (scripts/test-directories start <dir> --no-samba)");
    registerDirectoryServers();
    addTestUser(*slapd, QStringLiteral("columnread1"),
                QStringLiteral("sn: \u0160\u0165astn\u00fd\ngivenName: Zo\u00eb\nsAMAccountName: columnread1\n"
                               "userAccountControl: 512\n"
                               "otherTelephone: +1 555 0101\notherTelephone: +1 555 0102\n"
                               "objectGUID:: ") +
                    QString::fromLatin1(QByteArray::fromHex("ffeeddccbbaa99887766554433221100").toBase64()));
    const DirectoryConnection c = slapd->connection();
    AdoSearch search;
    ASSERT_TRUE(search.open(c,
                            adoQueryText(c.serverAddress, c.baseDn, QStringLiteral("(cn=columnread1)"),
                                         QStringLiteral("givenName,sn,info,otherTelephone,cn,distinguishedName")),
                            100, true));
    AutomationObject *records = search.recordSet();
    const RecordColumnReads reads(records);
    struct Column {
        const char *command;
        bool resolved;
        bool answered;    ///< false: declined, the command then runs
        const char *text; ///< the answer when it is known here
    };
    const std::vector<Column> columns = {
        {"Fields('givenName')\\Value", true, true, "Zo\u00eb"},
        {"fields('SN')\\VALUE", true, true, "\u0160\u0165astn\u00fd"},
        {"Fields('distinguishedName')\\Value", true, true, nullptr},
        {"Fields('info')\\Value", true, true, ""},
        {"Fields('otherTelephone')\\Value", true, false, nullptr},
        {"Fields('otherTelephone')", true, false, nullptr},
        {"Fields('cn')\\Name", false, false, nullptr},
        {"Fields('nosuch')\\Value", false, false, nullptr},
        {"Fields('cn')\\Value = 'x'", false, false, nullptr},
        {"RecordCount", false, false, nullptr},
    };
    for (const Column &col : columns) {
        const QString command = QString::fromUtf8(col.command);
        const int column = reads.column(command);
        EXPECT_EQ(column >= 0, col.resolved) << col.command;
        QString text = QStringLiteral("unchanged");
        const bool answered = reads.text(column, &text);
        EXPECT_EQ(answered, col.answered) << col.command;
        if (!answered) {
            EXPECT_EQ(text, QStringLiteral("unchanged")) << col.command;
            continue;
        }
        if (col.text) {
            EXPECT_EQ(text, QString::fromUtf8(col.text)) << col.command;
        }
        EXPECT_EQ(text, getStringProperty(records, command)) << col.command;
    }
    const int phones = reads.column(QStringLiteral("Fields('otherTelephone')"));
    QString joined;
    ASSERT_TRUE(reads.joined(phones, u";", &joined));
    EXPECT_EQ(joined, QStringLiteral("+1 555 0101;+1 555 0102"));
    // Past the last record, and with the reads turned off, nothing is answered.
    const int given = reads.column(QStringLiteral("Fields('givenName')\\Value"));
    search.moveNext();
    EXPECT_FALSE(reads.text(given, &joined));
    EXPECT_FALSE(reads.joined(phones, u";", &joined));
    setWholePathReads(false);
    EXPECT_EQ(RecordColumnReads(records).column(QStringLiteral("Fields('givenName')\\Value")), -1);
}

TEST_F(PathReadsTest, WorkbookCellsAndFindReadAlikeBothWays)
{
    registerExcelServer();
    const std::string path = scratchDir("path-reads") + "/typed.xlsx";
    writeXlsxWriterWorkbook(path);
    AutomationObject *app = createObject(QStringLiteral("Excel.Application"));
    ASSERT_TRUE(app);
    compareRoutes(app, {{Read::Text, "Cells(2, 1)", true, ""},
                        {Read::Text, "ActiveSheet\\Cells(2, 1)\\Value", true, ""}});
    ASSERT_EQ(invoke(app, QStringLiteral("Workbooks\\Open('") + QString::fromStdString(path) + QStringLiteral("')")), S_OK);
    compareRoutes(
        app, {
                 {Read::Text, "Cells(2, 1)", false, "Alice"},
                 {Read::Text, "Cells(2,2)\\Value", false, "00123"},
                 {Read::Text, "ActiveSheet\\Cells(2, 4)\\Value", false, "Zo\u00eb \u2713 <&>"},
                 {Read::Text, "activesheet\\CELLS(2, 3)\\value", false, "BoldPlain"},
                 {Read::Text, "Cells(3, 1)", false, "42"},
                 {Read::Text, "Cells(3, 2)", false, "3.25"},
                 {Read::Integer, "Cells(3, 1)", false, "42"},
                 {Read::Integer, "Cells(3, 2)\\Value", false, "3"},
                 {Read::Text, "Cells(4, 1)", false, nullptr},
                 {Read::Variant, "Cells(4, 1)\\Value", false, nullptr},
                 {Read::Text, "Cells(5, 1)", false, nullptr},
                 {Read::Variant, "Cells(5, 1)\\Value", false, nullptr},
                 {Read::Text, "Cells(6, 1)", false, ""},
                 {Read::Variant, "Cells(6, 1)\\Value", false, "<empty>"},
                 {Read::Variant, "Cells(2, 1)", false, "<object>"},
                 {Read::Object, "ActiveSheet\\Cells(2, 1)", false, "<object>"},
                 {Read::Integer, "Cells(2, 1)", true, "0"},
                 {Read::Text, "Cells(0, 1)", true, ""},
                 {Read::Text, "Cells(1048577, 1)\\Value", true, ""},
                 {Read::Text, "ActiveSheet\\Cells(1, 16385)\\Value", true, ""},
                 {Read::Text, "Cells(1048576, 16384)", false, ""},
                 {Read::Text, "Cells('2', 1)", false, "Alice"},
                 {Read::Text, "Cells(2.0, 1)", false, "Alice"},
                 {Read::Text, "Cells(2)", true, ""},
                 {Read::Text, "Cells(2, 1)\\Text", false, "Alice"},
                 {Read::Integer, "ActiveSheet\\Columns(1)\\Find('Alice', #optional, #optional, 1)\\Row", false, "2"},
                 {Read::Integer, "ActiveSheet\\Columns(4)\\Find('zo\u00cb \u2713 <&>', #optional, #optional, 1)\\Row", false,
                  "2"},
                 {Read::Integer, "ActiveSheet\\Columns(1)\\Find('Alice', #optional, #optional)\\Row", false, "2"},
                 {Read::Integer, "ActiveSheet\\Columns(1)\\Find('nobody', #optional, #optional, 1)\\Row", true, "0"},
                 {Read::Integer, "ActiveSheet\\Columns(1)\\Find('Alice', #optional, #optional, 2)\\Row", true, "0"},
                 {Read::Integer, "ActiveSheet\\Columns(0)\\Find('Alice', #optional, #optional, 1)\\Row", true, "0"},
                 {Read::Integer, "ActiveSheet\\Columns(1)\\Find(42, #optional, #optional, 1)\\Row", false, "3"},
             });
    invoke(app, QStringLiteral("Quit()"));
    releaseObject(app);
}

// A write taken in one call stores what the range's Value write stores, and a
// write it declines fails or succeeds as the member route says.
TEST_F(PathReadsTest, WorkbookCellWritesStoreAlikeBothWays)
{
    registerExcelServer();
    const std::string path = scratchDir("path-writes") + "/typed.xlsx";
    writeXlsxWriterWorkbook(path);
    struct Write {
        const char *command;
        const char *cell; ///< read back afterwards
        bool fails;
        const char *value;
    };
    const std::vector<Write> writes = {
        {"Cells(2, 1)\\Value = 'Bob'", "Cells(2, 1)", false, "Bob"},
        {"ActiveSheet\\Cells(7, 3)\\Value = 'Zo\u00eb \u2713 <&>'", "Cells(7, 3)", false, "Zo\u00eb \u2713 <&>"},
        {"cells(2, 2)\\VALUE = ''", "Cells(2, 2)", false, ""},
        {"Cells(3, 1)\\Value = 7", "Cells(3, 1)", false, "7"},
        {"Cells(1048576, 16384)\\Value = 'corner'", "Cells(1048576, 16384)", false, "corner"},
        {"Cells(0, 1)\\Value = 'x'", "Cells(1, 1)", true, nullptr},
        {"Cells(2, 16385)\\Value = 'x'", "Cells(2, 1)", true, nullptr},
        {"Cells(2, 1)\\Text = 'x'", "Cells(2, 1)", true, "Alice"},
        {"Cells(2)\\Value = 'x'", "Cells(2, 1)", true, "Alice"},
    };
    for (const Write &w : writes) {
        Outcome routes[2];
        QString cells[2];
        for (int fast = 0; fast < 2; ++fast) {
            AutomationObject *app = createObject(QStringLiteral("Excel.Application"));
            ASSERT_TRUE(app);
            setWholePathReads(fast == 1);
            const HRESULT before = setProperty(app, QString::fromUtf8(w.command));
            EXPECT_NE(before, S_OK) << "written without a workbook: " << w.command;
            ASSERT_EQ(invoke(app, QStringLiteral("Workbooks\\Open('") + QString::fromStdString(path) + QStringLiteral("')")),
                      S_OK);
            setProperty(app, QString::fromUtf8(w.command));
            routes[fast].code = lastErrorCode();
            routes[fast].text = lastErrorText();
            setWholePathReads(false);
            cells[fast] = getStringProperty(app, QString::fromUtf8(w.cell));
            invoke(app, QStringLiteral("Quit()"));
            releaseObject(app);
        }
        EXPECT_EQ(routes[1], routes[0]) << w.command;
        EXPECT_EQ(cells[1], cells[0]) << w.command;
        EXPECT_EQ(routes[1].code != 0, w.fails) << w.command << ": " << routes[1];
        if (w.value) {
            EXPECT_EQ(cells[1], QString::fromUtf8(w.value)) << w.command;
        }
    }
}
