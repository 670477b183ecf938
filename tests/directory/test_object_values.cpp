// A listed user's packed values read as the map they replace: the same
// value, fallback, membership, count and equality for every way they are made.

#include "directory/ObjectValues.h"

#include <QMap>
#include <gtest/gtest.h>

using namespace orvane;

namespace
{

// The values packed by a writer over `names`, one text per name.
ObjectValues packed(const QStringList &names, const QStringList &texts)
{
    ObjectValues::Writer writer(std::make_shared<const ObjectValueNames>(names));
    for (const QString &t : texts)
        writer.append(t);
    return writer.take();
}

// Every value of `values` by its name, as a map holds them.
QMap<QString, QString> asMap(const ObjectValues &values)
{
    QMap<QString, QString> map;
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

} // namespace

TEST(ObjectValues, ReadLikeTheMapTheyReplace)
{
    const QStringList names{"sn", "givenName", "otherTelephone", "title", "thumbnailPhoto"};
    const QString longText(70000, QLatin1Char('x')); // past a 16-bit offset
    const QStringList texts{"Smith", QString::fromUtf8("Ёлка 𝔸"), "1;2;3", QString(), longText};
    const ObjectValues values = packed(names, texts);
    QMap<QString, QString> map;
    for (int i = 0; i < names.size(); ++i)
        map.insert(names[i], texts[i]);

    EXPECT_EQ(values.size(), map.size());
    for (const QString &name : names + QStringList{"mail", "SN", ""}) {
        EXPECT_EQ(values.value(name), map.value(name)) << name.toStdString();
        EXPECT_EQ(values.value(name, "absent"), map.value(name, "absent")) << name.toStdString();
        EXPECT_EQ(values.contains(name), map.contains(name)) << name.toStdString();
        EXPECT_EQ(values.view(name), QStringView(map.value(name))) << name.toStdString();
    }
    EXPECT_EQ(asMap(values), map);

    // A writer keeps going for the next entry; names left without a value read as empty.
    ObjectValues::Writer writer(std::make_shared<const ObjectValueNames>(names));
    writer.append(QStringLiteral("first"));
    const ObjectValues first = writer.take();
    writer.append(QStringLiteral("second"));
    writer.append(QStringLiteral("Anna"));
    const ObjectValues second = writer.take();
    EXPECT_EQ(first.value("sn"), "first");
    EXPECT_EQ(first.value("givenName", "absent"), QString());
    EXPECT_EQ(second.value("sn"), "second");
    EXPECT_EQ(second.value("givenName"), "Anna");
    EXPECT_EQ(second.size(), names.size());
}

TEST(ObjectValues, InsertReplacesOrAddsAndLeavesCopiesAsTheyWere)
{
    const ObjectValues listed = packed({"sn", "title"}, {"Smith", "Clerk"});
    ObjectValues edited = listed;
    edited.insert("title", QStringLiteral("Manager"));
    edited.insert("mail", QStringLiteral("smith@orvane.test"));
    EXPECT_EQ(asMap(edited),
              (QMap<QString, QString>{{"sn", "Smith"}, {"title", "Manager"}, {"mail", "smith@orvane.test"}}));
    EXPECT_EQ(asMap(listed), (QMap<QString, QString>{{"sn", "Smith"}, {"title", "Clerk"}}));

    // A value inserted from the entry's own text survives the repacking.
    edited.insert("sn", edited.view("title"));
    EXPECT_EQ(edited.value("sn"), "Manager");

    ObjectValues built;
    EXPECT_TRUE(built.isEmpty());
    EXPECT_EQ(built.value("sn", "absent"), "absent");
    built.insert("title", QStringLiteral("Manager"));
    built.insert("sn", QStringLiteral("Manager"));
    built.insert("mail", QStringLiteral("smith@orvane.test"));
    // Equal whatever the order of the names; unequal when one value differs.
    EXPECT_EQ(built, edited);
    built.insert("mail", QString());
    EXPECT_NE(built, edited);
    built.clear();
    EXPECT_EQ(built.size(), 0);
    EXPECT_FALSE(built.contains("sn"));
}
