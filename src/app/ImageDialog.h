#pragma once
// The "Image..." window of the object list: the user's photo (thumbnailPhoto)
// with "Open image..." to choose a new 96 x 96 JPEG of at most 100 KB, "Set
// new image", "Remove image", "Export image" (the stored bytes unchanged) and
// "Close". One such window exists at a time; it does not block the main window.

#include <QByteArray>
#include <QDialog>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace orvane
{

struct AppContext;
struct DecodedJpeg;
struct ObjectEntry;

class ImageDialog : public QDialog
{
    Q_OBJECT
  public:
    /// Builds the window for `entry` (its GUID, cn and sAMAccountName are
    /// kept), showing the empty-photo picture; loadPhoto() fills it.
    ImageDialog(AppContext &ctx, const ObjectEntry &entry, QWidget *parent);

    /// Reads the stored photo: enables "Remove image" and "Export image" when
    /// there is one and shows it when it measures 96 x 96 and decodes
    /// (another size is reported; damaged image data shows no picture).
    void loadPhoto();

  public slots:
    void openImage();
    void setImage();
    void removeImage();
    void exportImage();

  private:
    void showPicture(const DecodedJpeg &picture);
    void showEmptyPicture();

    AppContext &ctx_;
    QString guid_;
    QString cn_;
    QString sAMAccountName_;
    std::optional<QByteArray> chosen_; ///< the checked bytes of the chosen file
    QLabel *preview_;
    QPushButton *setButton_;
    QPushButton *removeButton_;
    QPushButton *exportButton_;
};

/// The "Image..." command: opens the window for the current row of
/// `objectList` (closing one opened earlier) and loads the photo. Returns the
/// window, or nullptr when no row is current.
ImageDialog *openImageDialog(AppContext &ctx, QTreeWidget *objectList, QWidget *parent);

} // namespace orvane
