// Why a search found nothing, in the one line every window and tool shows,
// against the private slapd: each cause word for word. (The program speaks
// LDAPS only on ports 636 and 3269, which the private slapd cannot bind.)

#include "DirectoryOperationsFixture.h"
#include "directory/FailureReason.h"
#include "directory/TlsDiagnosis.h"
#include "directory/UserSearch.h"

#include <functional>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

class FailureReasonTest : public test::OperationsTest
{
  protected:
    // The reason of a user search made with `c` ("" when it found users).
    QString reasonOf(const DirectoryConnection &c)
    {
        ObjectTable table;
        const SearchOutcome outcome =
            SearchUsers(c, *db, QStringLiteral("sn"), QStringLiteral("A"), QStringLiteral("displayName"), &table,
                        QStringLiteral(";"));
        EXPECT_EQ(outcome.count == 0, outcome.failure.failed()) << outcome.count;
        return failureReason(outcome.failure, c);
    }
};

} // namespace

TEST_P(FailureReasonTest, EachCauseInOneLine)
{
    if (dir.isSamba())
        GTEST_SKIP() << "the causes are set up against slapd's own ports and certificate";
    const QString caFile = qEnvironmentVariable("LDAPTLS_CACERT");
    const QString localName = certificateNameFor(QStringLiteral("localhost"));
    const QString notNamed = QStringLiteral("TLS failed: the certificate does not name localhost (checked as "
                                            "this computer's name, %1; CA file %2)")
                                 .arg(localName, caFile);
    const auto port = [](int n) { return QString::number(n); };
    const struct {
        const char *what;
        std::function<void(DirectoryConnection &)> spoil;
        QString reason;
    } causes[] = {
        {"sound", [](DirectoryConnection &) {}, QString()},
        {"wrong password", [](DirectoryConnection &c) { c.password = QStringLiteral("wrong"); },
         QStringLiteral("the server refused the bind: invalid credentials")},
        {"no password", [](DirectoryConnection &c) { c.password.clear(); },
         QStringLiteral("no password is set for ") + dir.admin},
        {"nobody listening", [](DirectoryConnection &c) { c.serverAddress = QStringLiteral("127.0.0.1:1"); },
         QStringLiteral("cannot reach 127.0.0.1:1")},
        {"no server", [](DirectoryConnection &c) { c.serverAddress.clear(); }, QStringLiteral("no server is set")},
        {"a base DN that does not exist",
         [](DirectoryConnection &c) { c.baseDn = QStringLiteral("OU=Nowhere,") + c.baseDn; },
         QStringLiteral("the base DN OU=Nowhere,") + dir.base + QStringLiteral(" was not found")},
        {"StartTLS to a host the certificate does not name",
         [&](DirectoryConnection &c) { c.serverAddress = QStringLiteral("localhost:") + port(dir.port); }, notNamed},
        {"a server without TLS",
         [&](DirectoryConnection &c) { c.serverAddress = dir.host + u':' + port(dir.plainPort); },
         QStringLiteral("TLS failed: the server does not establish TLS (StartTLS: Protocol error: unsupported "
                        "extended operation)")},
    };
    for (const auto &c : causes) {
        SCOPED_TRACE(c.what);
        DirectoryConnection spoilt = connection();
        c.spoil(spoilt);
        EXPECT_EQ(reasonOf(spoilt), c.reason);
    }
}

TEST(FailureReasonTexts, TheCountThenTheReason)
{
    EXPECT_EQ(withFailureReason(QStringLiteral("0 objects"), QString()), QStringLiteral("0 objects"));
    EXPECT_EQ(withFailureReason(QStringLiteral("0 objects"), QStringLiteral("cannot reach a:1")),
              QStringLiteral("0 objects — cannot reach a:1"));
    EXPECT_EQ(failureReason(DirectoryFailure{}, DirectoryConnection{}), QString());
}

INSTANTIATE_TEST_SUITE_P(Directories, FailureReasonTest, ::testing::ValuesIn(test::testDirectoryNames()),
                         [](const auto &info) { return info.param.toStdString(); });
