#include "app/ReviewWindow.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "directory/DirectoryConnection.h"
#include "directory/FailureReason.h"
#include "plan/PlanApply.h"
#include "plan/ChangeThreshold.h"
#include "plan/PlanFiles.h"
#include "store/CountText.h"
#include "store/Journal.h"
#include "workbook/Registration.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace orvane
{

namespace
{

const QString kTitle = QStringLiteral("Review");
const QString kAllAttributes = QStringLiteral("All attributes");
constexpr int kChangeRole = Qt::UserRole; // index into the plan's changes

QString whyTip(const PlannedChange &c)
{
    QString tip = QStringLiteral("Workbook cell: ") + c.rawValue;
    if (!c.why.isEmpty())
        tip += u'\n' + c.why.join(u'\n');
    return tip;
}

QString summaryText(const WriteSummary &s)
{
    QString text = s.countsText() + u'.';
    const auto list = [&](const QString &head, const QStringList &lines) {
        if (lines.isEmpty())
            return;
        text += QStringLiteral("\n\n") + head;
        for (int i = 0; i < lines.size() && i < 20; ++i)
            text += u'\n' + lines[i];
        if (lines.size() > 20)
            text += QStringLiteral("\n... and %1 more (see History)").arg(lines.size() - 20);
    };
    list(QStringLiteral("Failed:"), s.failures);
    list(QStringLiteral("Conflicts (not written):"), s.conflictTexts);
    if (s.cancelled)
        text += QStringLiteral("\n\nCancelled: the writes not made are recorded as skipped.");
    if (!s.journalProblem.isEmpty())
        text += QStringLiteral("\n\n") + s.journalProblem;
    return text;
}

} // namespace

ReviewWindow::ReviewWindow(AppContext &ctx, QWidget *parent) : QDialog(parent), ctx_(ctx), work_(this)
{
    setObjectName(QStringLiteral("ReviewWindow"));
    setWindowTitle(QStringLiteral("Review all"));
    resize(900, 560);
    sourceLabel_ = new QLabel(this);
    sourceLabel_->setSizePolicy(QSizePolicy::Ignored,
                                QSizePolicy::Preferred); // a long path must not hide the counts
    workbookCombo_ = new QComboBox(this);
    workbookCombo_->setObjectName(QStringLiteral("WorkbookCombo"));
    workbookCombo_->setMinimumWidth(180);
    QList<RegisteredWorkbook> workbooks = loadWorkbooks(ctx_.db);
    // The primary workbook first, the others in the order they were registered.
    std::stable_sort(workbooks.begin(), workbooks.end(),
                     [](const RegisteredWorkbook &a, const RegisteredWorkbook &b) {
                         return a.primaryFlag == 1 && b.primaryFlag != 1;
                     });
    for (const RegisteredWorkbook &w : workbooks) {
        workbookCombo_->addItem(w.desc.isEmpty() ? QFileInfo(w.filename).fileName() : w.desc, w.id);
        workbookCombo_->setItemData(workbookCombo_->count() - 1, w.filename, Qt::ToolTipRole);
    }
    attributeFilter_ = new QComboBox(this);
    attributeFilter_->setObjectName(QStringLiteral("AttributeFilter"));
    attributeFilter_->setMinimumWidth(180);
    textFilter_ = new QLineEdit(this);
    textFilter_->setObjectName(QStringLiteral("TextFilter"));
    textFilter_->setPlaceholderText(QStringLiteral("Filter by text"));
    countLabel_ = new QLabel(this);
    countLabel_->setObjectName(QStringLiteral("ReviewCount"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("ReviewList"));
    list_->setHeaderLabels({QStringLiteral("User / attribute"), QStringLiteral("Directory value"),
                            QStringLiteral("Prepared value"), QStringLiteral("Source row")});
    list_->header()->resizeSection(0, 220);
    list_->header()->resizeSection(1, 240);
    list_->header()->resizeSection(2, 240);
    list_->setTextElideMode(Qt::ElideMiddle);
    enableHeaderSorting(list_);
    applyButton_ = new QPushButton(QStringLiteral("Apply"), this);
    saveButton_ = new QPushButton(QStringLiteral("Save plan..."), this);
    cancelButton_ = new QPushButton(QStringLiteral("Cancel"), this);
    closeButton_ = new QPushButton(QStringLiteral("Close"), this);
    applyButton_->setObjectName(QStringLiteral("ApplyButton"));
    saveButton_->setObjectName(QStringLiteral("SavePlanButton"));
    cancelButton_->setObjectName(QStringLiteral("CancelButton"));

    auto *filters = new QHBoxLayout;
    filters->addWidget(new QLabel(QStringLiteral("Workbook:"), this));
    filters->addWidget(workbookCombo_);
    filters->addWidget(new QLabel(QStringLiteral("Attribute:"), this));
    filters->addWidget(attributeFilter_);
    filters->addWidget(textFilter_, 1);
    auto *heading = new QHBoxLayout;
    heading->addWidget(sourceLabel_, 1);
    heading->addWidget(countLabel_);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(work_.bar(), 1);
    for (QPushButton *b : {applyButton_, saveButton_, cancelButton_, closeButton_})
        buttons->addWidget(b);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(heading);
    layout->addLayout(filters);
    thresholdLabel_ = new QLabel(this);
    thresholdLabel_->setObjectName(QStringLiteral("ThresholdWarning"));
    thresholdLabel_->setWordWrap(true);
    thresholdLabel_->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold"));
    thresholdLabel_->hide();
    layout->addWidget(thresholdLabel_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);

    connect(applyButton_, &QPushButton::clicked, this, &ReviewWindow::applyTicked);
    connect(saveButton_, &QPushButton::clicked, this, &ReviewWindow::savePlan);
    connect(cancelButton_, &QPushButton::clicked, this, &ReviewWindow::cancelWork);
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::close);
    connect(workbookCombo_, &QComboBox::currentIndexChanged, this, &ReviewWindow::buildPlan);
    connect(attributeFilter_, &QComboBox::currentTextChanged, this, &ReviewWindow::applyFilter);
    connect(textFilter_, &QLineEdit::textChanged, this, &ReviewWindow::applyFilter);
    connect(list_, &QTreeWidget::itemChanged, this, [this] { updateCounts(); });
    setBusy(false);
}

void ReviewWindow::setBusy(bool busy)
{
    work_.setBusy(busy);
    for (QWidget *w : {static_cast<QWidget *>(applyButton_), static_cast<QWidget *>(workbookCombo_),
                       static_cast<QWidget *>(saveButton_), static_cast<QWidget *>(closeButton_),
                       static_cast<QWidget *>(list_), static_cast<QWidget *>(attributeFilter_),
                       static_cast<QWidget *>(textFilter_)})
        w->setEnabled(!busy);
    cancelButton_->setEnabled(busy);
}

void ReviewWindow::closeEvent(QCloseEvent *event)
{
    if (work_.stopInsteadOfClosing())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void ReviewWindow::reject()
{
    if (!work_.stopInsteadOfClosing())
        QDialog::reject();
}

void ReviewWindow::cancelWork()
{
    work_.cancel();
}

void ReviewWindow::buildPlan()
{
    setBusy(true);
    const ObjectTable users = ctx_.objects;
    plan_ = BuildSyncPlan(
        ctx_.db, ctx_.settings, users, workbookCombo_->currentData().toLongLong(),
        [this](int d, int t) { work_.report(d, t); }, work_.cancelFlag(),
        [this](const QString &title, const QString &text) { dialogs().warn(this, title, text); });
    setBusy(false);
    sourceLabel_->setText(
        plan_.problem.isEmpty()
            ? plan_.sourceFile + (plan_.cancelled ? QStringLiteral(" (cancelled: %1 of %2 compared)")
                                                        .arg(plan_.usersChecked)
                                                        .arg(countText(users.size(), QStringLiteral("user"),
                                                                       QStringLiteral("users")))
                                                  : QString())
            : plan_.problem);
    sourceLabel_->setToolTip(sourceLabel_->text());
    const ThresholdVerdict verdict = checkChangeThreshold(
        loadChangeThreshold(ctx_.db), {plan_.usersChecked, plan_.usersChanged, plan_.usersWithoutRow});
    thresholdLabel_->setText(QStringLiteral("Over the change threshold (Options, Active Directory): ") +
                             verdict.reasons.join(u' '));
    thresholdLabel_->setVisible(plan_.problem.isEmpty() && verdict.exceeded());
    fillList();
}

void ReviewWindow::fillList()
{
    const QSignalBlocker block(list_);
    list_->clear();
    QSet<QString> attributes;
    QTreeWidgetItem *user = nullptr;
    for (int i = 0; i < plan_.changes.size(); ++i) {
        const PlannedChange &c = plan_.changes[i];
        if (!user || user->data(0, Qt::UserRole + 1).toString() != c.guid) {
            user = new QTreeWidgetItem(list_, {c.cn + QStringLiteral(" (") + c.sAMAccountName + u')'});
            user->setData(0, Qt::UserRole + 1, c.guid);
            user->setFlags(user->flags() | Qt::ItemIsUserCheckable | Qt::ItemIsAutoTristate);
            user->setExpanded(true);
        }
        auto *row = new QTreeWidgetItem(
            user, {c.attribute, c.directoryValue, c.preparedValue, QString::number(c.sourceRow)});
        row->setData(0, kChangeRole, i);
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, Qt::Checked);
        for (int col = 0; col < 4; ++col)
            row->setToolTip(col, whyTip(c));
        attributes.insert(c.attribute);
    }
    // The values take what they need, up to a third of the list each; the cut
    // ones show whole in their tooltip.
    for (int column : {1, 2})
        list_->setColumnWidth(column, qBound(160, neededValueWidth(column), qMax(160, list_->width() / 3)));
    QStringList names(attributes.begin(), attributes.end());
    names.sort();
    const QSignalBlocker blockFilter(attributeFilter_);
    attributeFilter_->clear();
    attributeFilter_->addItem(kAllAttributes);
    attributeFilter_->addItems(names);
    applyFilter();
}

int ReviewWindow::neededValueWidth(int column) const
{
    const QFontMetrics metrics(list_->font());
    int needed = metrics.horizontalAdvance(list_->headerItem()->text(column)) + 16;
    for (int u = 0; u < list_->topLevelItemCount(); ++u) {
        const QTreeWidgetItem *user = list_->topLevelItem(u);
        for (int r = 0; r < user->childCount(); ++r)
            needed = qMax(needed, metrics.horizontalAdvance(user->child(r)->text(column)) + 16);
    }
    return needed;
}

void ReviewWindow::applyFilter()
{
    const QString attribute = attributeFilter_->currentText();
    const QString text = textFilter_->text();
    for (int u = 0; u < list_->topLevelItemCount(); ++u) {
        QTreeWidgetItem *user = list_->topLevelItem(u);
        bool anyShown = false;
        for (int r = 0; r < user->childCount(); ++r) {
            QTreeWidgetItem *row = user->child(r);
            const bool attributeOk =
                attribute.isEmpty() || attribute == kAllAttributes || row->text(0) == attribute;
            bool textOk = text.isEmpty() || user->text(0).contains(text, Qt::CaseInsensitive);
            for (int col = 0; !textOk && col < 3; ++col)
                textOk = row->text(col).contains(text, Qt::CaseInsensitive);
            row->setHidden(!(attributeOk && textOk));
            anyShown = anyShown || !row->isHidden();
        }
        user->setHidden(!anyShown);
    }
    updateCounts();
}

QList<PlannedChange> ReviewWindow::tickedChanges() const
{
    QList<PlannedChange> ticked;
    for (int u = 0; u < list_->topLevelItemCount(); ++u) {
        const QTreeWidgetItem *user = list_->topLevelItem(u);
        for (int r = 0; r < user->childCount(); ++r) {
            const QTreeWidgetItem *row = user->child(r);
            if (!row->isHidden() && row->checkState(0) == Qt::Checked)
                ticked << plan_.changes.value(row->data(0, kChangeRole).toInt());
        }
    }
    return ticked;
}

void ReviewWindow::updateCounts()
{
    int shown = 0, users = 0;
    for (int u = 0; u < list_->topLevelItemCount(); ++u) {
        const QTreeWidgetItem *user = list_->topLevelItem(u);
        if (user->isHidden())
            continue;
        ++users;
        for (int r = 0; r < user->childCount(); ++r)
            shown += user->child(r)->isHidden() ? 0 : 1;
    }
    const int ticked = int(tickedChanges().size());
    // No listed users because the last Find failed: say why where the count is.
    const QString why = ctx_.objects.isEmpty() ? ctx_.searchFailure : QString();
    countLabel_->setText(
        withFailureReason(planCountText(shown, users) + QStringLiteral(", %1 ticked").arg(ticked), why));
    applyButton_->setEnabled(!work_.busy() && ticked > 0);
}

void ReviewWindow::applyTicked()
{
    const QList<PlannedChange> ticked = tickedChanges();
    if (ticked.isEmpty())
        return;
    if (!dialogs().ask(this, kTitle,
                       QStringLiteral("Write %1 to the directory?")
                           .arg(planCountText(int(ticked.size()), changedUserCount(ticked)))))
        return;
    // Over the threshold an unattended run would refuse: one more question.
    const ThresholdVerdict verdict = checkChangeThreshold(
        loadChangeThreshold(ctx_.db), {plan_.usersChecked, changedUserCount(ticked), plan_.usersWithoutRow});
    if (verdict.exceeded() &&
        !dialogs().ask(this, kTitle,
                       QStringLiteral("This synchronization is over the change threshold:\n") + verdict.text() +
                           QStringLiteral("\n\nWrite it anyway?")))
        return;
    setBusy(true);
    const WriteSummary summary = ApplyPlanChanges(
        ctx_.db, connectionFromSettings(ctx_.settings), ctx_.settings.multivaluedDelimiter, ticked,
        journalOperator(ctx_.settings), kReviewApplyOrigin, [this](int d, int t) { work_.report(d, t); },
        work_.cancelFlag());
    setBusy(false);
    if (summary.failed > 0 || summary.conflicts > 0 || !summary.journalProblem.isEmpty())
        dialogs().warn(this, kTitle, summaryText(summary));
    else
        dialogs().inform(this, kTitle, summaryText(summary));
    emit directoryChanged();
    buildPlan();
}

void ReviewWindow::savePlan()
{
    const QString path = dialogs().saveFile(this, QStringLiteral("Save plan"),
                                            QStringLiteral("CSV file (*.csv);;LDIF file (*.ldif)"),
                                            QStringLiteral("plan.csv"));
    if (path.isEmpty())
        return;
    const QList<PlannedChange> changes = tickedChanges();
    QString text;
    if (path.endsWith(QStringLiteral(".ldif"), Qt::CaseInsensitive)) {
        QStringList guids;
        for (const PlannedChange &c : changes)
            if (guids.isEmpty() || guids.last() != c.guid)
                guids << c.guid;
        text = planLdif(changes, distinguishedNames(connectionFromSettings(ctx_.settings), guids),
                        ctx_.settings.multivaluedDelimiter);
    } else {
        text = planCsv(changes);
    }
    QString error;
    if (!savePlanText(path, text, &error))
        dialogs().warn(this, kTitle, error);
}

ReviewWindow *openReviewWindow(AppContext &ctx, QWidget *owner, std::function<void()> onChanged)
{
    auto *window = new ReviewWindow(ctx, owner);
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &ReviewWindow::directoryChanged, owner, std::move(onChanged));
    window->show();
    window->buildPlan();
    return window;
}

} // namespace orvane
