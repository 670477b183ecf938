#pragma once
// The program's main window: the users of the last search on the left, the
// opened user's attributes, workbook rows and comparison on the "General" tab
// and the event log on the "Events" tab. Controls carry their names as object
// names so that the other handlers (and tests) find them. Every command is
// dispatched here to its handler; the members are defined in MainWindow*.cpp,
// each file named after the commands it holds.

#include "app/ObjectListLoader.h"
#include "store/EventLog.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSize>

class QAction;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace orvane
{

struct AppContext;
class AboutWindow;
class OptionsWindow;
class EventLogView;
class ObjectView;
enum class AccountChange;

/// The status bar after the Options window is saved, which empties the lists.
inline const QString kSettingsSavedText = QStringLiteral("Settings saved; press Find to list users again");

/// The smallest inner size, also the size of a first start in normal state.
inline constexpr QSize kMinimumInnerSize(800, 600);
/// The right pane is never narrower than this.
inline constexpr int kMinimumRightPane = 610;

/// The value of `mainwindowstate` for a maximised window.
inline constexpr long long kMaximisedState = 16777216;

/// The column widths of `lists` as the window state keeps them:
/// "Name=w,w,...;..." by object name, every column but the stretching last one.
QString columnWidthsText(const QList<QTreeWidget *> &lists);
/// Sets the widths `text` (as columnWidthsText writes it) on the lists of
/// those names; unknown names and widths out of range are left alone.
void applyColumnWidths(const QList<QTreeWidget *> &lists, const QString &text);

class MainWindow : public QMainWindow
{
    Q_OBJECT
  public:
    /// Builds every control, menu and popup menu and fills the letter combo,
    /// the object list's title and the marker combo. The window stays hidden.
    explicit MainWindow(AppContext &ctx, QWidget *parent = nullptr);
    ~MainWindow() override;

    /// Shows the window centred at its saved inner size, maximised when the
    /// saved state says so; false when it cannot be shown.
    bool open();
    /// Fills the event list from the store and sets the unread indicator.
    void showEventLog();

    /// Writes the splitter position and the lists' column widths and, unless
    /// minimised, the state (and in normal state the inner size and the
    /// position) to the options (MainWindowState.cpp).
    void saveWindowState();

    /// Hands a batch of events to the log (see EventLogView::appendEvents).
    void appendEvents(QList<EventRecord> batch);
    EventLogView &eventLog() { return *eventLog_; }
    /// Shows `text` in the first field of the status bar ("" clears it).
    void setStatusText(const QString &text);

    /// Empties the object list and the panes of the opened object, leaves no
    /// object opened and says so in the status bar (after the Options window is saved).
    void resetObjectView();
    /// Refills the letter combo from the current character list, first entry selected.
    void refillLetterCombo();
    /// Sets the title of the object list's display column.
    void setObjectListTitle(const QString &title);
    /// Refills the marker combo from the store.
    void refillMarkerCombo();

  public slots:
    // Commands of the menu bar and the toolbar.
    void exitProgram();
    void selectAll();
    void openAbout();
    void openOptions();
    void find();
    // Right clicks: enable the popup menu's items and show it at `pos` (list viewport coordinates).
    void objectListContextMenu(const QPoint &pos);
    void attributeListContextMenu(const QPoint &pos);
    void lookupListContextMenu(const QPoint &pos);
    // Double clicks and buttons.
    void objectListDoubleClicked();
    void attributeListDoubleClicked();
    void lookupListDoubleClicked();
    void setMarker();
    // Popup menu commands.
    void refreshAttributes();
    void compareSource();
    void checkAllSources();

    /// Sets what gives the status icons of the object list at each Find
    /// (none by default: column 0 stays empty).
    void setObjectStatusCheck(ObjectStatusCheckFactory factory) { statusCheck_ = std::move(factory); }

    /// Opens object `index` of the object table: marks it selected, shows its
    /// name and marker, clears the panes of the previous object.
    void selectObject(int index);

  protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private slots:
    // The export window and the Synchronize button (MainWindowObjectCommands.cpp).
    void openExportWindow();
    // Every pending change at once and the change journal (MainWindowJournalCommands.cpp).
    void openReviewWindow();
    void openHistoryWindow();
    void synchronize();
    // The object list's popup menu and the attribute edit.
    void disableAccount();
    void enableAccount();
    void openImageDialog();
    void editAttribute();

  private:
    // Steps on the opened user, handed to its ObjectView (MainWindowObjectCommands.cpp).
    void showPrimaryStatus();
    void fillAttributeList();
    void findSources();
    void prewarmWorkbooks();
    void loadSourceRow(QTreeWidgetItem *row, bool fill);
    void reloadObject();
    void refreshObjectView();
    void wireObjectView();
    // Enable or disable the selected row's account; the opened user is read again when it was that row.
    void changeAccount(AccountChange change);
    // A single click (or a tick) on a workbook row compares it, unless it is already shown.
    void lookupListClicked(QTreeWidgetItem *row);
    // After History: the users an undo wrote are read again, nothing else changes
    // (MainWindowJournalCommands.cpp).
    void rereadUsers(const QStringList &guids);
    // Shortcuts, Return keys, the unread indicator's click and the Tab order (MainWindowKeyboard.cpp).
    void buildKeyboard();

    void buildMenuBar();
    void buildToolbar();
    void buildPopupMenus();
    void buildWorkArea();
    void buildGeneralTab();
    void buildEventsTab();
    void buildStatusBar();
    void layoutWorkArea();
    void layoutTabContents();
    void applySplitterPosition();
    void placeOnScreen();
    QList<QTreeWidget *> listsWithSavedColumns() const;
    void clearObjectPanes();
    void endProgram();

    AppContext &ctx_;

    QToolBar *toolbar_ = nullptr;
    QComboBox *letterCombo_ = nullptr;
    QAction *findAction_ = nullptr;

    QMenu *objectMenu_ = nullptr;
    QAction *disableAction_ = nullptr;
    QAction *enableAction_ = nullptr;
    QAction *imageAction_ = nullptr;
    QMenu *attributeMenu_ = nullptr;
    QAction *editAction_ = nullptr;
    QAction *refreshAction_ = nullptr;
    QMenu *lookupMenu_ = nullptr;
    QAction *compareAction_ = nullptr;

    QWidget *workArea_ = nullptr;
    QFrame *frame_ = nullptr;
    QSplitter *splitter_ = nullptr;
    QTreeWidget *objectList_ = nullptr;
    QTabWidget *tabs_ = nullptr;
    QWidget *generalPage_ = nullptr;
    QWidget *eventsPage_ = nullptr;
    QFrame *generalFrame_ = nullptr;
    QFrame *eventsFrame_ = nullptr;
    QLineEdit *objectField_ = nullptr;
    QComboBox *markerCombo_ = nullptr;
    QPushButton *setMarkerButton_ = nullptr;
    QToolButton *syncButton_ = nullptr;
    QTreeWidget *attributeList_ = nullptr;
    QTreeWidget *lookupList_ = nullptr;
    QTreeWidget *compareList_ = nullptr;
    QTreeWidget *eventList_ = nullptr;
    QLabel *descriptionLabel_ = nullptr;
    QPlainTextEdit *eventText_ = nullptr;

    QLabel *statusText_ = nullptr;
    QLabel *unreadIndicator_ = nullptr;
    EventLogView *eventLog_ = nullptr;
    QPointer<AboutWindow> about_;
    QPointer<OptionsWindow> options_;
    bool ended_ = false;
    ObjectView *objectView_ = nullptr;
    ObjectStatusCheckFactory statusCheck_;
};

} // namespace orvane
