#include "app/ExcelFilesTab.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/ListViews.h"
#include "app/Placement.h"
#include "app/WriteCheck.h"
#include "store/CatalogueQueries.h"
#include "workbook/ReadOnlyWorkbooks.h"
#include "workbook/Registration.h"

#include <QComboBox>
#include <QMenu>
#include <QSpinBox>
#include <QTreeWidget>

namespace orvane
{
namespace
{

const QString kTitle = QStringLiteral("Options");

} // namespace

ExcelFilesTab::ExcelFilesTab(AppContext &ctx, QWidget *parent) : QWidget(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("ExcelFilesTab"));
    placeLabel(this, QStringLiteral("Open file:"), 10, 20);
    auto *addFile = placeButton(this, QStringLiteral("Add file..."), QStringLiteral("AddFileButton"),
                                QRect(65, 16, 65, 20));
    workbooks_ = createListView(this, QStringLiteral("WorkbookList"),
                                {{QStringLiteral("File name"), 200}, {QStringLiteral("Description"), 200}});
    workbooks_->setGeometry(10, 45, 465, 80);
    workbooks_->setTextElideMode(Qt::ElideMiddle); // a long path keeps its start and its file name
    placeLabel(this, QStringLiteral("Description:"), 180, 20);
    description_ = placeField(this, QStringLiteral("DescriptionField"), QRect(250, 16, 150, 20));
    setDescription_ = placeButton(this, QStringLiteral("Set"), QStringLiteral("SetDescriptionButton"),
                                  QRect(420, 16, 50, 20));
    placeLabel(this, QStringLiteral("File:"), 10, 138);
    file_ = placeField(this, QStringLiteral("FileField"), QRect(40, 135, 150, 20));
    file_->setReadOnly(true);
    placeLabel(this, QStringLiteral("Column:"), 205, 138);
    column_ = placeWidget<QSpinBox>(this, QStringLiteral("ColumnSpin"), QRect(255, 135, 35, 20));
    column_->setRange(1, 100);
    column_->setValue(1);
    column_->setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    attributes_ = placeWidget<QComboBox>(this, QStringLiteral("AttributeCombo"), QRect(300, 135, 110, 20));
    for (const CatalogueAttribute &attribute : attributesByFld(ctx_.db))
        attributes_->addItem(attribute.fld, QVariant::fromValue(attribute.id));
    addBinding_ =
        placeButton(this, QStringLiteral("Add"), QStringLiteral("AddBindingButton"), QRect(420, 135, 50, 20));
    bindings_ = createListView(this, QStringLiteral("BindingList"),
                               {{QStringLiteral("Column"), 50}, {QStringLiteral("AD attribute"), 150}});
    bindings_->setGeometry(10, 165, 465, 85);

    for (const RegisteredWorkbook &workbook : loadWorkbooks(ctx_.db)) {
        QTreeWidgetItem *row = insertRowAtTop(workbooks_);
        row->setText(0, workbook.filename);
        row->setToolTip(0, workbook.filename);
        row->setText(1, workbook.desc);
        setRowData(row, workbook.id);
        setRowImage(row, workbookImage(workbook.primaryFlag, workbook.exportFlag));
    }
    buildMenus();
    showNoWorkbook();

    connect(addFile, &QPushButton::clicked, this, &ExcelFilesTab::registerWorkbook);
    connect(workbooks_, &QTreeWidget::itemSelectionChanged, this, &ExcelFilesTab::workbookSelectionChanged);
    connect(setDescription_, &QPushButton::clicked, this, &ExcelFilesTab::setDescription);
    connect(addBinding_, &QPushButton::clicked, this, &ExcelFilesTab::addBinding);
    connect(bindings_, &QTreeWidget::itemClicked, this, &ExcelFilesTab::pickBinding);
    connect(workbooks_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showFileMenu(workbooks_->viewport()->mapToGlobal(pos)); });
    connect(bindings_, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { showBindingMenu(bindings_->viewport()->mapToGlobal(pos)); });
}

void ExcelFilesTab::buildMenus()
{
    fileMenu_ = new QMenu(this);
    fileMenu_->setObjectName(QStringLiteral("FileMenu"));
    fileMenu_->addAction(QStringLiteral("Add file..."), this, &ExcelFilesTab::registerWorkbook);
    fileClearTag_ = fileMenu_->addAction(QStringLiteral("Clear tag"), this, &ExcelFilesTab::clearWorkbookTag);
    fileDelete_ = fileMenu_->addAction(QStringLiteral("Delete"), this, &ExcelFilesTab::deleteWorkbook);
    filePrimary_ =
        fileMenu_->addAction(QStringLiteral("Tag as primary file"), this, &ExcelFilesTab::tagAsPrimary);
    fileExport_ =
        fileMenu_->addAction(QStringLiteral("Tag as export file"), this, &ExcelFilesTab::tagAsExport);
    filePrimary_->setCheckable(true);
    fileExport_->setCheckable(true);

    bindingMenu_ = new QMenu(this);
    bindingMenu_->setObjectName(QStringLiteral("BindingMenu"));
    bindingClearTag_ =
        bindingMenu_->addAction(QStringLiteral("Clear tag"), this, &ExcelFilesTab::clearBindingTag);
    bindingDelete_ = bindingMenu_->addAction(QStringLiteral("Delete"), this, &ExcelFilesTab::deleteBinding);
    bindingKey_ =
        bindingMenu_->addAction(QStringLiteral("Tag as key pair"), this, &ExcelFilesTab::tagAsKeyPair);
    bindingLookup_ =
        bindingMenu_->addAction(QStringLiteral("Tag as lookup pair"), this, &ExcelFilesTab::tagAsLookupPair);
}

long long ExcelFilesTab::selectedWorkbook() const
{
    return rowData(currentRow(workbooks_));
}

void ExcelFilesTab::setRowImage(QTreeWidgetItem *row, int image)
{
    row->setIcon(0, image == kNoImage ? QIcon() : ctx_.images.icon(image));
}

void ExcelFilesTab::registerWorkbook()
{
    const QString path = dialogs().openFile(window(), QStringLiteral("Open excel file"),
                                            QStringLiteral("Excel (*.xls *.xlsx);;HR exports (*.csv *.ods)"));
    if (path.isEmpty())
        return;
    if (isRegistered(ctx_.db, path)) {
        dialogs().warn(window(), QStringLiteral("Information"),
                       QStringLiteral("Excel file already exists in DB."));
        return;
    }
    const WriteCheck check(ctx_.db);
    const long long id = orvane::registerWorkbook(ctx_.db, path);
    if (check.report(window(), kTitle))
        return;
    QTreeWidgetItem *row = insertRowAtTop(workbooks_);
    row->setText(0, path);
    row->setToolTip(0, path);
    setRowData(row, id);
}

void ExcelFilesTab::showNoWorkbook()
{
    file_->clear();
    file_->setToolTip(QString());
    description_->clear();
    for (QWidget *control :
         std::initializer_list<QWidget *>{column_, attributes_, addBinding_, description_, setDescription_})
        control->setEnabled(false);
    bindings_->clear();
}

void ExcelFilesTab::workbookSelectionChanged()
{
    QTreeWidgetItem *row = currentRow(workbooks_);
    if (!row) {
        showNoWorkbook();
        return;
    }
    file_->setText(row->text(0));
    file_->setToolTip(row->text(0));
    for (QWidget *control :
         std::initializer_list<QWidget *>{column_, attributes_, addBinding_, description_, setDescription_})
        control->setEnabled(true);
    description_->setText(workbookDescription(ctx_.db, rowData(row)));
    fillBindings(rowData(row));
}

void ExcelFilesTab::fillBindings(long long fileId)
{
    bindings_->clear();
    const QList<WorkbookBinding> bindings = loadWorkbookBindings(ctx_.db, BindingStatement::BindingList, fileId);
    for (const WorkbookBinding &binding : bindings) {
        QTreeWidgetItem *row = insertRowAtTop(bindings_);
        row->setText(0, QString::number(binding.column));
        row->setText(1, binding.fld);
        setRowData(row, binding.attributeId);
        row->setCheckState(0, binding.showFlag == 1 ? Qt::Checked : Qt::Unchecked);
        setRowImage(row, bindingImage(binding.keyFlag, binding.lookupFlag));
    }
}

void ExcelFilesTab::setDescription()
{
    QTreeWidgetItem *row = currentRow(workbooks_);
    if (!row)
        return;
    const QString text = description_->text();
    const WriteCheck check(ctx_.db);
    if (setWorkbookDescription(ctx_.db, rowData(row), text))
        row->setText(1, text);
    check.report(window(), kTitle);
}

void ExcelFilesTab::deleteWorkbook()
{
    QTreeWidgetItem *row = currentRow(workbooks_);
    if (!row)
        return;
    if (!dialogs().ask(window(), kTitle,
                       QStringLiteral("Are you sure want to delete ") + row->text(0) +
                           QStringLiteral(" Excel file from DB?")))
        return;
    const WriteCheck check(ctx_.db);
    orvane::deleteWorkbook(ctx_.db, rowData(row));
    if (check.report(window(), kTitle))
        return;
    delete row;
    // With the row gone no workbook is selected: nothing may act on it any more.
    workbooks_->clearSelection();
    showNoWorkbook();
}

void ExcelFilesTab::tagWorkbook(WorkbookTag tag)
{
    QTreeWidgetItem *row = currentRow(workbooks_);
    if (!row)
        return;
    const WriteCheck check(ctx_.db);
    const WorkbookTagResult result = orvane::tagWorkbook(ctx_.db, rowData(row), tag);
    if (result.refused) {
        dialogs().inform(window(), kTitle, QStringLiteral("Please clear existing tag then assign new one."));
        return;
    }
    if (check.report(window(), kTitle))
        return;
    if (QTreeWidgetItem *previous = findRowByData(workbooks_, result.previous))
        setRowImage(previous, kNoImage);
    setRowImage(row, tag == WorkbookTag::Primary ? workbookImage(1, 0) : workbookImage(0, 1));
    // The tag stays, as on any workbook; the notice says now what the export would say when run.
    const QString notice = readOnlyExportNotice(row->text(0));
    if (tag == WorkbookTag::Export && !notice.isEmpty())
        dialogs().inform(window(), kTitle, notice);
}

void ExcelFilesTab::tagAsPrimary()
{
    tagWorkbook(WorkbookTag::Primary);
}

void ExcelFilesTab::tagAsExport()
{
    tagWorkbook(WorkbookTag::Export);
}

void ExcelFilesTab::clearWorkbookTag()
{
    if (QTreeWidgetItem *row = currentRow(workbooks_)) {
        const WriteCheck check(ctx_.db);
        clearWorkbookTags(ctx_.db, rowData(row));
        if (!check.report(window(), kTitle))
            setRowImage(row, kNoImage);
    }
}

void ExcelFilesTab::pickBinding()
{
    if (QTreeWidgetItem *row = currentRow(bindings_)) {
        column_->setValue(row->text(0).toInt());
        attributes_->setCurrentIndex(attributes_->findData(QVariant::fromValue(rowData(row))));
    }
}

void ExcelFilesTab::addBinding()
{
    const long long file = selectedWorkbook();
    if (file == 0 || attributes_->currentIndex() < 0)
        return;
    const int column = column_->value();
    const long long attribute = attributes_->currentData().toLongLong();
    const QString name = attributeFld(ctx_.db, attribute);
    const WriteCheck check(ctx_.db);
    switch (classifyBinding(ctx_.db, file, column, attribute)) {
    case BindingAddition::Insert:
        if (insertBinding(ctx_.db, file, column, attribute)) {
            QTreeWidgetItem *row = insertRowAtTop(bindings_);
            row->setText(0, QString::number(column));
            row->setText(1, name);
            setRowData(row, attribute);
            row->setCheckState(0, Qt::Unchecked);
        }
        break;
    case BindingAddition::AskToMove:
        if (dialogs().ask(window(), kTitle, QStringLiteral("AD attribute already exists. Update?")) &&
            moveBinding(ctx_.db, file, column, attribute)) {
            for (QTreeWidgetItem *row : allRows(bindings_)) {
                if (row->text(1) == name)
                    row->setText(0, QString::number(column));
            }
        }
        break;
    case BindingAddition::AlreadyBound:
        dialogs().inform(
            window(), kTitle,
            QStringLiteral("Excel column and AD attribute already exist in the list, please remove or "
                           "change existing pair."));
        break;
    case BindingAddition::ColumnFull:
        break;
    }
    check.report(window(), kTitle);
}

void ExcelFilesTab::deleteBinding()
{
    QTreeWidgetItem *row = currentRow(bindings_);
    const long long file = selectedWorkbook();
    if (!row || file == 0)
        return;
    const WriteCheck check(ctx_.db);
    if (orvane::deleteBinding(ctx_.db, file, rowData(row), row->text(0)) && !check.failed())
        delete row;
    check.report(window(), kTitle);
}

void ExcelFilesTab::tagBinding(BindingTag tag)
{
    QTreeWidgetItem *row = currentRow(bindings_);
    const long long file = selectedWorkbook();
    if (!row || file == 0)
        return;
    const WriteCheck check(ctx_.db);
    const BindingTagResult result = orvane::tagBinding(ctx_.db, file, row->text(0), rowData(row), tag);
    if (check.report(window(), kTitle))
        return;
    if (result.hadPrevious) {
        for (QTreeWidgetItem *other : allRows(bindings_)) {
            if (other->text(0) == QString::number(result.previousColumn) &&
                rowData(other) == result.previousAttribute)
                setRowImage(other, result.previousImage);
        }
    }
    setRowImage(row, result.image);
}

void ExcelFilesTab::tagAsKeyPair()
{
    tagBinding(BindingTag::Key);
}

void ExcelFilesTab::tagAsLookupPair()
{
    tagBinding(BindingTag::Lookup);
}

void ExcelFilesTab::clearBindingTag()
{
    QTreeWidgetItem *row = currentRow(bindings_);
    const long long file = selectedWorkbook();
    if (!row || file == 0)
        return;
    const WriteCheck check(ctx_.db);
    clearBindingTags(ctx_.db, file, rowData(row));
    if (!check.report(window(), kTitle))
        setRowImage(row, kNoImage);
}

void ExcelFilesTab::storeShowTags()
{
    const long long file = selectedWorkbook();
    if (bindings_->topLevelItemCount() == 0 || file == 0)
        return;
    for (QTreeWidgetItem *row : allRows(bindings_))
        storeShowFlag(ctx_.db, file, rowData(row), row->checkState(0) == Qt::Checked);
}

void ExcelFilesTab::showFileMenu(const QPoint &globalPos)
{
    const long long file = selectedWorkbook();
    const RegisteredWorkbook workbook = readWorkbook(ctx_.db, file);
    for (QAction *action : {fileClearTag_, fileDelete_, filePrimary_, fileExport_})
        action->setEnabled(file != 0);
    filePrimary_->setChecked(file != 0 && workbook.primaryFlag == 1);
    fileExport_->setChecked(file != 0 && workbook.exportFlag == 1);
    fileMenu_->popup(globalPos);
}

void ExcelFilesTab::showBindingMenu(const QPoint &globalPos)
{
    const bool hasRow = currentRow(bindings_) != nullptr;
    const bool exportWorkbook = readWorkbook(ctx_.db, selectedWorkbook()).exportFlag == 1;
    bindingDelete_->setEnabled(hasRow);
    for (QAction *action : {bindingClearTag_, bindingKey_, bindingLookup_})
        action->setEnabled(hasRow && !exportWorkbook);
    bindingMenu_->popup(globalPos);
}

} // namespace orvane
