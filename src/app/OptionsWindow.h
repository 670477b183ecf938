#pragma once
// The Options window: five tabs of settings ("Active Directory" also holds
// the change threshold), "OK" and "Apply" to save the fields, "Cancel" to
// drop them. The list editors on the tabs write their
// changes at once; saving writes the fields, refreshes Settings and resets
// the main window. Not modal; the main window owns it.

#include <QDialog>

class QPushButton;
class QTabWidget;

namespace orvane
{

struct AppContext;
class MainWindow;
class ObjectSelectionTab;
class DirectoryTab;
class ExcelFilesTab;
class ColourMarkersTab;
class ReplacementsTab;
class SafetyTab;
struct DirectoryValues;

class OptionsWindow : public QDialog
{
    Q_OBJECT
  public:
    /// Builds the window from the options and Settings as they are now,
    /// centred on `main`, "Apply" disabled.
    OptionsWindow(AppContext &ctx, MainWindow &main);

  public slots:
    /// Writes every field, refreshes Settings and the main window; "Apply"
    /// is disabled afterwards. A password with spaces at either end is refused
    /// before anything is written, and a failed statement is shown; both
    /// return false.
    bool save();
    /// Saves and closes ("OK"); stays open when the save was refused or failed.
    /// "Cancel", Escape and the close box reject: they close without saving the fields.
    void accept() override;

  private:
    void enableApply();
    void saveDirectory(const DirectoryValues &v);
    void saveReplacements();

    AppContext &ctx_;
    MainWindow &main_;
    QTabWidget *tabs_;
    ObjectSelectionTab *objectSelection_;
    DirectoryTab *directory_;
    ExcelFilesTab *excelFiles_;
    ColourMarkersTab *colourMarkers_;
    ReplacementsTab *replacements_;
    SafetyTab *safety_;
    QPushButton *apply_;
};

} // namespace orvane
