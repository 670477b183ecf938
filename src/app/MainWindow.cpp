#include "app/MainWindow.h"

#include "app/AboutWindow.h"
#include "app/AccountHandlers.h"
#include "app/AppContext.h"
#include "app/AttributeEditing.h"
#include "app/EventLogView.h"
#include "app/ImageDialog.h"
#include "app/ListViews.h"
#include "app/MainWindowLayout.h"
#include "app/MarkerHandlers.h"
#include "app/ObjectView.h"
#include "app/OptionsWindow.h"
#include "app/Placement.h"
#include "app/WindowFont.h"
#include "store/CatalogueQueries.h"
#include "store/CharacterLists.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

namespace orvane
{
namespace
{

constexpr int kToolbarHeight = 28;
// The three icon columns and a short name: what the list shows at the smallest window.
constexpr int kMinimumObjectList = 170;

QFrame *tabFrame(QWidget *page, const QString &name)
{
    auto *frame = new QFrame(page);
    frame->setObjectName(name);
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

bool hasFocusWithin(const QWidget *widget)
{
    const QWidget *focus = QApplication::focusWidget();
    return focus && (focus == widget || widget->isAncestorOf(focus));
}

} // namespace

MainWindow::MainWindow(AppContext &ctx, QWidget *parent) : QMainWindow(parent), ctx_(ctx)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("Orvane ") + ctx_.version);
    setWindowIcon(QIcon(ctx_.images.programIcon));
    setMinimumSize(kMinimumInnerSize);
    applyWindowFont(this);

    buildMenuBar();
    buildPopupMenus();
    buildToolbar();
    buildWorkArea();
    buildStatusBar();
    wireObjectView();
    buildKeyboard();
    refillLetterCombo();
    setObjectListTitle(displayObjectByFld(ctx_.db));
    refillMarkerCombo();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenuBar()
{
    // The '&' marks each item's mnemonic (Alt+F opens "File"); the texts shown are the plain ones.
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    file->addAction(QStringLiteral("&Export..."), this, &MainWindow::openExportWindow);
    file->addAction(QStringLiteral("&Review all..."), this, &MainWindow::openReviewWindow);
    file->addAction(QStringLiteral("&History..."), this, &MainWindow::openHistoryWindow);
    file->addAction(QStringLiteral("&Options"), this, &MainWindow::openOptions);
    file->addSeparator();
    QAction *exit = file->addAction(QStringLiteral("E&xit"), this, &MainWindow::exitProgram);
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("MenuEdit"));
    edit->addAction(QStringLiteral("Select &All"), this, &MainWindow::selectAll);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    help->addAction(QStringLiteral("&About"), this, &MainWindow::openAbout);
}

void MainWindow::buildPopupMenus()
{
    attributeMenu_ = new QMenu(this);
    attributeMenu_->setObjectName(QStringLiteral("AttributeMenu"));
    editAction_ = attributeMenu_->addAction(QStringLiteral("&Edit..."), this, &MainWindow::editAttribute);
    refreshAction_ =
        attributeMenu_->addAction(QStringLiteral("&Refresh"), this, &MainWindow::refreshAttributes);

    lookupMenu_ = new QMenu(this);
    lookupMenu_->setObjectName(QStringLiteral("LookupMenu"));
    compareAction_ = lookupMenu_->addAction(QStringLiteral("&Compare"), this, &MainWindow::compareSource);
    lookupMenu_->addAction(QStringLiteral("Select &All"), this, &MainWindow::checkAllSources);

    objectMenu_ = new QMenu(this);
    objectMenu_->setObjectName(QStringLiteral("ObjectMenu"));
    disableAction_ =
        objectMenu_->addAction(QStringLiteral("&Disable account"), this, &MainWindow::disableAccount);
    enableAction_ =
        objectMenu_->addAction(QStringLiteral("&Enable account"), this, &MainWindow::enableAccount);
    imageAction_ = objectMenu_->addAction(QStringLiteral("&Image..."), this, &MainWindow::openImageDialog);
}

void MainWindow::buildToolbar()
{
    workArea_ = new QWidget(this);
    workArea_->setObjectName(QStringLiteral("WorkArea"));
    setCentralWidget(workArea_);

    toolbar_ = new QToolBar(workArea_);
    toolbar_->setObjectName(QStringLiteral("MainToolbar"));
    toolbar_->setMovable(false);
    toolbar_->setIconSize(QSize(16, 16));

    auto *slot = new QWidget(toolbar_);
    slot->setFixedSize(55, kToolbarHeight - 4);
    letterCombo_ = new QComboBox(slot);
    letterCombo_->setObjectName(QStringLiteral("LetterCombo"));
    letterCombo_->setEditable(false);
    letterCombo_->setGeometry(5, (slot->height() - 20) / 2, 50, 20);
    toolbar_->addWidget(slot);

    const QIcon findIcon = QIcon::fromTheme(QStringLiteral("edit-find"), ctx_.images.icon(ImageMagnifier));
    QAction *findAction = toolbar_->addAction(findIcon, QStringLiteral("Find"), this, &MainWindow::find);
    findAction->setObjectName(QStringLiteral("Find"));
    findAction->setToolTip(QStringLiteral("Find (F5)"));
    QAction *review =
        toolbar_->addAction(QStringLiteral("Review all..."), this, &MainWindow::openReviewWindow);
    findAction_ = findAction;
    review->setObjectName(QStringLiteral("ReviewAll"));
}

void MainWindow::buildWorkArea()
{
    frame_ = new QFrame(workArea_);
    frame_->setObjectName(QStringLiteral("WorkFrame"));
    frame_->setFrameShape(QFrame::StyledPanel);
    frame_->setFrameShadow(QFrame::Sunken);

    splitter_ = new QSplitter(Qt::Horizontal, workArea_);
    splitter_->setObjectName(QStringLiteral("MainSplitter"));
    splitter_->setChildrenCollapsible(false);

    objectList_ = createListView(splitter_, QStringLiteral("ObjectList"),
                                 {{QString(), 20}, {QString(), 16}, {QString(), 16}, {QString(), 200}});
    connect(objectList_, &QTreeWidget::itemDoubleClicked, this, &MainWindow::objectListDoubleClicked);
    connect(objectList_, &QWidget::customContextMenuRequested, this, &MainWindow::objectListContextMenu);
    objectList_->setMinimumWidth(kMinimumObjectList);

    tabs_ = new QTabWidget(splitter_);
    tabs_->setObjectName(QStringLiteral("MainTabs"));
    tabs_->setMinimumWidth(kMinimumRightPane);
    tabs_->installEventFilter(this);
    buildGeneralTab();
    buildEventsTab();

    splitter_->addWidget(objectList_);
    splitter_->addWidget(tabs_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    connect(splitter_, &QSplitter::splitterMoved, this, [this] { layoutTabContents(); });
}

void MainWindow::buildGeneralTab()
{
    generalPage_ = new QWidget;
    generalPage_->setObjectName(QStringLiteral("GeneralTab"));
    tabs_->addTab(generalPage_, QStringLiteral("General"));
    generalFrame_ = tabFrame(generalPage_, QStringLiteral("GeneralFrame"));

    placeLabel(generalPage_, QStringLiteral("Object:"), QRect(10, 20, 100, 20));
    objectField_ = new QLineEdit(generalPage_);
    objectField_->setObjectName(QStringLiteral("ObjectField"));
    objectField_->setReadOnly(true);
    objectField_->setGeometry(60, 16, 200, 20);

    placeLabel(generalPage_, QStringLiteral("Color marker:"), QRect(270, 20, 100, 20));
    markerCombo_ = new QComboBox(generalPage_);
    markerCombo_->setObjectName(QStringLiteral("MarkerCombo"));
    markerCombo_->setIconSize(QSize(16, 16));
    markerCombo_->setGeometry(340, 16, 150, 20);

    setMarkerButton_ = new QPushButton(QStringLiteral("Set marker"), generalPage_);
    setMarkerButton_->setObjectName(QStringLiteral("SetMarkerButton"));
    setMarkerButton_->setGeometry(500, 16, 60, 20);
    connect(setMarkerButton_, &QPushButton::clicked, this, &MainWindow::setMarker);

    syncButton_ = new QToolButton(generalPage_);
    syncButton_->setObjectName(QStringLiteral("SyncButton"));
    syncButton_->setIcon(QIcon(ctx_.images.syncPicture));
    syncButton_->setIconSize(QSize(24, 24));
    syncButton_->setToolTip(QStringLiteral("Synchronize"));
    connect(syncButton_, &QToolButton::clicked, this, &MainWindow::synchronize);

    attributeList_ =
        createListView(generalPage_, QStringLiteral("AttributeList"),
                       {{QStringLiteral("AD attributes"), 200}, {QStringLiteral("Values"), 250}});
    connect(attributeList_, &QTreeWidget::itemDoubleClicked, this, &MainWindow::attributeListDoubleClicked);
    connect(attributeList_, &QWidget::customContextMenuRequested, this,
            &MainWindow::attributeListContextMenu);

    lookupList_ = createListView(generalPage_, QStringLiteral("LookupList"),
                                 {{QStringLiteral("Description"), 200},
                                  {QStringLiteral("Lookup field"), 150},
                                  {QStringLiteral("Source"), 200}});
    connect(lookupList_, &QTreeWidget::itemDoubleClicked, this, &MainWindow::lookupListDoubleClicked);
    connect(lookupList_, &QWidget::customContextMenuRequested, this, &MainWindow::lookupListContextMenu);

    compareList_ = createListView(generalPage_, QStringLiteral("CompareList"),
                                  {{QString(), 20},
                                   {QStringLiteral(" "), 16},
                                   {QStringLiteral(" "), 16},
                                   {QStringLiteral("Source attributes"), 150},
                                   {QStringLiteral("Prepared values"), 350},
                                   {QStringLiteral("Directory values"), 250},
                                   {QStringLiteral("Original values"), 350}});
    compareList_->setTextElideMode(Qt::ElideMiddle);
}

void MainWindow::buildEventsTab()
{
    eventsPage_ = new QWidget;
    eventsPage_->setObjectName(QStringLiteral("EventsTab"));
    tabs_->addTab(eventsPage_, QStringLiteral("Events"));
    eventsFrame_ = tabFrame(eventsPage_, QStringLiteral("EventsFrame"));

    eventList_ = createListView(
        eventsPage_, QStringLiteral("EventList"),
        {{QString(), 20}, {QString(), 20}, {QStringLiteral("Date"), 130}, {QStringLiteral("Event"), 400}},
        ListSelection::Multiple);
    descriptionLabel_ = placeLabel(eventsPage_, QStringLiteral("Description:"), QRect());
    eventText_ = new QPlainTextEdit(eventsPage_);
    eventText_->setObjectName(QStringLiteral("EventText"));
    eventText_->setReadOnly(true);
}

void MainWindow::buildStatusBar()
{
    QStatusBar *bar = statusBar();
    bar->setObjectName(QStringLiteral("MainStatusBar"));
    statusText_ = new QLabel(bar);
    statusText_->setObjectName(QStringLiteral("StatusText"));
    bar->addWidget(statusText_, 1);
    unreadIndicator_ = new QLabel(bar);
    unreadIndicator_->setObjectName(QStringLiteral("UnreadIndicator"));
    unreadIndicator_->setFixedWidth(23);
    unreadIndicator_->setAlignment(Qt::AlignCenter);
    bar->addPermanentWidget(unreadIndicator_);
    eventLog_ = new EventLogView(ctx_, eventList_, eventText_, unreadIndicator_);
}

void MainWindow::showEventLog()
{
    eventLog_->loadEventList();
    eventLog_->refreshUnreadIndicator();
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    layoutWorkArea();
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tabs_ && event->type() == QEvent::Resize)
        layoutTabContents();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::layoutWorkArea()
{
    const WorkAreaLayout l = orvane::layoutWorkArea(size());
    toolbar_->setGeometry(0, 0, width(), kToolbarHeight);
    frame_->setGeometry(l.frame);
    splitter_->setGeometry(l.splitter);
}

void MainWindow::layoutTabContents()
{
    const TabContentsLayout l = orvane::layoutTabContents(tabs_->size());
    generalFrame_->setGeometry(l.tabFrame);
    eventsFrame_->setGeometry(l.tabFrame);
    syncButton_->setGeometry(l.syncButton);
    attributeList_->setGeometry(l.attributeList);
    lookupList_->setGeometry(l.lookupList);
    compareList_->setGeometry(l.compareList);
    eventList_->setGeometry(l.eventList);
    descriptionLabel_->setGeometry(l.descriptionLabel);
    eventText_->setGeometry(l.eventText);
}

void MainWindow::endProgram()
{
    if (ended_)
        return;
    ended_ = true;
    saveWindowState();
    ctx_.quitFlag = 1;
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    endProgram();
    event->accept();
}

void MainWindow::exitProgram()
{
    endProgram();
}

void MainWindow::appendEvents(QList<EventRecord> batch)
{
    eventLog_->appendEvents(std::move(batch));
}

void MainWindow::setStatusText(const QString &text)
{
    statusText_->setText(text);
}

void MainWindow::clearObjectPanes()
{
    attributeList_->clear();
    lookupList_->clear();
    compareList_->clear();
    objectField_->clear();
    markerCombo_->setCurrentIndex(0);
}

void MainWindow::resetObjectView()
{
    objectList_->clear();
    clearObjectPanes();
    for (ObjectEntry &entry : ctx_.objects)
        entry.selected = 0;
    // The list is empty now: a count of the last Find would describe nothing.
    statusText_->setText(kSettingsSavedText);
    statusText_->setToolTip(QString());
}

void MainWindow::refillLetterCombo()
{
    letterCombo_->clear();
    letterCombo_->addItems(currentCharacters(ctx_.db));
    letterCombo_->setCurrentIndex(0);
}

void MainWindow::setObjectListTitle(const QString &title)
{
    objectList_->headerItem()->setText(3, title);
}

void MainWindow::refillMarkerCombo()
{
    fillMarkerCombo(markerCombo_, ctx_.db, ctx_.images);
}

void MainWindow::selectAll()
{
    if (hasFocusWithin(eventList_))
        eventLog_->selectAll();
    else if (hasFocusWithin(lookupList_))
        checkAllSources();
}

void MainWindow::openAbout()
{
    if (!about_)
        about_ = new AboutWindow(ctx_, this);
    about_->show();
    about_->raise();
    about_->activateWindow();
}

void MainWindow::openOptions()
{
    // One Options window at a time: choosing "Options" again brings it forward.
    if (!options_)
        options_ = new OptionsWindow(ctx_, *this);
    options_->show();
    options_->raise();
    options_->activateWindow();
}

void MainWindow::find()
{
    clearObjectPanes();
    const auto status = [this](const QString &text, const QString &reason) {
        statusText_->setText(text);
        statusText_->setToolTip(reason);
    };
    loadObjectList(ctx_, objectList_, letterCombo_->currentText(), status, statusCheck_);
    prewarmWorkbooks();
}

void MainWindow::disableAccount()
{
    changeAccount(AccountChange::Disable);
}

void MainWindow::enableAccount()
{
    changeAccount(AccountChange::Enable);
}

void MainWindow::editAttribute()
{
    // The commit re-reads the user and shows the stored values; the marks and
    // the comparison follow what it holds now.
    if (const ObjectEntry *object = openedObject(ctx_))
        openAttributeEditor({&ctx_, attributeList_, [this] { objectView_->refreshMarks(); }}, object->cn,
                            this);
}

void MainWindow::objectListContextMenu(const QPoint &pos)
{
    QTreeWidgetItem *row = currentRow(objectList_);
    const long long index = rowData(row);
    const bool known = row && index >= 0 && index < ctx_.objects.size();
    const bool disabled = known && ctx_.objects[int(index)].accountDisabled == 1;
    imageAction_->setEnabled(row != nullptr);
    disableAction_->setEnabled(row != nullptr && !disabled);
    enableAction_->setEnabled(row != nullptr && disabled);
    objectMenu_->popup(objectList_->viewport()->mapToGlobal(pos));
}

void MainWindow::attributeListContextMenu(const QPoint &pos)
{
    const bool opened = openedObject(ctx_) != nullptr;
    refreshAction_->setEnabled(opened);
    editAction_->setEnabled(opened && currentRow(attributeList_) != nullptr);
    attributeMenu_->popup(attributeList_->viewport()->mapToGlobal(pos));
}

void MainWindow::lookupListContextMenu(const QPoint &pos)
{
    compareAction_->setEnabled(currentRow(lookupList_) != nullptr);
    lookupMenu_->popup(lookupList_->viewport()->mapToGlobal(pos));
}

void MainWindow::objectListDoubleClicked()
{
    if (QTreeWidgetItem *row = currentRow(objectList_))
        selectObject(int(rowData(row)));
}

void MainWindow::attributeListDoubleClicked()
{
    if (openedObject(ctx_) && currentRow(attributeList_))
        editAttribute();
}

void MainWindow::lookupListDoubleClicked()
{
    if (QTreeWidgetItem *row = currentRow(lookupList_))
        loadSourceRow(row, true);
}

void MainWindow::setMarker()
{
    setMarkerOfOpenedObject(ctx_, markerCombo_, objectList_, this);
}

void MainWindow::refreshAttributes()
{
    if (!openedObject(ctx_))
        return;
    attributeList_->clear();
    reloadObject();
    appendEvents(QList<EventRecord>(2));
    refreshObjectView();
}

void MainWindow::compareSource()
{
    QTreeWidgetItem *row = currentRow(lookupList_);
    if (openedObject(ctx_) && row)
        loadSourceRow(row, false);
}

void MainWindow::checkAllSources()
{
    for (QTreeWidgetItem *row : allRows(lookupList_))
        row->setCheckState(0, Qt::Checked);
}

void MainWindow::selectObject(int index)
{
    if (index < 0 || index >= ctx_.objects.size())
        return;
    for (ObjectEntry &entry : ctx_.objects)
        entry.selected = 0;
    ObjectEntry &entry = ctx_.objects[index];
    entry.selected = 1;
    ctx_.currentObject = index;
    fillAttributeList();
    objectField_->setText(entry.cn);
    showObjectMarker(markerCombo_, ctx_.db, entry.guid);
    compareList_->clear();
    lookupList_->clear();
    findSources();
}

} // namespace orvane
