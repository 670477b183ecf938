#pragma once
// What the tests of the directory operations share: a settings file with the
// seeded attribute catalogue, the connection of the running test directory,
// and the fixture users' names.

#include "TestDirectory.h"
#include "directory/DirectoryConnection.h"
#include "store/Database.h"

#include <memory>

namespace orvane::test
{

class OperationsTest : public DirectoryTest
{
  protected:
    void SetUp() override;

    /// The administrator's connection to the directory under test.
    DirectoryConnection connection() const;
    QString editorDn(int n) const
    {
        return QStringLiteral("CN=Editor %1,").arg(n, 2, 10, QLatin1Char('0')) + dir.fixturesBase();
    }
    QString editorGuid(int n) const { return guidTextOf(dir, editorDn(n)); }
    /// The values of `attribute` of `dn` as ldapsearch shows them, as texts.
    QStringList directoryValues(const QString &dn, const QString &attribute) const;

    std::unique_ptr<Database> db;
};

/// Opens a fresh settings file with the seeded catalogue below the test's
/// scratch folder; fails the test when it cannot.
std::unique_ptr<Database> seededSettings();

} // namespace orvane::test
