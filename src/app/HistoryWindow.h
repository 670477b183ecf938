#pragma once
// "History": the journal's change sets, newest first, each with the users it
// wrote and, when a later set undid it, which one; below them the changes of
// the selected set (old and new values, source, outcome). "Undo" writes back
// the old values of the selected set where the directory still holds the new
// ones and reports the attributes changed since as conflicts; the undo is
// itself a change set and appears at the top.

#include "app/WorkProgress.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QPushButton;
class QTreeWidget;

namespace orvane
{

struct AppContext;

class HistoryWindow : public QDialog
{
    Q_OBJECT
  public:
    HistoryWindow(AppContext &ctx, QWidget *parent = nullptr);

    /// Re-reads the change sets from the journal, keeping no selection.
    void refresh();

  public slots:
    void showSelectedSet();
    void undoSelected();

  signals:
    /// After an undo: the GUIDs of the users it may have written.
    void usersChanged(const QStringList &guids);

  protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override;

  private:
    long long selectedSet() const;

    AppContext &ctx_;
    WorkProgress work_;
    QTreeWidget *sets_ = nullptr;
    QTreeWidget *changes_ = nullptr;
    QPushButton *undoButton_ = nullptr;
    QPushButton *cancelButton_ = nullptr;
};

/// The columns of the change-set list.
enum HistorySetColumn {
    HistorySet = 0,
    HistoryTime,
    HistoryOperator,
    HistoryStartedBy,
    HistoryUsers,
    HistoryChanges,
    HistoryWritten,
    HistoryUndone
};

/// The users of a change set as the list names them: the first three cn in
/// the order written, then "and N more" ("" for none).
QString changeSetUsersText(const QStringList &cns);

/// Opens the history window over `owner` and connects usersChanged to `onChanged`.
HistoryWindow *openHistoryWindow(AppContext &ctx, QWidget *owner,
                                 std::function<void(const QStringList &guids)> onChanged);

} // namespace orvane
