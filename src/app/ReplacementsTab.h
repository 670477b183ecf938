#pragma once
// The Options window's "Replacements" tab: the text replacement rules (written
// at once, used by value preparation only after the window is saved), when
// they apply, first-letter upper-casing and the marker of trimmed values.

#include <QString>
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QTreeWidget;

namespace orvane
{

struct AppContext;

/// What the tab holds when the window is saved.
struct ReplacementValues {
    int mode = 0; ///< 1 always, 2 when too long, 0 when neither button is selected
    bool firstUpperCase = false;
    QString trimmedEnd;
};

class ReplacementsTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab from the in-memory settings.
    explicit ReplacementsTab(AppContext &ctx, QWidget *parent = nullptr);

    ReplacementValues values() const;

  signals:
    /// A change that makes "Apply" available.
    void changed();

  public slots:
    /// Adds a rule, or changes the existing rule for the same string after asking.
    void setRule();
    /// Copies the current rule into the editing fields.
    void editCurrentRule();
    /// Deletes the current rule without asking.
    void deleteRule();

  private:
    void modeClicked();

    AppContext &ctx_;
    QLineEdit *string_;
    QLineEdit *replaceWith_;
    QTreeWidget *rules_;
    QRadioButton *always_;
    QRadioButton *whenTooLong_;
    QCheckBox *firstUpper_;
    QLineEdit *trimmedEnd_;
};

} // namespace orvane
