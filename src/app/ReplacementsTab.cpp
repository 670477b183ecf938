#include "app/ReplacementsTab.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/Placement.h"
#include "app/WriteCheck.h"
#include "store/ReplacementRules.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QTreeWidget>

namespace orvane
{

ReplacementsTab::ReplacementsTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("ReplacementsTab"));
    const Settings &settings = ctx_.settings;
    placeLabel(this, QStringLiteral("String:"), 10, 20);
    string_ = placeField(this, QStringLiteral("StringField"), QRect(50, 17, 135, 20));
    placeLabel(this, QStringLiteral("Replace with:"), 195, 20);
    replaceWith_ = placeField(this, QStringLiteral("ReplaceWithField"), QRect(270, 17, 135, 20));
    auto *set =
        placeButton(this, QStringLiteral("Set"), QStringLiteral("SetRuleButton"), QRect(415, 17, 55, 20));
    rules_ = createListView(this, QStringLiteral("RuleList"),
                            {{QStringLiteral("String"), 230}, {QStringLiteral("Replace with"), 230}});
    rules_->setGeometry(10, 50, 465, 100);
    for (const ReplacementRule &rule : settings.replacementRules) {
        auto *row = new QTreeWidgetItem(rules_, {rule.stringtoreplace, rule.replacewith});
        setRowData(row, rule.id);
    }

    always_ = placeWidget<QRadioButton>(this, QStringLiteral("AlwaysReplace"), QRect(25, 155, 100, 20));
    always_->setText(QStringLiteral("Always replace"));
    always_->setChecked(settings.replacementMode == AlwaysReplace);
    whenTooLong_ =
        placeWidget<QRadioButton>(this, QStringLiteral("ReplaceWhenTooLong"), QRect(25, 180, 300, 20));
    whenTooLong_->setText(QStringLiteral("Replace when length of the string exceeds attribute's size"));
    whenTooLong_->setChecked(settings.replacementMode == ReplaceWhenTooLong);
    firstUpper_ = placeWidget<QCheckBox>(this, QStringLiteral("FirstUpperCase"), QRect(10, 205, 200, 20));
    firstUpper_->setText(QStringLiteral("Make string's first character uppercase"));
    firstUpper_->setChecked(settings.firstUpperCase == 1);
    placeLabel(this, QStringLiteral("Add to trimmed string:"), QRect(10, 233, 150, 20));
    trimmedEnd_ = placeField(this, QStringLiteral("TrimmedEndField"), QRect(120, 230, 55, 20));
    trimmedEnd_->setText(settings.trimmedEnd);
    for (QWidget *control : std::initializer_list<QWidget *>{always_, whenTooLong_, firstUpper_})
        widenToText(control);
    auto *remove = placeButton(this, QStringLiteral("Delete"), QStringLiteral("DeleteRuleButton"),
                               QRect(415, 160, 55, 20));

    connect(set, &QPushButton::clicked, this, &ReplacementsTab::setRule);
    connect(remove, &QPushButton::clicked, this, &ReplacementsTab::deleteRule);
    connect(rules_, &QTreeWidget::itemDoubleClicked, this, &ReplacementsTab::editCurrentRule);
    connect(always_, &QRadioButton::clicked, this, &ReplacementsTab::modeClicked);
    connect(whenTooLong_, &QRadioButton::clicked, this, &ReplacementsTab::modeClicked);
    connect(firstUpper_, &QCheckBox::toggled, this, &ReplacementsTab::changed);
    connect(trimmedEnd_, &QLineEdit::textChanged, this, &ReplacementsTab::changed);
}

ReplacementValues ReplacementsTab::values() const
{
    ReplacementValues v;
    v.mode = always_->isChecked() ? AlwaysReplace : whenTooLong_->isChecked() ? ReplaceWhenTooLong : 0;
    v.firstUpperCase = firstUpper_->isChecked();
    v.trimmedEnd = trimmedEnd_->text();
    return v;
}

void ReplacementsTab::modeClicked()
{
    // Only a choice that differs from the saved mode is a change.
    const int saved = ctx_.settings.replacementMode;
    if ((saved == AlwaysReplace && !always_->isChecked()) ||
        (saved == ReplaceWhenTooLong && !whenTooLong_->isChecked()))
        emit changed();
}

void ReplacementsTab::setRule()
{
    const QString s = string_->text();
    const QString r = replaceWith_->text();
    const long long id = findReplacementRule(ctx_.db, s);
    const WriteCheck check(ctx_.db);
    if (id != 0) {
        if (!dialogs().ask(window(), QStringLiteral("Options"),
                           QStringLiteral("String definition already exists, would you like to update it?")))
            return;
        updateReplacementRule(ctx_.db, id, r);
        if (check.report(window(), QStringLiteral("Options")))
            return;
        if (QTreeWidgetItem *row = findRowByData(rules_, id))
            row->setText(1, r);
    } else {
        const long long newId = insertReplacementRule(ctx_.db, s, r);
        if (check.report(window(), QStringLiteral("Options")))
            return;
        QTreeWidgetItem *row = insertRowAtTop(rules_);
        row->setText(0, s);
        row->setText(1, r);
        setRowData(row, newId);
    }
    string_->clear();
    replaceWith_->clear();
}

void ReplacementsTab::editCurrentRule()
{
    if (QTreeWidgetItem *row = currentRow(rules_)) {
        string_->setText(row->text(0));
        replaceWith_->setText(row->text(1));
    }
}

void ReplacementsTab::deleteRule()
{
    QTreeWidgetItem *row = currentRow(rules_);
    if (!row)
        return;
    const long long id = rowData(row);
    const WriteCheck check(ctx_.db);
    deleteReplacementRule(ctx_.db, id);
    if (check.report(window(), QStringLiteral("Options")))
        return;
    delete findRowByData(rules_, id);
}

} // namespace orvane
