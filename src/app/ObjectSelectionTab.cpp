#include "app/ObjectSelectionTab.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/Placement.h"
#include "app/WriteCheck.h"
#include "store/CharacterLists.h"
#include "store/OptionTable.h"

#include <QComboBox>
#include <QTreeWidget>

namespace orvane
{
namespace
{

const QString kTitle = QStringLiteral("Options");

} // namespace

ObjectSelectionTab::ObjectSelectionTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("ObjectSelectionTab"));
    placeLabel(this, QStringLiteral("Char. list:"), 10, 20);
    lists_ = placeWidget<QComboBox>(this, QStringLiteral("CharListCombo"), QRect(65, 16, 110, 20));
    auto *deleteList = placeButton(this, QStringLiteral("Delete"), QStringLiteral("DeleteListButton"),
                                   QRect(185, 16, 55, 20));
    placeLabel(this, QStringLiteral("New list:"), 250, 20);
    nameField_ = placeField(this, QStringLiteral("NewListField"), QRect(300, 16, 110, 20));
    auto *addList =
        placeButton(this, QStringLiteral("Add"), QStringLiteral("AddListButton"), QRect(420, 16, 55, 20));
    characters_ = createListView(this, QStringLiteral("Characters"), {{QStringLiteral("Characters"), 160}});
    characters_->setGeometry(10, 50, 465, 155);
    placeLabel(this, QStringLiteral("Character:"), 10, 228);
    characterField_ = placeField(this, QStringLiteral("CharacterField"), QRect(65, 225, 110, 20));
    auto *addCharacter = placeButton(this, QStringLiteral("Add"), QStringLiteral("AddCharacterButton"),
                                     QRect(185, 225, 55, 20));
    auto *deleteCharacter = placeButton(this, QStringLiteral("Delete"),
                                        QStringLiteral("DeleteCharacterButton"), QRect(415, 225, 55, 20));

    const long long current = optionLong(ctx_.db, Option::CharList);
    for (const CharacterListName &list : characterListsByName(ctx_.db))
        lists_->addItem(list.name, QVariant::fromValue(list.id));
    lists_->setCurrentIndex(lists_->findData(QVariant::fromValue(current)));
    showCharacters(sortedCharacters(ctx_.db, selectedListId()));

    connect(deleteList, &QPushButton::clicked, this, &ObjectSelectionTab::deleteList);
    connect(addList, &QPushButton::clicked, this, &ObjectSelectionTab::addList);
    connect(lists_, &QComboBox::activated, this, &ObjectSelectionTab::chooseList);
    connect(addCharacter, &QPushButton::clicked, this, &ObjectSelectionTab::addCharacter);
    connect(deleteCharacter, &QPushButton::clicked, this, &ObjectSelectionTab::deleteCharacter);
}

long long ObjectSelectionTab::selectedListId() const
{
    return lists_->currentIndex() < 0 ? 0 : lists_->currentData().toLongLong();
}

void ObjectSelectionTab::showCharacters(const QStringList &characters)
{
    characters_->clear();
    for (const QString &character : characters)
        new QTreeWidgetItem(characters_, QStringList(character));
}

void ObjectSelectionTab::addList()
{
    const QString name = nameField_->text();
    const WriteCheck check(ctx_.db);
    const AddedCharacterList added = addCharacterList(ctx_.db, name);
    if (added.nameTaken) {
        dialogs().inform(window(), kTitle,
                         QStringLiteral("Character list already exists, please choose different name."));
        return;
    }
    if (check.report(window(), kTitle) || added.id == 0)
        return;
    lists_->insertItem(0, name, QVariant::fromValue(added.id));
    lists_->setCurrentIndex(0);
    nameField_->clear();
    characters_->clear();
}

void ObjectSelectionTab::deleteList()
{
    if (lists_->currentIndex() < 0)
        return;
    if (!dialogs().ask(window(), kTitle,
                       QStringLiteral("Are you sure want to delete character list and all its content?")))
        return;
    const long long deleted = selectedListId();
    const WriteCheck check(ctx_.db);
    deleteCharacterList(ctx_.db, deleted);
    if (check.report(window(), kTitle))
        return;
    lists_->removeItem(lists_->currentIndex());
    lists_->setCurrentIndex(lists_->count() > 0 ? 0 : -1);
    // The list shown must be the list the character buttons act on.
    showCharacters(storedCharacters(ctx_.db, selectedListId()));
    // `charlist` must never name a list that is gone, even if the window is
    // then cancelled: it follows the list now selected at once.
    if (optionLong(ctx_.db, Option::CharList) == deleted) {
        setOption(ctx_.db, Option::CharList, QString::number(selectedListId()));
        check.report(window(), kTitle);
        emit currentListReplaced();
    }
}

void ObjectSelectionTab::chooseList()
{
    if (lists_->currentIndex() < 0)
        return;
    showCharacters(storedCharacters(ctx_.db, selectedListId()));
    emit changed();
}

void ObjectSelectionTab::addCharacter()
{
    if (lists_->currentIndex() < 0) {
        dialogs().inform(window(), kTitle, QStringLiteral("Character list is not selected."));
        return;
    }
    const QString character = characterField_->text();
    const WriteCheck check(ctx_.db);
    orvane::addCharacter(ctx_.db, selectedListId(), character);
    if (check.report(window(), kTitle))
        return;
    characters_->insertTopLevelItem(0, new QTreeWidgetItem(QStringList(character)));
    characterField_->clear();
}

void ObjectSelectionTab::deleteCharacter()
{
    QTreeWidgetItem *row = currentRow(characters_);
    if (lists_->currentIndex() < 0 || !row)
        return;
    const QString character = row->text(0);
    const WriteCheck check(ctx_.db);
    orvane::deleteCharacter(ctx_.db, selectedListId(), character);
    if (check.report(window(), kTitle))
        return;
    // The statement removes every copy of the character; so does the screen.
    for (int i = characters_->topLevelItemCount() - 1; i >= 0; --i) {
        if (characters_->topLevelItem(i)->text(0) == character)
            delete characters_->takeTopLevelItem(i);
    }
}

} // namespace orvane
