#pragma once
// The Options window's "Color markers" tab: one named marker per colour.
// Every change is written at once; deleting a marker refreshes the main
// window's marker combo through `markersChanged`.

#include <QWidget>

class QComboBox;
class QLineEdit;
class QTreeWidget;

namespace orvane
{

struct AppContext;

class ColourMarkersTab : public QWidget
{
    Q_OBJECT
  public:
    /// Builds the tab with the seven colours and the stored markers.
    explicit ColourMarkersTab(AppContext &ctx, QWidget *parent = nullptr);

  signals:
    /// A marker was deleted: the main window's marker combo must be refilled.
    void markersChanged();

  public slots:
    /// Creates the chosen colour's marker, or renames it after asking.
    void setMarker();
    /// Shows the current marker's colour and name in the editing controls.
    void editCurrentMarker();
    /// Deletes the current marker, after asking when objects carry it.
    void deleteMarker();

  private:
    AppContext &ctx_;
    QComboBox *colours_;
    QLineEdit *description_;
    QTreeWidget *markers_;
};

} // namespace orvane
