#pragma once
// "Review all...": every pending change of the listed users at once. The plan
// is built when the window opens (progress bar and Cancel); one row per change
// grouped under its user, tick boxes per change and per user, a filter by
// attribute and by text, the counts, and the "why" of each value as the row's
// tooltip. "Apply" writes the ticked changes that the filter shows, as one
// journaled change set, and ends with a summary; "Save plan..." writes CSV or
// LDIF. Work runs on the interface thread, which keeps serving events so that
// Cancel can be pressed; the other buttons wait meanwhile.

#include "app/WorkProgress.h"
#include "plan/SyncPlan.h"

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvane
{

struct AppContext;

class ReviewWindow : public QDialog
{
    Q_OBJECT
  public:
    ReviewWindow(AppContext &ctx, QWidget *parent = nullptr);

    /// Builds the plan of the listed users against the chosen workbook (the
    /// primary one at first) and shows it.
    void buildPlan();
    /// The changes ticked and shown by the filter, in list order.
    QList<PlannedChange> tickedChanges() const;

  public slots:
    void applyTicked();
    void savePlan();
    void cancelWork();
    void applyFilter();

  signals:
    /// The directory was written: the listed users' values and icons are stale.
    void directoryChanged();

  protected:
    /// While work runs, closing only asks it to stop.
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

  private:
    void fillList();
    /// The width value column `column` needs for its title and every change row uncut.
    int neededValueWidth(int column) const;
    void updateCounts();
    void setBusy(bool busy);

    AppContext &ctx_;
    SyncPlan plan_;
    WorkProgress work_;
    QLabel *sourceLabel_ = nullptr;
    QComboBox *workbookCombo_ = nullptr;
    QComboBox *attributeFilter_ = nullptr;
    QLineEdit *textFilter_ = nullptr;
    QLabel *countLabel_ = nullptr;
    QLabel *thresholdLabel_ = nullptr; ///< shown when the plan is over the change threshold
    QTreeWidget *list_ = nullptr;
    QPushButton *applyButton_ = nullptr;
    QPushButton *saveButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
    QPushButton *closeButton_ = nullptr;
};

/// Opens the review window over `owner`, builds the plan and connects
/// directoryChanged to `onChanged`.
ReviewWindow *openReviewWindow(AppContext &ctx, QWidget *owner, std::function<void()> onChanged);

} // namespace orvane
