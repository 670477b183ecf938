#pragma once
// The opened user on the "General" tab: its attributes, the workbook rows
// found for it, the comparison with a row, and Synchronize. The work itself is
// done by the workbook operations (FindSources, CompareSource, the primary
// status) and the directory's write and reload; this class only fills the
// four lists from their results and asks the questions.

#include "workbook/WorkbookLookup.h"
#include "workbook/excel/WorkbookPrewarm.h"

#include <QList>
#include <QObject>
#include <optional>

class QComboBox;
class QLineEdit;
class QTreeWidget;
class QWidget;

namespace orvane
{

struct AppContext;
class ObjectStatusCheck;
struct SourceComparison;

/// The controls the view fills.
struct ObjectViewControls {
    QTreeWidget *objectList = nullptr;
    QTreeWidget *attributeList = nullptr;
    QTreeWidget *lookupList = nullptr;
    QTreeWidget *compareList = nullptr;
    QWidget *parent = nullptr; ///< owner of the message boxes
};

class ObjectView : public QObject
{
    Q_OBJECT
  public:
    ObjectView(AppContext &ctx, const ObjectViewControls &controls, QObject *owner);

    /// Refills the attribute list with every catalogue attribute of the opened user.
    void fillAttributeList();
    /// Lists the workbook rows of the opened user and, when comparison is
    /// "always", compares each key-confirmed row.
    void findSources();
    /// Compares source `n` with the opened user: marks the attribute list
    /// when `icons`, fills the compare list when `fill`.
    void loadSourceRow(int n, bool fill, bool icons);
    /// Re-reads the opened user from the directory (messages shown).
    void reloadObject();
    /// Refills the attribute list, compares again and updates the user's status icon.
    void refreshObjectView();
    /// Sets the opened user's status icon in the object list from the primary workbook.
    void showPrimaryStatus();
    /// The Synchronize button: each ticked row in turn, asking before it writes.
    void synchronize();

    /// Starts parsing the workbooks an open looks into on a worker thread (after
    /// a Find); the view's end cancels it.
    void prewarmWorkbooks();

    /// The source list of the opened user; element n is lookup list row n.
    const QList<SourceHit> &sources() const { return sources_; }

  private:
    WarningSink warnings() const;
    /// The opened user compared with source `n`; nothing when no user is
    /// opened, `n` names no source, or its workbook did not open (reported).
    std::optional<SourceComparison> compareSource(int n) const;
    void markAttributeList(const SourceComparison &comparison, bool icons);
    void fillCompareList(const SourceComparison &comparison);
    void synchronizeRow(int n, const QString &source);

    AppContext &ctx_;
    ObjectViewControls c_;
    QList<SourceHit> sources_;
    WorkbookPrewarm prewarm_;
};

/// The status check of the object list: the primary workbook opened once per Find.
std::unique_ptr<ObjectStatusCheck> makePrimaryStatusCheck(AppContext &ctx);

} // namespace orvane
