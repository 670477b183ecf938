// The change journal's tables: added to a settings file that lacks them
// without touching the rest, and values kept exactly (delimiters, Cyrillic,
// photo bytes) through a round trip.

#include "StoreFixture.h"
#include "store/Clock.h"
#include "store/Journal.h"
#include "store/SettingsStore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <optional>

using namespace orvane;

class JournalTest : public StoreTest
{
};

TEST_F(JournalTest, AnOlderFileGainsTheTablesAndKeepsEverythingElse)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    // A file written before the journal existed: a new file is born with it.
    db.execute(QStringLiteral("DROP TABLE journal_changes"));
    db.execute(QStringLiteral("DROP TABLE journal_sets"));
    const QString tables =
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name");
    const QStringList before = rows(db, tables, 1);
    const QStringList options = rows(db, QStringLiteral("SELECT fld, val FROM options ORDER BY fld"), 2);
    ASSERT_FALSE(before.contains(QStringLiteral("journal_sets")));

    Journal journal(db);
    EXPECT_TRUE(journal.isUsable());
    QStringList expected =
        before + QStringList{QStringLiteral("journal_changes"), QStringLiteral("journal_sets")};
    expected.sort();
    EXPECT_EQ(rows(db, tables, 1), expected);
    EXPECT_EQ(rows(db, QStringLiteral("SELECT fld, val FROM options ORDER BY fld"), 2), options);
    EXPECT_TRUE(journal.sets().isEmpty());
    EXPECT_TRUE(Journal(db).isUsable()) << "a second open finds them";
    EXPECT_EQ(missingParts(db), QStringList()) << "the file still counts as complete";
}

TEST_F(JournalTest, ChangesKeepTheirValuesAndOutcomes)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    setClockForTesting([] { return 1700000000LL; }, {});
    Journal journal(db);
    journal.beginBatch();
    const long long set = journal.beginSet(QStringLiteral("o'hara"), QStringLiteral("Review apply"));
    JournalChange c;
    c.setId = set;
    c.guid = QStringLiteral("01234567-89AB-CDEF-0123-456789ABCDEF");
    c.cn = QStringLiteral("Анна");
    c.attribute = QStringLiteral("otherTelephone");
    c.multivalued = 1;
    c.oldValues = {QStringLiteral("a;b"), QStringLiteral("\"q\"")};
    c.newValues = {QStringLiteral("Главный")};
    c.source = QStringLiteral("hr.xlsx row 3");
    const long long id = journal.addChange(c);
    JournalChange photo = c;
    photo.attribute = QStringLiteral("thumbnailPhoto");
    photo.binary = true;
    photo.oldValues = Journal::binaryValues(QByteArray("\xff\xd8\x00\x01", 4));
    photo.newValues = {};
    journal.addChange(photo);
    EXPECT_TRUE(journal.endBatch());
    const QStringList now{QStringLiteral("x")};
    journal.complete(id, JournalFailed, QStringLiteral("<-2147016657> refused"), &now);
    setClockForTesting({}, {});

    const QList<JournalSet> sets = journal.sets();
    ASSERT_EQ(sets.size(), 1);
    EXPECT_EQ(sets[0].datetime, 1700000000LL);
    EXPECT_EQ(sets[0].operatorName, QStringLiteral("o'hara"));
    EXPECT_EQ(sets[0].changes, 2);
    EXPECT_EQ(sets[0].written, 0);
    const QList<JournalChange> changes = journal.changes(set);
    ASSERT_EQ(changes.size(), 2);
    EXPECT_EQ(changes[0].cn, QStringLiteral("Анна"));
    EXPECT_EQ(changes[0].oldValues, now);
    EXPECT_EQ(changes[0].newValues, QStringList{QStringLiteral("Главный")});
    EXPECT_EQ(journalOutcomeName(changes[0].outcome) + u' ' + changes[0].outcomeText,
              QStringLiteral("failed <-2147016657> refused"));
    EXPECT_TRUE(changes[1].binary);
    EXPECT_EQ(QByteArray::fromBase64(changes[1].oldValues.value(0).toLatin1()),
              QByteArray("\xff\xd8\x00\x01", 4));
    EXPECT_EQ(journalOutcomeName(changes[1].outcome), QStringLiteral("pending"));

    // As the history shows them: values joined, photo bytes counted, the outcome with its reason.
    EXPECT_EQ(journalValuesText(changes[0], {QStringLiteral("1"), QStringLiteral("2")}, QStringLiteral("; ")),
              QStringLiteral("1; 2"));
    EXPECT_EQ(journalValuesText(changes[1], changes[1].oldValues, QStringLiteral(";")),
              QStringLiteral("(4 bytes)"));
    EXPECT_EQ(journalValuesText(changes[1], changes[1].newValues, QStringLiteral(";")), QString());
    EXPECT_EQ(journalOutcomeText(changes[0]), QStringLiteral("failed: <-2147016657> refused"));
    EXPECT_EQ(journalOutcomeText(changes[1]), QStringLiteral("pending"));
}

TEST_F(JournalTest, ASetsChangesRecordedTogetherKeepTheirOrderAndValues)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    Journal journal(db);
    journal.beginBatch();
    const long long earlier = journal.beginSet(QStringLiteral("admin"), QStringLiteral("Review apply"));
    JournalChange other;
    other.setId = earlier;
    other.cn = QStringLiteral("Someone else");
    const long long otherId = journal.addChange(other);
    const long long set = journal.beginSet(QStringLiteral("admin"), QStringLiteral("orvane-sync apply"));
    // More than one statement's worth, with texts that need quoting.
    QList<JournalChange> given;
    for (int i = 0; i < 451; ++i) {
        JournalChange c;
        c.guid = QStringLiteral("01234567-89AB-CDEF-0123-%1").arg(i, 12, 10, QLatin1Char('0'));
        c.cn = QStringLiteral("O'Brien №%1").arg(i);
        c.attribute = i % 2 ? QStringLiteral("otherTelephone") : QStringLiteral("title");
        c.multivalued = i % 2;
        c.oldValues = i % 3 ? QStringList{QStringLiteral("old %1").arg(i), QStringLiteral("a;b")} : QStringList{};
        c.newValues = {QStringLiteral("new \"%1\"").arg(i)};
        c.source = QStringLiteral("hr.xlsx row %1").arg(i + 2);
        given << c;
    }
    const QList<long long> ids = journal.addChanges(set, given);
    EXPECT_TRUE(journal.endBatch());

    ASSERT_EQ(ids.size(), given.size());
    const QList<JournalChange> stored = journal.changes(set);
    ASSERT_EQ(stored.size(), given.size());
    for (int i = 0; i < given.size(); ++i) {
        EXPECT_EQ(stored[i].id, ids[i]);
        EXPECT_NE(ids[i], otherId);
        EXPECT_EQ(stored[i].setId, set);
        EXPECT_EQ(stored[i].guid, given[i].guid);
        EXPECT_EQ(stored[i].cn, given[i].cn);
        EXPECT_EQ(stored[i].attribute, given[i].attribute);
        EXPECT_EQ(stored[i].multivalued, given[i].multivalued);
        EXPECT_EQ(stored[i].oldValues, given[i].oldValues);
        EXPECT_EQ(stored[i].newValues, given[i].newValues);
        EXPECT_EQ(stored[i].source, given[i].source);
        EXPECT_EQ(stored[i].outcome, JournalPending);
    }
    EXPECT_EQ(journal.changes(earlier).size(), 1) << "the other set keeps only its own change";
}

// A new settings file's journal in a batch, with an apply's change set of
// planned changes added: change i planned with the old value "planned i".
class PlannedSetTest : public StoreTest
{
  protected:
    void beginPlannedSet(int count)
    {
        ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
        ASSERT_TRUE(db.open(path));
        journal.emplace(db);
        journal->beginBatch();
        set = journal->beginSet(QStringLiteral("admin"), QStringLiteral("orvane-sync apply"));
        for (int i = 0; i < count; ++i) {
            JournalChange c;
            c.cn = QStringLiteral("User %1").arg(i);
            c.oldValues = {QStringLiteral("planned %1").arg(i)};
            given << c;
        }
        ids = journal->addChanges(set, given);
        ASSERT_EQ(ids.size(), given.size());
    }

    Database db;
    std::optional<Journal> journal;
    long long set = 0;
    QList<JournalChange> given;
    QList<long long> ids;
};

TEST_F(PlannedSetTest, OutcomesRecordedTogetherAreThoseEachCompletionGives)
{
    ASSERT_NO_FATAL_FAILURE(beginPlannedSet(403));
    // Written with the values found before, failed keeping the planned ones, skipped with a quote in its text.
    QList<JournalCompletion> done;
    for (int i = 0; i < ids.size(); ++i) {
        JournalCompletion c{ids[i], JournalWritten + i % 3, QStringLiteral("it's %1").arg(i), std::nullopt};
        if (i % 3 == 0)
            c.oldValues = QStringList{QStringLiteral("found %1").arg(i), QStringLiteral("Ёж")};
        done << c;
    }
    journal->completeAll(done);
    EXPECT_TRUE(journal->endBatch());

    const QList<JournalChange> stored = journal->changes(set);
    ASSERT_EQ(stored.size(), given.size());
    for (int i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].outcome, JournalWritten + i % 3) << i;
        EXPECT_EQ(stored[i].outcomeText, QStringLiteral("it's %1").arg(i));
        const QStringList found{QStringLiteral("found %1").arg(i), QStringLiteral("Ёж")};
        EXPECT_EQ(stored[i].oldValues, i % 3 == 0 ? found : given[i].oldValues);
    }
}

TEST_F(PlannedSetTest, RunsOfLikeOutcomesAreRecordedAsEachCompletionGives)
{
    ASSERT_NO_FATAL_FAILURE(beginPlannedSet(14));
    // Per change: its outcome and text, whether old values come with it; -1: no completion (stays
    // pending), between two like ones whose ids are therefore not consecutive.
    struct Case {
        int outcome;
        const char *text;
        bool withOld;
    };
    const Case cases[] = {
        {JournalWritten, "", false}, {JournalWritten, "", false}, {JournalWritten, "", false},
        {JournalWritten, "", true},  {JournalWritten, "", false}, {JournalWritten, "", false},
        {JournalFailed, "it's", false}, {JournalFailed, "other", false}, {JournalWritten, "", false},
        {-1, "", false},             {JournalWritten, "", false}, {JournalWritten, "", false},
        {JournalSkipped, "", false}, {JournalWritten, "", false},
    };
    QList<JournalCompletion> done;
    for (int i = 0; i < ids.size(); ++i) {
        if (cases[i].outcome < 0)
            continue;
        JournalCompletion c{ids[i], cases[i].outcome, QString::fromUtf8(cases[i].text), std::nullopt};
        if (cases[i].withOld)
            c.oldValues = QStringList{QStringLiteral("found %1").arg(i)};
        done << c;
    }
    journal->completeAll(done);
    EXPECT_TRUE(journal->endBatch());
    EXPECT_EQ(db.failedWrites(), 0) << db.lastError().toStdString();

    const QList<JournalChange> stored = journal->changes(set);
    ASSERT_EQ(stored.size(), given.size());
    for (int i = 0; i < stored.size(); ++i) {
        EXPECT_EQ(stored[i].outcome, cases[i].outcome < 0 ? JournalPending : cases[i].outcome) << i;
        EXPECT_EQ(stored[i].outcomeText, QString::fromUtf8(cases[i].text)) << i;
        EXPECT_EQ(stored[i].oldValues, cases[i].withOld ? QStringList{QStringLiteral("found %1").arg(i)}
                                                        : given[i].oldValues)
            << i;
    }
}

TEST_F(JournalTest, StoredValuesAreTheJsonTextOfTheValues)
{
    ASSERT_EQ(createIfMissing(path, seedCharacterLists()), CreateOutcome::Created);
    Database db;
    ASSERT_TRUE(db.open(path));
    Journal journal(db);
    journal.beginBatch();
    const long long set = journal.beginSet(QStringLiteral("admin"), QStringLiteral("orvane-sync apply"));
    const QList<QStringList> values = {
        {},
        {QString()},
        {QStringLiteral("plain"), QStringLiteral("Пётр"), QStringLiteral("a;b"), QStringLiteral("€ 5")},
        {QStringLiteral("\"quoted\""), QStringLiteral("back\\slash")},
        {QStringLiteral("line\nbreak\ttab\x01")},
        {QStringLiteral("emoji 😀"), QString(QChar(0xD800)), QString(QChar(0xFFFF))},
    };
    QList<JournalChange> given;
    for (const QStringList &v : values) {
        JournalChange c;
        c.oldValues = v;
        c.newValues = v;
        given << c;
    }
    const QList<long long> ids = journal.addChanges(set, given);
    ASSERT_EQ(ids.size(), given.size());
    QList<JournalCompletion> done;
    for (int i = 0; i < ids.size(); ++i)
        done << JournalCompletion{ids[i], JournalWritten, QString(), values[(i + 1) % values.size()]};
    journal.completeAll(done);
    EXPECT_TRUE(journal.endBatch());
    EXPECT_EQ(db.failedWrites(), 0) << db.lastError().toStdString();

    // What another reader of the file finds: the compact JSON that QJsonDocument writes.
    const auto json = [](const QStringList &v) {
        return QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(v)).toJson(QJsonDocument::Compact));
    };
    QStringList expected;
    for (int i = 0; i < values.size(); ++i)
        expected << json(values[(i + 1) % values.size()]) + u'|' + json(values[i]) + u'|';
    EXPECT_EQ(rows(db,
                   QStringLiteral("SELECT old_values, new_values, cn FROM journal_changes WHERE set_id = ") +
                       QString::number(set) + QStringLiteral(" AND cn = '' ORDER BY id"),
                   3),
              expected)
        << "an empty cn is stored as '', not NULL";
}
