#pragma once
// The Options window's "Object selection" tab: the character lists that feed
// the toolbar's letter combo. Adding and deleting lists and characters is
// written at once; which list is current is saved with the window.

#include <QWidget>

class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace orvane
{

struct AppContext;

class ObjectSelectionTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab and shows the lists with the current one selected and its characters sorted.
    explicit ObjectSelectionTab(AppContext &ctx, QWidget *parent = nullptr);

    /// Returns the id of the selected list, 0 when none is selected.
    long long selectedListId() const;

  signals:
    /// A change that makes "Apply" available.
    void changed();
    /// The list named by `charlist` was deleted and `charlist` now names the
    /// list selected instead (0 when none is left).
    void currentListReplaced();

  public slots:
    void addList();
    void deleteList();
    void chooseList();
    void addCharacter();
    void deleteCharacter();

  private:
    void showCharacters(const QStringList &characters);

    AppContext &ctx_;
    QComboBox *lists_;
    QLineEdit *nameField_;
    QTreeWidget *characters_;
    QLineEdit *characterField_;
};

} // namespace orvane
