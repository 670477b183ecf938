#pragma once
// A fresh data folder per test, a prepared context on it, scripted dialogs,
// and shortcuts to find the main window's controls and read the store back.

#include "ScriptedDialogs.h"
#include "TestSupport.h"
#include "app/AppContext.h"
#include "app/Startup.h"
#include "store/Clock.h"
#include "store/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <memory>

// An action's or menu's text as shown, without the '&' that marks its mnemonic.
inline QString plainText(const QAction *a)
{
    return QString(a->text()).remove(QLatin1Char('&'));
}

class GuiTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        home = orvane::test::freshTestFolder();
        // Owner-only as the program makes it, so that no start tightens it.
        QDir().mkdir(home + QStringLiteral("/orvane"),
                     QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        ASSERT_TRUE(QFile::copy(newSettingsFile(), home + QStringLiteral("/orvane/data.db3")));
        qputenv("XDG_DATA_HOME", home.toUtf8());
        ctx = prepared();
    }

    // A settings file as a first start creates it, made once per test program
    // (creating one takes seconds on a busy disk); each test starts on a copy.
    static QString newSettingsFile()
    {
        static const QString path = [] {
            const QString folder = QStringLiteral(ORVANE_TEST_TMP "/new-settings");
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            const QString file = folder + QStringLiteral("/data.db3");
            orvane::createIfMissing(file, orvane::seedCharacterLists());
            return file;
        }();
        return path;
    }

    void TearDown() override { orvane::setClockForTesting({}, {}); }

    // A new context on the same data folder, as a second start would make it.
    static std::unique_ptr<orvane::AppContext> prepared()
    {
        auto context = std::make_unique<orvane::AppContext>();
        orvane::prepareContext(*context);
        return context;
    }

    static QStringList rows(orvane::Database &db, const QString &statement, int columns)
    {
        return orvane::test::resultRows(db, statement, columns);
    }

    // Returns the texts of column `column` of every row of `list`, top to bottom.
    static QStringList columnTexts(const QTreeWidget *list, int column)
    {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            texts << list->topLevelItem(i)->text(column);
        return texts;
    }

    // Returns the action of `menu` titled `text`.
    static QAction *action(const QMenu *menu, const QString &text)
    {
        for (QAction *a : menu->actions()) {
            if (plainText(a) == text)
                return a;
        }
        ADD_FAILURE() << "no action " << text.toStdString();
        return nullptr;
    }

    // True when `icon` is image `index` of the context's image list.
    bool isImage(const QIcon &icon, int index) const
    {
        return !icon.isNull() && icon.cacheKey() == ctx->images.icon(index).cacheKey();
    }

    QString home;
    ScriptedDialogs boxes;
    std::unique_ptr<orvane::AppContext> ctx;
};
