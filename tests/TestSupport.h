#pragma once
// Small helpers every test folder shares. Header-only on purpose: the scratch
// root ORVANE_TEST_TMP is defined per test program.

#include "store/Database.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

namespace orvane::test {

/// Returns every row of `statement` on `db`, the first `columns` columns
/// joined by "|", in result order.
inline QStringList resultRows(Database &db, const QString &statement, int columns)
{
    QStringList result;
    db.query(statement);
    while (db.next_row()) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << db.get_text(c);
        result << cells.join(QLatin1Char('|'));
    }
    return result;
}

#ifdef ORVANE_TEST_TMP
/// Returns a new, empty folder named after the running test, below the test
/// program's scratch root.
inline QString freshTestFolder()
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    const QString folder = QStringLiteral(ORVANE_TEST_TMP "/") + QString::fromLatin1(info->test_suite_name())
                           + QLatin1Char('_')
                           + QString::fromLatin1(info->name()).replace(QLatin1Char('/'), QLatin1Char('_'));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}
#endif

}  // namespace orvane::test
