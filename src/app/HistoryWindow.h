#pragma once
// "History": the journal's change sets, newest first, with the changes of the
// selected one (old and new values, source, outcome). "Undo" writes back the
// old values of the selected set where the directory still holds the new
// ones and reports the attributes changed since as conflicts; the undo is
// itself a change set and appears at the top.

#include "app/WorkProgress.h"

#include <QDialog>
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
    void directoryChanged();

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

/// Opens the history window over `owner` and connects directoryChanged to `onChanged`.
HistoryWindow *openHistoryWindow(AppContext &ctx, QWidget *owner, std::function<void()> onChanged);

} // namespace orvane
