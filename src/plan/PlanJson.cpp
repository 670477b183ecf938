#include "plan/PlanJson.h"

#include "plan/PlanApply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orvane
{

QByteArray planJson(const SyncPlan &plan, const QString &delimiter)
{
    // planWriteItems regroups by object; the values are taken one by one so
    // that the JSON keeps the plan's own order.
    QJsonArray changes;
    for (const PlannedChange &c : plan.changes) {
        const WriteItem item = planWriteItems({c}, delimiter).value(0);
        changes.append(QJsonObject{
            {QStringLiteral("guid"), c.guid},
            {QStringLiteral("cn"), c.cn},
            {QStringLiteral("sAMAccountName"), c.sAMAccountName},
            {QStringLiteral("attribute"), c.attribute},
            {QStringLiteral("multivalued"), c.multivalued == 1},
            {QStringLiteral("directoryValue"), c.directoryValue},
            {QStringLiteral("preparedValue"), c.preparedValue},
            {QStringLiteral("oldValues"), QJsonArray::fromStringList(item.plannedOld)},
            {QStringLiteral("newValues"), QJsonArray::fromStringList(item.newValues)},
            {QStringLiteral("rawValue"), c.rawValue},
            {QStringLiteral("sourceFile"), c.sourceFile},
            {QStringLiteral("sourceRow"), c.sourceRow},
            {QStringLiteral("why"), QJsonArray::fromStringList(c.why)},
        });
    }
    const QJsonObject root{
        {QStringLiteral("workbook"), plan.sourceFile},
        {QStringLiteral("workbookId"), plan.fileId},
        {QStringLiteral("usersChecked"), plan.usersChecked},
        {QStringLiteral("usersWithoutRow"), plan.usersWithoutRow},
        {QStringLiteral("userCount"), plan.userCount()},
        {QStringLiteral("changeCount"), int(plan.changes.size())},
        {QStringLiteral("changes"), changes},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace orvane
