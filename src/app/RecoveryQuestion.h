#pragma once
// The question the window asks at start when an interrupted synchronization
// left attribute values empty: Yes restores them as a change set of origin
// "recovery", No leaves them (and says how to restore them later).

#include <QString>

class QWidget;

namespace orvane
{

struct AppContext;

inline const QString kRecoveryTitle = QStringLiteral("Interrupted synchronization");

/// Looks for values left empty (the journal first, then those attributes in
/// the directory) and, when there are any, asks whether to restore them.
/// True when something was restored.
bool offerInterruptedWritesRecovery(AppContext &ctx, QWidget *parent);

} // namespace orvane
