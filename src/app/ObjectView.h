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
#include <functional>
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
    /// Shows a line in the status bar (what Synchronize wrote); may be empty.
    std::function<void(const QString &)> status;
};

/// The columns of the compare list: status, replaced and cut icons, then the
/// attribute, the prepared workbook value, the value the user holds in the
/// directory now, and the workbook cell as read.
enum CompareColumn {
    CompareStatus = 0,
    CompareReplaced = 1,
    CompareTrimmed = 2,
    CompareAttribute = 3,
    ComparePrepared = 4,
    CompareDirectory = 5,
    CompareOriginal = 6
};

/// The tooltips of the comparison's icons, also used by the attribute list.
inline const QString kSameAsRowTip = QStringLiteral("Same as the workbook row");
inline const QString kDiffersFromRowTip = QStringLiteral("Differs from the workbook row");
inline const QString kReplacedTip = QStringLiteral("A replacement rule changed the workbook value");
inline const QString kTrimmedTip = QStringLiteral("The workbook value was cut to the attribute's size");

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
    /// Refills the attribute list from the user's entry and refreshes the
    /// marks (refreshMarks): after every write and every Refresh.
    void refreshObjectView();
    /// Marks the attribute list again (when comparing always, from each
    /// key-confirmed row; otherwise from the row "Compare" marked it with),
    /// compares the row shown in the compare list again and updates the
    /// user's status icon, all against the user's entry as it is now.
    void refreshMarks();
    /// Re-reads the opened user from the directory and refreshes the view:
    /// what every write to the opened user ends with.
    void rereadAfterWrite();

    /// Sets the opened user's status icon in the object list from the primary workbook.
    void showPrimaryStatus();
    /// The Synchronize button: each ticked row in turn, asking before it writes.
    void synchronize();

    /// Starts parsing the workbooks an open looks into on a worker thread (after
    /// a Find); the view's end cancels it.
    void prewarmWorkbooks();

    /// The source the compare list shows, -1 when it shows none.
    int comparedSource() const { return comparedSource_; }

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
    void reportSynchronized(const SourceComparison &before, const QString &cn);

    /// The source whose marks the attribute list shows, and the one the
    /// compare list shows; -1 for none. Both are cleared by a new open.
    int markedSource_ = -1;
    int comparedSource_ = -1;

    AppContext &ctx_;
    ObjectViewControls c_;
    QList<SourceHit> sources_;
    WorkbookPrewarm prewarm_;
};

/// The status-bar line after a synchronization of `asked` attributes of `cn`
/// of which `stillDiffering` differ when read back: "Synchronized 3 attributes
/// of Ann Lee", or how many were written and how many still differ.
QString synchronizedText(int asked, int stillDiffering, const QString &cn);

/// The status check of the object list: the primary workbook opened once per Find.
std::unique_ptr<ObjectStatusCheck> makePrimaryStatusCheck(AppContext &ctx);

} // namespace orvane
