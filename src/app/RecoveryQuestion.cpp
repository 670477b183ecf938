#include "app/RecoveryQuestion.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "plan/Recovery.h"

namespace orvane
{

bool offerInterruptedWritesRecovery(AppContext &ctx, QWidget *parent)
{
    if (!InterruptedWritesMayWait(ctx.db))
        return false;
    const DirectoryConnection connection = connectionFromSettings(ctx.settings);
    const QString &delimiter = ctx.settings.multivaluedDelimiter;
    const InterruptedWrites found = FindInterruptedWrites(ctx.db, connection, delimiter);
    if (found.leftEmpty.isEmpty())
        return false; // a directory that cannot be read now is looked at again at the next start
    if (!dialogs().ask(parent, kRecoveryTitle, found.question())) {
        dialogs().inform(parent, kRecoveryTitle,
                         QStringLiteral("The values stay empty for now. You are asked again at the next start; "
                                        "\"orvane-sync recover\" restores them at any time."));
        return false;
    }
    const WriteSummary s =
        RecoverInterruptedWrites(ctx.db, connection, delimiter, found.leftEmpty, journalOperator(ctx.settings));
    QString text = s.countsText() + u'.';
    for (const QString &line : s.failures.mid(0, 20))
        text += u'\n' + line;
    if (s.complete())
        dialogs().inform(parent, kRecoveryTitle, text);
    else
        dialogs().warn(parent, kRecoveryTitle, text);
    return s.written > 0;
}

} // namespace orvane
