#pragma once
// A fresh scratch folder per test, and shortcuts to read a settings file back.

#include "store/Database.h"

#include <QDir>
#include <QString>
#include <gtest/gtest.h>

class StoreTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        folder = QStringLiteral(ORVANE_TEST_TMP "/") + QString::fromLatin1(info->test_suite_name()) +
                 QLatin1Char('_') +
                 QString::fromLatin1(info->name()).replace(QLatin1Char('/'), QLatin1Char('_'));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        path = folder + QStringLiteral("/data.db3");
    }

    // Returns every row of `statement`, columns joined by "|".
    QStringList rows(orvane::Database &db, const QString &statement, int columns)
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

    QString folder;
    QString path;
};
