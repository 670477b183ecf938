#include "PlanOutput.h"

#include "Session.h"
#include "plan/PlanFiles.h"
#include "plan/PlanJson.h"
#include "store/CountText.h"

namespace orvane::synctool
{

namespace
{

QString quoted(const QString &value)
{
    return u'"' + value + u'"';
}

QString countLine(const SyncPlan &plan)
{
    QString line = plan.changes.isEmpty() ? QStringLiteral("No changes")
                                          : planCountText(int(plan.changes.size()), plan.userCount());
    line += QStringLiteral(" (") + countText(plan.usersChecked, QStringLiteral("user"), QStringLiteral("users")) +
            QStringLiteral(" compared");
    if (plan.usersWithoutRow > 0)
        line += QStringLiteral(", %1 without a workbook row").arg(plan.usersWithoutRow);
    return line + QStringLiteral(").");
}

} // namespace

QString planText(const SyncPlan &plan)
{
    QString text = QStringLiteral("Workbook: ") + plan.sourceFile + u'\n';
    QString guid;
    for (const PlannedChange &c : plan.changes) {
        if (c.guid != guid || guid.isEmpty()) {
            guid = c.guid;
            text += QStringLiteral("%1 (%2)\n").arg(c.cn, c.sAMAccountName);
        }
        text += QStringLiteral("  %1: %2 -> %3  (row %4)\n")
                    .arg(c.attribute, quoted(c.directoryValue), quoted(c.preparedValue))
                    .arg(c.sourceRow);
        text += QStringLiteral("      Workbook cell: ") + c.rawValue + u'\n';
        for (const QString &why : c.why)
            text += QStringLiteral("      ") + why + u'\n';
    }
    return text + countLine(plan) + u'\n';
}

QByteArray formattedPlan(Session &session, const SyncPlan &plan, const QString &format)
{
    const QString &delimiter = session.settings.multivaluedDelimiter;
    if (format == QLatin1String("json"))
        return planJson(plan, delimiter);
    if (format == QLatin1String("csv"))
        return planCsv(plan.changes).toUtf8();
    if (format == QLatin1String("ldif")) {
        QStringList guids;
        for (const PlannedChange &c : plan.changes)
            if (guids.isEmpty() || guids.last() != c.guid)
                guids << c.guid;
        const QMap<QString, QString> dns = distinguishedNames(session.connection(), guids);
        if (dns.size() < guids.size())
            session.console.warn(
                QStringLiteral("%1 of %2 could not be bound; their changes are left out of the LDIF")
                    .arg(guids.size() - dns.size())
                    .arg(countText(guids.size(), QStringLiteral("user"), QStringLiteral("users"))));
        return planLdif(plan.changes, dns, delimiter).toUtf8();
    }
    return planText(plan).toUtf8();
}

} // namespace orvane::synctool
