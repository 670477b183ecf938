#pragma once
// The Options window's "Excel files" tab: registered workbooks with their
// description and primary/export tags, and the column bindings of the
// selected workbook with their key, lookup and show tags. Every change but
// the show tags is written at once; the show tags are stored when the window
// is saved.

#include <QWidget>

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPoint;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace orvane
{

struct AppContext;
enum class WorkbookTag;
enum class BindingTag;

class ExcelFilesTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab with every registered workbook and no workbook selected.
    explicit ExcelFilesTab(AppContext &ctx, QWidget *parent = nullptr);

    /// Stores the show tag of every listed binding of the selected workbook.
    void storeShowTags();

    QMenu *fileMenu() const { return fileMenu_; }
    QMenu *bindingMenu() const { return bindingMenu_; }

  public slots:
    void registerWorkbook();
    void workbookSelectionChanged();
    void setDescription();
    void deleteWorkbook();
    void tagAsPrimary();
    void tagAsExport();
    void clearWorkbookTag();
    void pickBinding();
    void addBinding();
    void deleteBinding();
    void tagAsKeyPair();
    void tagAsLookupPair();
    void clearBindingTag();
    /// Right clicks: enable the popup's items and show it at `globalPos`.
    void showFileMenu(const QPoint &globalPos);
    void showBindingMenu(const QPoint &globalPos);

  private:
    void buildMenus();
    void showNoWorkbook();
    void fillBindings(long long fileId);
    void setRowImage(QTreeWidgetItem *row, int image);
    long long selectedWorkbook() const;
    void tagWorkbook(WorkbookTag tag);
    void tagBinding(BindingTag tag);

    AppContext &ctx_;
    QTreeWidget *workbooks_;
    QLineEdit *description_;
    QPushButton *setDescription_;
    QLineEdit *file_;
    QSpinBox *column_;
    QComboBox *attributes_;
    QPushButton *addBinding_;
    QTreeWidget *bindings_;

    QMenu *fileMenu_ = nullptr;
    QAction *fileClearTag_ = nullptr;
    QAction *fileDelete_ = nullptr;
    QAction *filePrimary_ = nullptr;
    QAction *fileExport_ = nullptr;
    QMenu *bindingMenu_ = nullptr;
    QAction *bindingClearTag_ = nullptr;
    QAction *bindingDelete_ = nullptr;
    QAction *bindingKey_ = nullptr;
    QAction *bindingLookup_ = nullptr;
};

} // namespace orvane
