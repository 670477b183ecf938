#pragma once
// The in-memory options of one run. Filled once at start-up from the options
// and replacements tables and changed only when the Options window is saved.

#include <QList>
#include <QString>

namespace orvane
{

/// One text replacement rule: every match of `stringtoreplace` becomes `replacewith`.
struct ReplacementRule {
    long long id = 0;
    QString stringtoreplace;
    QString replacewith;
};

/// Replacement modes stored in the `replacements` option.
enum ReplacementMode { AlwaysReplace = 1, ReplaceWhenTooLong = 2 };

struct Settings {
    QString serverAddress;         ///< dcserver + ":" + dcserverport
    QString baseDn;                ///< dcbasedn
    int useCurrentCredentials = 0; ///< 1: Kerberos ticket of the logged-on user
    QString userName;              ///< adusername
    QString password;              ///< adpassword, unscrambled
    int replacementMode = 0;       ///< ReplacementMode
    int firstUpperCase = 0;        ///< 1: first character of a prepared value upper-cased
    QString multivaluedDelimiter;  ///< joins the values of a multi-valued attribute
    QString trimmedEnd;            ///< appended to a value cut to the attribute's size
    QList<ReplacementRule> replacementRules;
    int showComparison = 0; ///< 0 always, 1 on demand
    QString wordStartGuard; ///< regular-expression fragment put before every rule's pattern
    QString wordEndGuard;   ///< regular-expression fragment put after every rule's pattern
};

/// The two pattern fragments value preparation wraps each rule in.
inline const QString kWordStartGuard = QStringLiteral("(?<=[\\s\\.\\,';\\!\\?\\-\\\"]|^)");
inline const QString kWordEndGuard = QStringLiteral("(?=[\\s\\.\\,';\\!\\?\\-\\\"]|$)");

} // namespace orvane
