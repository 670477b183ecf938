#include "app/AttributeEditDialogs.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/Placement.h"
#include "app/WindowFont.h"
#include "store/CountText.h"
#include "store/OptionTable.h"
#include "sync/MultiValuedText.h"

#include <QFrame>
#include <QListWidget>

namespace orvane
{
namespace
{

const char kCatalogueId[] = "catalogueId";

// The frame, title, flags and font both windows share; centred on `parent`.
void setUpEditWindow(QDialog *dialog, const QString &name, const QString &title, QSize size)
{
    dialog->setObjectName(name);
    dialog->setWindowTitle(title);
    dialog->setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    dialog->setModal(false);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFixedSize(size);
    applyWindowFont(dialog);
    auto *frame = new QFrame(dialog);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(3, 0, size.width() - 6, size.height() - 5);
    if (QWidget *parent = dialog->parentWidget())
        dialog->move(parent->geometry().center() - dialog->rect().center());
}

// "Attribute:" with the read-only label field carrying the id, and "Value:".
QLineEdit *attributeRow(QDialog *dialog, const QString &label, long long id)
{
    placeLabel(dialog, QStringLiteral("Attribute:"), QRect(15, 18, 100, 20));
    QLineEdit *field = placeField(dialog, QStringLiteral("AttributeField"), QRect(80, 15, 200, 20));
    field->setReadOnly(true);
    field->setText(label);
    field->setProperty(kCatalogueId, QVariant::fromValue(id));
    placeLabel(dialog, QStringLiteral("Value:"), QRect(15, 48, 100, 20));
    return field;
}

void okAndCancel(QDialog *dialog, int y, QPushButton **ok)
{
    *ok = placeButton(dialog, QStringLiteral("OK"), QStringLiteral("OkButton"), QRect(100, y, 80, 22));
    QPushButton *cancel =
        placeButton(dialog, QStringLiteral("Cancel"), QStringLiteral("CancelButton"), QRect(200, y, 80, 22));
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::close);
}

} // namespace

EditAttributeDialog::EditAttributeDialog(AttributeEditTarget target, const QString &title,
                                         const QString &label, const QString &value, long long id,
                                         QWidget *parent)
    : QDialog(parent), target_(std::move(target))
{
    setUpEditWindow(this, QStringLiteral("EditAttributeDialog"), title, QSize(300, 135));
    attributeField_ = attributeRow(this, label, id);
    valueField_ = placeField(this, QStringLiteral("ValueField"), QRect(80, 45, 200, 20));
    valueField_->setText(value);
    opened_ = value;
    QPushButton *ok = nullptr;
    okAndCancel(this, 90, &ok);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &EditAttributeDialog::ok);
    valueField_->setFocus();
}

void EditAttributeDialog::ok()
{
    const long long id = attributeField_->property(kCatalogueId).toLongLong();
    if (commitAttributeEdit(target_, id, 0, {valueField_->text()}, this))
        close();
}

EditMultiValueDialog::EditMultiValueDialog(AttributeEditTarget target, const QString &title,
                                           const QString &label, const QString &value, long long id,
                                           QWidget *parent)
    : QDialog(parent), target_(std::move(target))
{
    setUpEditWindow(this, QStringLiteral("EditMultiValueDialog"), title, QSize(360, 235));
    attributeField_ = attributeRow(this, label, id);
    valueField_ = placeField(this, QStringLiteral("ValueField"), QRect(80, 45, 200, 20));
    QPushButton *add =
        placeButton(this, QStringLiteral("Add"), QStringLiteral("AddButton"), QRect(290, 45, 55, 20));
    valueList_ = placeWidget<QListWidget>(this, QStringLiteral("ValueList"), QRect(80, 75, 200, 95));
    valueList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QPushButton *remove =
        placeButton(this, QStringLiteral("Delete"), QStringLiteral("DeleteButton"), QRect(290, 75, 55, 20));
    QPushButton *ok = nullptr;
    okAndCancel(this, 190, &ok);

    const QString delimiter = optionText(target_.ctx->db, Option::MultivaluedDelimiter);
    for (const QString &field : splitMultiValued(value, delimiter, EmptyParts::Drop))
        valueList_->insertItem(0, field);
    opened_ = values();
    connect(add, &QPushButton::clicked, this, &EditMultiValueDialog::add);
    connect(valueField_, &QLineEdit::returnPressed, this, &EditMultiValueDialog::add);
    connect(remove, &QPushButton::clicked, this, &EditMultiValueDialog::remove);
    connect(ok, &QPushButton::clicked, this, &EditMultiValueDialog::ok);
    valueField_->setFocus();
}

bool EditAttributeDialog::hasChanges() const
{
    return valueField_->text() != opened_;
}

bool EditMultiValueDialog::hasChanges() const
{
    return values() != opened_ || !valueField_->text().isEmpty();
}

bool editorHasChanges(const QDialog *editor)
{
    if (const auto *single = qobject_cast<const EditAttributeDialog *>(editor))
        return single->hasChanges();
    if (const auto *multi = qobject_cast<const EditMultiValueDialog *>(editor))
        return multi->hasChanges();
    return false;
}

long long EditMultiValueDialog::catalogueId() const
{
    return attributeField_->property(kCatalogueId).toLongLong();
}

QStringList EditMultiValueDialog::values() const
{
    QStringList texts;
    for (int i = 0; i < valueList_->count(); ++i)
        texts << valueList_->item(i)->text();
    return texts;
}

void EditMultiValueDialog::add()
{
    const EditedAttribute attribute = editedAttribute(target_.ctx->db, catalogueId());
    if (valueList_->count() >= attribute.elements) {
        dialogs().inform(this, QStringLiteral("Attribute edit"),
                         QStringLiteral("Attribute ") + attribute.fld + QStringLiteral(" can have only ") +
                             countText(attribute.elements, QStringLiteral("value"), QStringLiteral("values")) +
                             u'.');
        return;
    }
    const QString text = valueField_->text();
    if (text.isEmpty())
        return;
    for (const QString &listed : values()) {
        if (listed.toLower() == text.toLower())
            return;
    }
    valueList_->insertItem(0, text);
    valueField_->clear();
}

void EditMultiValueDialog::remove()
{
    for (int i = valueList_->count() - 1; i >= 0; --i) {
        if (!valueList_->item(i)->isSelected())
            continue;
        valueField_->setText(valueList_->item(i)->text());
        delete valueList_->takeItem(i);
    }
}

void EditMultiValueDialog::ok()
{
    if (commitAttributeEdit(target_, catalogueId(), 1, values(), this))
        close();
}

} // namespace orvane
