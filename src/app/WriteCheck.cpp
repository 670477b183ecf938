#include "app/WriteCheck.h"

#include "app/Dialogs.h"

namespace orvane
{

bool WriteCheck::report(QWidget *parent, const QString &title) const
{
    if (!failed())
        return false;
    dialogs().warn(parent, title,
                   QStringLiteral("The change could not be stored in the settings file: ") + db_.lastError() +
                       QLatin1Char('.'));
    return true;
}

} // namespace orvane
