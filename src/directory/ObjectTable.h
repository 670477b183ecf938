#pragma once
// The directory users found by the last search. Row i of the object list
// carries i as its item data, so a list row leads to its entry; indexes stay
// valid until the next search replaces the table.

#include "directory/ObjectValues.h"

#include <QList>
#include <QString>

namespace orvane
{

struct ObjectEntry {
    QString displayValue;   ///< the display attribute's value as text
    QString sAMAccountName; ///< never empty for an accepted entry
    QString cn;
    int accountDisabled = 0;       ///< 1 disabled, 0 enabled
    QString guid;                  ///< 36 upper-case hex digits 8-4-4-4-12, no braces
    int selected = 0;              ///< 1 only for the entry open in the main window
    ObjectValues values;           ///< LDAP attribute name -> value text (multi-valued joined)
};

using ObjectTable = QList<ObjectEntry>;

} // namespace orvane
