#pragma once
// A settings file as the program's first start leaves it, for the tests that
// need one beside the private directories. Header-only.

#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QString>
#include <gtest/gtest.h>

namespace orvane::test
{

/// Creates folder/data.db3 with the seeded tables and options and opens it in
/// `db`; a failure is fatal to the calling test (wrap in ASSERT_NO_FATAL_FAILURE).
inline void createSettingsFile(const QString &folder, Database &db)
{
    const QString path = folder + QStringLiteral("/data.db3");
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    ASSERT_TRUE(db.open(path));
}

} // namespace orvane::test
