#include "DirectoryOperationsFixture.h"

#include "TestSupport.h"
#include "store/SettingsStore.h"

namespace orvane::test
{

std::unique_ptr<Database> seededSettings()
{
    const QString path = freshTestFolder() + QStringLiteral("/data.db3");
    EXPECT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    auto db = std::make_unique<Database>();
    EXPECT_TRUE(db->open(path));
    return db;
}

void OperationsTest::SetUp()
{
    DirectoryTest::SetUp();
    if (!IsSkipped())
        db = seededSettings();
}

DirectoryConnection OperationsTest::connection() const
{
    return {dir.serverAddress(), dir.base, 0, dir.admin, dir.password};
}

QStringList OperationsTest::directoryValues(const QString &dn, const QString &attribute) const
{
    QStringList texts;
    for (const QByteArray &v : ldifValues(ldapsearchEntry(dir, dn, {attribute}), attribute))
        texts << QString::fromUtf8(v);
    return texts;
}

} // namespace orvane::test
