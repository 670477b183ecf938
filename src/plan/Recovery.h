#pragma once
// Recovery of interrupted writes: a run cut off between an attribute's clear
// and its set (the program killed, the directory gone) leaves the attribute
// empty while the journal keeps its old value.
//
// The journal says where to look, the directory says what happened: the
// Started writes of a set whose run was cut off are each read once (written,
// never reached, or left empty) and the set is closed, so a later look costs
// nothing; writes left empty are recorded Cleared until a recovery set
// writes their old values back (and marks them Recovered). Only Cleared
// writes whose attribute the directory still holds empty are offered.

#include "plan/JournaledWrites.h"
#include "store/Journal.h"

namespace orvane
{

inline const QString kRecoveryOrigin = QStringLiteral("recovery");

struct InterruptedWrites {
    QList<JournalChange> leftEmpty; ///< still empty in the directory, old values in the journal
    JournalSet firstSet;            ///< the earliest set they belong to
    QString problem;                ///< "" when the directory could be read for every write

    /// "N attribute values were left empty by an interrupted synchronization
    /// (change set S, date). Restore their previous values?" ("1 attribute
    /// value was" for one).
    QString question() const;
    /// The same count and set as one line, without the question.
    QString statement() const;
};

/// True when the journal holds writes that may have been cut off (no directory traffic).
bool InterruptedWritesMayWait(Database &db);

/// Settles the sets whose run was cut off and returns the writes left empty.
InterruptedWrites FindInterruptedWrites(Database &db, const DirectoryConnection &connection,
                                        const QString &delimiter);

/// Writes the old values of `leftEmpty` back (only while the attribute is
/// still empty) as one change set of origin "recovery" and marks each one
/// restored Recovered.
WriteSummary RecoverInterruptedWrites(Database &db, const DirectoryConnection &connection,
                                      const QString &delimiter, const QList<JournalChange> &leftEmpty,
                                      const QString &operatorName, const WriteProgress &progress = {});

} // namespace orvane
