#pragma once
// A fresh scratch folder per test, and shortcuts to read a settings file back.

#include "TestSupport.h"
#include "store/Database.h"

#include <QDir>
#include <QString>
#include <gtest/gtest.h>

class StoreTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        folder = orvane::test::freshTestFolder();
        path = folder + QStringLiteral("/data.db3");
    }

    QStringList rows(orvane::Database &db, const QString &statement, int columns)
    {
        return orvane::test::resultRows(db, statement, columns);
    }

    QString folder;
    QString path;
};
