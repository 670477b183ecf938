#include "app/ImageDialog.h"

#include "app/AppContext.h"
#include "app/Dialogs.h"
#include "app/OperationMessageBoxes.h"
#include "app/ListViews.h"
#include "app/Placement.h"
#include "app/WindowFont.h"
#include "directory/Photo.h"
#include "plan/JournaledEdits.h"

#include <QFileInfo>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QTreeWidget>

namespace orvane
{
namespace
{

const QString kJpegFilter = QStringLiteral("JPEG Image (*.jpg *.jpeg)");
const QString kExportTitle = QStringLiteral("Image file export");

QPointer<ImageDialog> &openDialog()
{
    static QPointer<ImageDialog> dialog;
    return dialog;
}

} // namespace

ImageDialog::ImageDialog(AppContext &ctx, const ObjectEntry &entry, QWidget *parent)
    : QDialog(parent), ctx_(ctx), guid_(entry.guid), cn_(entry.cn), sAMAccountName_(entry.sAMAccountName)
{
    setObjectName(QStringLiteral("ImageDialog"));
    setWindowTitle(QStringLiteral("Attribute edit - ") + cn_);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setModal(false);
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(280, 190);
    applyWindowFont(this);

    auto *frame = placeWidget<QFrame>(this, QStringLiteral("ImageFrame"), QRect(3, 0, 270, 185));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    preview_ = placeWidget<QLabel>(this, QStringLiteral("Preview"), QRect(20, 20, 96, 96));
    placeLabel(this, QStringLiteral("96x96 JPEG Image"), QRect(25, 130, 100, 20));

    auto *open = placeButton(this, QStringLiteral("Open image..."), QStringLiteral("OpenImageButton"),
                             QRect(150, 20, 100, 22));
    setButton_ = placeButton(this, QStringLiteral("Set new image"), QStringLiteral("SetImageButton"),
                             QRect(150, 50, 100, 22));
    removeButton_ = placeButton(this, QStringLiteral("Remove image"), QStringLiteral("RemoveImageButton"),
                                QRect(150, 80, 100, 22));
    exportButton_ = placeButton(this, QStringLiteral("Export image"), QStringLiteral("ExportImageButton"),
                                QRect(150, 110, 100, 22));
    auto *close =
        placeButton(this, QStringLiteral("Close"), QStringLiteral("CloseButton"), QRect(150, 150, 100, 22));
    setButton_->setEnabled(false);
    removeButton_->setEnabled(false);
    exportButton_->setEnabled(false);
    showEmptyPicture();

    connect(open, &QPushButton::clicked, this, &ImageDialog::openImage);
    connect(setButton_, &QPushButton::clicked, this, &ImageDialog::setImage);
    connect(removeButton_, &QPushButton::clicked, this, &ImageDialog::removeImage);
    connect(exportButton_, &QPushButton::clicked, this, &ImageDialog::exportImage);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    if (parent)
        move(parent->geometry().center() - rect().center());
}

void ImageDialog::showPicture(const DecodedJpeg &picture)
{
    // Drawn from libjpeg's own decode: no image plugin of the toolkit is needed.
    const QImage image(reinterpret_cast<const uchar *>(picture.rgb.constData()), picture.width, picture.height,
                       picture.width * 3, QImage::Format_RGB888);
    preview_->setPixmap(QPixmap::fromImage(image.copy()));
}

void ImageDialog::showEmptyPicture()
{
    preview_->setPixmap(ctx_.images.silhouette);
}

void ImageDialog::loadPhoto()
{
    DirectoryReport report;
    const std::optional<QByteArray> photo = ReadPhoto(connectionFromSettings(ctx_.settings), guid_, &report);
    showOperationMessages(this, report.messages);
    if (!photo)
        return;
    // Any stored bytes can be removed or exported, even those that show no picture.
    removeButton_->setEnabled(true);
    exportButton_->setEnabled(true);
    const std::optional<JpegSize> size = jpegSize(*photo);
    if (!size)
        return;
    if (size->width == kPhotoSide && size->height == kPhotoSide) {
        // Bytes whose image data does not decode show no picture, and say nothing.
        if (const std::optional<DecodedJpeg> picture = decodeJpeg(*photo))
            showPicture(*picture);
        return;
    }
    dialogs().warn(this, QStringLiteral("Image"),
                   QStringLiteral("The object already has image but its dimension size is different from "
                                  "recomended 96x96 pixels."));
}

void ImageDialog::openImage()
{
    chosen_.reset();
    const QString path = dialogs().openFile(this, QStringLiteral("Open JPEG image"), kJpegFilter);
    if (path.isEmpty())
        return;
    const PhotoFileCheck check = checkPhotoFile(path);
    if (check.message)
        showOperationMessages(this, {*check.message});
    if (!check.bytes)
        return;
    // The bytes that passed the checks are the ones written, whatever happens
    // to the file afterwards.
    chosen_ = check.bytes;
    showPicture(*check.picture);
    setButton_->setEnabled(true);
}

void ImageDialog::setImage()
{
    if (!chosen_) {
        dialogs().warn(this, kImageFileTitle, QStringLiteral("Cannot open image file."));
        return;
    }
    if (!dialogs().ask(this, kImageFileTitle,
                       QStringLiteral("Set new image to ") + cn_ + QStringLiteral(" AD object?")))
        return;
    if (showDirectoryReport(this, JournaledPhotoChange(ctx_.db, ctx_.settings, guid_, cn_, *chosen_)) != 1)
        return;
    dialogs().inform(this, kImageFileTitle, QStringLiteral("The image has been successfully set."));
    setButton_->setEnabled(false);
    removeButton_->setEnabled(true);
    exportButton_->setEnabled(true);
}

void ImageDialog::removeImage()
{
    if (!dialogs().ask(this, kImageFileTitle,
                       QStringLiteral("Remove the image from ") + cn_ + QStringLiteral(" AD object?")))
        return;
    if (showDirectoryReport(this, JournaledPhotoChange(ctx_.db, ctx_.settings, guid_, cn_, QByteArray())) !=
        1)
        return;
    dialogs().inform(this, kImageFileTitle, QStringLiteral("The image has been successfully removed."));
    showEmptyPicture();
    removeButton_->setEnabled(false);
    exportButton_->setEnabled(false);
}

void ImageDialog::exportImage()
{
    DirectoryReport report;
    const std::optional<QByteArray> photo = ReadPhoto(connectionFromSettings(ctx_.settings), guid_, &report);
    showOperationMessages(this, report.messages);
    if (!photo)
        return;
    const QString path = dialogs().saveFile(this, QStringLiteral("Save JPEG image"), kJpegFilter,
                                            sAMAccountName_ + QStringLiteral(".jpg"));
    if (path.isEmpty())
        return;
    const QFileInfo target(path);
    if (target.isDir())
        return;
    if (target.exists() &&
        !dialogs().ask(this, kExportTitle, QStringLiteral("File already exists. Would you like to overwrite it?"),
                       DialogIcon::Warning))
        return;
    if (const std::optional<OperationMessage> failure = exportPhoto(path, *photo)) {
        showOperationMessages(this, {*failure});
        return;
    }
    dialogs().inform(this, QStringLiteral("Export image"),
                     QStringLiteral("Image has been sucessfully saved to file."));
}

ImageDialog *openImageDialog(AppContext &ctx, QTreeWidget *objectList, QWidget *parent)
{
    QTreeWidgetItem *row = currentRow(objectList);
    const long long index = rowData(row);
    if (!row || index < 0 || index >= ctx.objects.size())
        return nullptr;
    if (openDialog())
        openDialog()->close();
    auto *dialog = new ImageDialog(ctx, ctx.objects[int(index)], parent);
    openDialog() = dialog;
    dialog->show();
    dialog->loadPhoto();
    return dialog;
}

} // namespace orvane
