#include "app/DirectoryTab.h"

#include "app/AppContext.h"
#include "app/Placement.h"
#include "store/CatalogueQueries.h"
#include "store/OptionTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>

namespace orvane
{

DirectoryTab::DirectoryTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("DirectoryTab"));
    Database &db = ctx_.db;
    const Settings &settings = ctx_.settings;

    placeLabel(this, QStringLiteral("DC server:"), 10, 20);
    server_ = placeField(this, QStringLiteral("DcServerField"), QRect(125, 16, 120, 20));
    server_->setText(optionText(db, Option::DcServer));
    placeLabel(this, QStringLiteral("Port:"), 260, 20);
    port_ = placeField(this, QStringLiteral("PortField"), QRect(330, 16, 50, 20));
    port_->setText(optionText(db, Option::DcServerPort));
    placeLabel(this, QStringLiteral("Base DN:"), 10, 47);
    baseDn_ = placeField(this, QStringLiteral("BaseDnField"), QRect(125, 45, 120, 20));
    baseDn_->setText(optionText(db, Option::DcBaseDn));
    placeLabel(this, QStringLiteral("Username:"), 260, 47);
    userName_ = placeField(this, QStringLiteral("UserNameField"), QRect(330, 45, 120, 20));
    userName_->setText(settings.userName);
    placeLabel(this, QStringLiteral("Password:"), 260, 77);
    password_ = placeField(this, QStringLiteral("PasswordField"), QRect(330, 75, 120, 20));
    password_->setEchoMode(QLineEdit::Password);
    password_->setText(settings.password);
    useCurrent_ =
        placeWidget<QCheckBox>(this, QStringLiteral("UseCurrentCredentials"), QRect(330, 104, 150, 20));
    useCurrent_->setText(QStringLiteral("Use current credentials"));
    useCurrent_->setChecked(settings.useCurrentCredentials == 1);
    passwordPlace_ = placeLabel(this, QString(), QRect(260, 126, 220, 20));
    passwordPlace_->setObjectName(QStringLiteral("PasswordPlaceLabel"));
    showPasswordPlace(passwordPlace(ctx_.keyring, {server_->text(), userName_->text()}));
    userName_->setEnabled(!useCurrent_->isChecked());
    password_->setEnabled(!useCurrent_->isChecked());

    placeLabel(this, QStringLiteral("Select objects by:"), 10, 77);
    selectBy_ = attributeCombo(QStringLiteral("SelectByCombo"), QRect(125, 75, 120, 20),
                               optionLong(db, Option::SelectObjBy));
    placeLabel(this, QStringLiteral("Display selected by:"), 10, 107);
    displayBy_ = attributeCombo(QStringLiteral("DisplayByCombo"), QRect(125, 105, 120, 20),
                                optionLong(db, Option::DisplayObjBy));
    placeLabel(this, QStringLiteral("Multivalued delimiter:"), 10, 138);
    delimiter_ = placeField(this, QStringLiteral("DelimiterField"), QRect(125, 135, 120, 20));
    delimiter_->setText(optionText(db, Option::MultivaluedDelimiter));
    placeLabel(this, QStringLiteral("Show comparison:"), 10, 168);
    showComparison_ =
        placeWidget<QComboBox>(this, QStringLiteral("ShowComparisonCombo"), QRect(125, 165, 120, 20));
    showComparison_->addItems({QStringLiteral("always"), QStringLiteral("on demand")});
    showComparison_->setCurrentIndex(settings.showComparison);

    for (QLineEdit *field : {server_, port_, baseDn_, userName_, password_, delimiter_})
        connect(field, &QLineEdit::textChanged, this, &DirectoryTab::changed);
    for (QComboBox *combo : {selectBy_, displayBy_, showComparison_})
        connect(combo, &QComboBox::currentIndexChanged, this, &DirectoryTab::changed);
    connect(useCurrent_, &QCheckBox::toggled, this, &DirectoryTab::credentialsToggled);
}

QComboBox *DirectoryTab::attributeCombo(const QString &name, const QRect &where, long long selectedId)
{
    auto *combo = placeWidget<QComboBox>(this, name, where);
    for (const CatalogueAttribute &attribute : attributesByFld(ctx_.db))
        combo->addItem(attribute.fld, QVariant::fromValue(attribute.id));
    combo->setCurrentIndex(combo->findData(QVariant::fromValue(selectedId)));
    return combo;
}

void DirectoryTab::credentialsToggled(bool useCurrent)
{
    userName_->setEnabled(!useCurrent);
    password_->setEnabled(!useCurrent);
    emit changed();
}

void DirectoryTab::showPasswordPlace(PasswordPlace place)
{
    // The line sits under the password field, so it names only the place.
    passwordPlace_->setText(place == PasswordPlace::Keyring
                                ? QStringLiteral("in the system keyring")
                                : QStringLiteral("only scrambled in the settings file"));
    passwordPlace_->setToolTip(QStringLiteral("Where the directory password is kept"));
}

DirectoryValues DirectoryTab::values() const
{
    auto idOf = [](const QComboBox *combo) {
        return combo->currentIndex() < 0 ? 0 : combo->currentData().toLongLong();
    };
    DirectoryValues v;
    v.server = server_->text();
    v.port = port_->text();
    v.baseDn = baseDn_->text();
    v.selectBy = idOf(selectBy_);
    v.displayBy = idOf(displayBy_);
    v.showComparison = showComparison_->currentIndex();
    v.useCurrentCredentials = useCurrent_->isChecked();
    v.userName = userName_->text();
    v.password = password_->text();
    v.delimiter = delimiter_->text();
    return v;
}

} // namespace orvane
