#include "app/SafetyTab.h"

#include "app/AppContext.h"
#include "app/Placement.h"
#include "plan/ChangeThreshold.h"
#include "store/OptionTable.h"

#include <QLabel>
#include <QSpinBox>

namespace orvane
{

SafetyTab::SafetyTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("SafetyTab"));
    const ChangeThreshold threshold = loadChangeThreshold(ctx_.db);
    placeLabel(this, QStringLiteral("Most users changed:"), QRect(10, 4, 110, 20));
    maxUsers_ = placeWidget<QSpinBox>(this, QStringLiteral("MaxChangedUsersField"), QRect(125, 0, 70, 20));
    maxUsers_->setRange(0, 99999999);
    maxUsers_->setValue(int(threshold.maxUsers));
    placeLabel(this, QStringLiteral("% of users checked:"), QRect(215, 4, 115, 20));
    maxPercent_ = placeWidget<QSpinBox>(this, QStringLiteral("MaxChangedPercentField"), QRect(330, 0, 60, 20));
    maxPercent_->setRange(0, 100);
    maxPercent_->setSuffix(QStringLiteral(" %"));
    maxPercent_->setValue(int(threshold.maxPercent));
    auto *note = placeLabel(this,
                            QStringLiteral("Above these (0: no limit), or when most users checked have no "
                                           "row, Review all asks once more and orvane-sync apply writes nothing."),
                            QRect(10, 26, 465, 34));
    note->setObjectName(QStringLiteral("SafetyNote"));
    note->setWordWrap(true);
    connect(maxUsers_, &QSpinBox::valueChanged, this, &SafetyTab::changed);
    connect(maxPercent_, &QSpinBox::valueChanged, this, &SafetyTab::changed);
}

bool SafetyTab::save()
{
    const bool users = setOption(ctx_.db, Option::MaxChangedUsers, (long long)maxUsers_->value());
    const bool percent = setOption(ctx_.db, Option::MaxChangedPercent, (long long)maxPercent_->value());
    return users && percent;
}

} // namespace orvane
