#include "app/HistoryWindow.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "directory/DirectoryConnection.h"
#include "plan/PlanApply.h"
#include "store/Journal.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTimeZone>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace orvane
{

namespace
{

const QString kTitle = QStringLiteral("History");

// An undo that the journal could not record cannot itself be undone: the
// summary says so.
QString undoSummaryText(const WriteSummary &s)
{
    QString text = s.countsText() + u'.';
    for (const QString &line : s.failures.mid(0, 20))
        text += u'\n' + line;
    if (!s.conflictTexts.isEmpty())
        text += QStringLiteral("\n\nChanged by someone else since, left alone:");
    for (const QString &line : s.conflictTexts.mid(0, 20))
        text += u'\n' + line;
    if (!s.leftEmptyTexts.isEmpty())
        text += QStringLiteral("\n\nLeft empty (the directory server went away), to be restored later:");
    for (const QString &line : s.leftEmptyTexts.mid(0, 20))
        text += u'\n' + line;
    if (!s.journalProblem.isEmpty())
        text += QStringLiteral("\n\n") + s.journalProblem;
    return text;
}

// The users of each change set, in the order written, each once.
struct SetUsers {
    QStringList cns;
    QStringList guids;
};

SetUsers usersOf(const QList<JournalChange> &changes)
{
    SetUsers users;
    for (const JournalChange &c : changes) {
        if (users.guids.contains(c.guid))
            continue;
        users.guids << c.guid;
        users.cns << c.cn;
    }
    return users;
}

} // namespace

QString changeSetUsersText(const QStringList &cns)
{
    constexpr int kNamed = 3;
    QString text = cns.mid(0, kNamed).join(QStringLiteral(", "));
    if (cns.size() > kNamed)
        text += QStringLiteral(" and %1 more").arg(cns.size() - kNamed);
    return text;
}

HistoryWindow::HistoryWindow(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx), work_(this)
{
    setObjectName(QStringLiteral("HistoryWindow"));
    setWindowTitle(kTitle);
    resize(900, 560);
    sets_ = new QTreeWidget(this);
    sets_->setObjectName(QStringLiteral("HistorySets"));
    sets_->setRootIsDecorated(false);
    sets_->setHeaderLabels({QStringLiteral("Set"), QStringLiteral("Time"), QStringLiteral("Operator"),
                            QStringLiteral("Started by"), QStringLiteral("Users"), QStringLiteral("Changes"),
                            QStringLiteral("Written"), QStringLiteral("Undone")});
    enableHeaderSorting(sets_);
    changes_ = new QTreeWidget(this);
    changes_->setObjectName(QStringLiteral("HistoryChanges"));
    changes_->setRootIsDecorated(false);
    changes_->setHeaderLabels({QStringLiteral("Object"), QStringLiteral("Attribute"),
                               QStringLiteral("Old values"), QStringLiteral("New values"),
                               QStringLiteral("Source"), QStringLiteral("Outcome")});
    changes_->setTextElideMode(Qt::ElideMiddle);
    enableHeaderSorting(changes_);
    undoButton_ = new QPushButton(QStringLiteral("Undo"), this);
    undoButton_->setObjectName(QStringLiteral("UndoButton"));
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(sets_);
    split->addWidget(changes_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(work_.bar(), 1);
    buttons->addWidget(undoButton_);
    buttons->addWidget(cancelButton_);
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(split, 1);
    layout->addLayout(buttons);
    cancelButton_->setEnabled(false);
    connect(sets_, &QTreeWidget::currentItemChanged, this, &HistoryWindow::showSelectedSet);
    connect(undoButton_, &QPushButton::clicked, this, &HistoryWindow::undoSelected);
    connect(cancelButton_, &QPushButton::clicked, this, [this] { work_.cancel(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    refresh();
}

void HistoryWindow::refresh()
{
    sets_->clear();
    Journal journal(ctx_.db);
    const QList<JournalSet> sets = journal.sets();
    // A set is undone by every later set that names it as undone.
    QHash<long long, QStringList> undoneBy;
    for (const JournalSet &s : sets) {
        if (s.undoOf != 0)
            undoneBy[s.undoOf].prepend(QString::number(s.id));
    }
    for (const JournalSet &s : sets) {
        const QString when = QDateTime::fromSecsSinceEpoch(s.datetime, Qt::UTC)
                                 .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        const SetUsers users = usersOf(journal.changes(s.id));
        const QStringList undoers = undoneBy.value(s.id);
        const QString undone = undoers.isEmpty()
                                   ? QString()
                                   : QStringLiteral("Undone by set ") + undoers.join(QStringLiteral(", "));
        auto *row = new ListRow(sets_, {QString::number(s.id), when, s.operatorName, s.origin,
                                        changeSetUsersText(users.cns), QString::number(s.changes),
                                        QString::number(s.written), undone});
        row->setData(0, Qt::UserRole, s.id);
        row->setData(0, Qt::UserRole + 1, users.guids);
        row->setToolTip(HistoryUsers, users.cns.join(u'\n'));
        if (!undoers.isEmpty()) {
            QFont font = row->font(HistoryUndone);
            font.setItalic(true);
            for (int c = 0; c < sets_->columnCount(); ++c)
                row->setForeground(c, sets_->palette().brush(QPalette::Disabled, QPalette::Text));
            row->setFont(HistoryUndone, font);
        }
    }
    for (int c = 0; c < sets_->columnCount(); ++c)
        sets_->resizeColumnToContents(c);
    sets_->setColumnWidth(HistoryUsers, qMin(sets_->columnWidth(HistoryUsers), 260));
    showSelectedSet();
}

long long HistoryWindow::selectedSet() const
{
    const QTreeWidgetItem *row = sets_->currentItem();
    return row ? row->data(0, Qt::UserRole).toLongLong() : 0;
}

void HistoryWindow::showSelectedSet()
{
    changes_->clear();
    undoButton_->setEnabled(!work_.busy() && selectedSet() != 0);
    if (selectedSet() == 0)
        return;
    Journal journal(ctx_.db);
    const QString delimiter = ctx_.settings.multivaluedDelimiter;
    for (const JournalChange &c : journal.changes(selectedSet())) {
        const QString outcome = journalOutcomeText(c);
        auto *row = new ListRow(changes_, {c.cn, c.attribute, journalValuesText(c, c.oldValues, delimiter),
                                           journalValuesText(c, c.newValues, delimiter), c.source, outcome});
        row->setToolTip(2, row->text(2));
        row->setToolTip(3, row->text(3));
        row->setToolTip(4, c.source);
        row->setToolTip(5, outcome);
    }
    for (int c = 0; c < 4; ++c)
        changes_->resizeColumnToContents(c);
    changes_->setColumnWidth(4, 220); // a workbook path is long: the tooltip shows it whole
}

void HistoryWindow::undoSelected()
{
    const long long id = selectedSet();
    if (id == 0 || !dialogs().ask(this, kTitle,
                                  QStringLiteral("Write back the old values of change set %1 where the "
                                                 "directory still holds its new values?")
                                      .arg(id)))
        return;
    const QStringList guids = sets_->currentItem()->data(0, Qt::UserRole + 1).toStringList();
    work_.setBusy(true);
    undoButton_->setEnabled(false);
    cancelButton_->setEnabled(true);
    const WriteSummary s = UndoChangeSet(
        ctx_.db, connectionFromSettings(ctx_.settings), ctx_.settings.multivaluedDelimiter, id,
        journalOperator(ctx_.settings), [this](int done, int total) { work_.report(done, total); },
        work_.cancelFlag());
    work_.setBusy(false);
    cancelButton_->setEnabled(false);
    if (s.alreadyUndoneBy != 0) {
        dialogs().inform(this, kTitle,
                         QStringLiteral("Change set %1 was already undone by change set %2; nothing written.")
                             .arg(id)
                             .arg(s.alreadyUndoneBy));
        return;
    }
    if (!s.complete())
        dialogs().warn(this, kTitle, undoSummaryText(s));
    else
        dialogs().inform(this, kTitle, undoSummaryText(s));
    emit usersChanged(guids);
    refresh();
}

void HistoryWindow::closeEvent(QCloseEvent *event)
{
    if (work_.stopInsteadOfClosing())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void HistoryWindow::reject()
{
    if (!work_.stopInsteadOfClosing())
        QDialog::reject();
}

HistoryWindow *openHistoryWindow(AppContext &ctx, QWidget *owner,
                                 std::function<void(const QStringList &guids)> onChanged)
{
    auto *window = new HistoryWindow(ctx, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &HistoryWindow::usersChanged, owner, std::move(onChanged));
    window->show();
    return window;
}

} // namespace orvane
