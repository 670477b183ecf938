#include "directory/Photo.h"

#include "automation/CommandEngine.h"
#include "directory/CommandTrace.h"
#include "directory/ObjectBinding.h"
#include "directory/VariantArgument.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <jpeglib.h>

namespace orvane
{

namespace
{

const QString kPhoto = QStringLiteral("'thumbnailPhoto'");
const QString kApplyFailed =
    QStringLiteral(" Error occured while trying to apply changes to an image attribute.");

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1);
}

void jpegSilent(j_common_ptr, int) {}

// Counts warnings (level -1: damaged data that libjpeg would paper over) and
// keeps every other message quiet.
void jpegCountWarnings(j_common_ptr info, int level)
{
    if (level < 0)
        ++info->err->num_warnings;
}

// CMYK as Adobe writes it (inverted) to RGB, in place over the first 3/4 of `row`.
void cmykToRgb(unsigned char *row, int width)
{
    for (int x = 0; x < width; ++x) {
        const int c = row[4 * x], m = row[4 * x + 1], y = row[4 * x + 2], k = row[4 * x + 3];
        row[3 * x] = static_cast<unsigned char>(c * k / 255);
        row[3 * x + 1] = static_cast<unsigned char>(m * k / 255);
        row[3 * x + 2] = static_cast<unsigned char>(y * k / 255);
    }
}

OperationMessage photoFailure(const QString &text, const DirectoryFailure &failure)
{
    return failureMessage(kImageFileTitle, codeText(failure.code) + text, failure);
}

OperationMessage notice(const QString &title, const QString &text)
{
    return {title, text, MessageIcon::Warning};
}

// The photo held before a change, so that a failed change can put it back.
QString restorePhoto(AutomationObject *object, const VARIANT *old)
{
    if (!old || !variantToBytes(old))
        return QString();
    HRESULT hr = invokeWithVariant(object, QStringLiteral("Put(") + kPhoto + QStringLiteral(", "), old,
                                   QStringLiteral(")"));
    if (hr == S_OK)
        hr = sendMethod(object, QStringLiteral("SetInfo"));
    if (hr == S_OK)
        return QStringLiteral("The previous image has been written back.");
    const DirectoryFailure failure = captureFailure();
    return QStringLiteral("The previous image could not be written back (") + codeText(failure.code) +
           QLatin1Char(' ') + failure.reason() + QStringLiteral("); the object has no image now.");
}

// Binds `guid` for a photo change; an open failure becomes the change's message.
bool bindForChange(const DirectoryConnection &connection, const QString &guid, BoundObject *bound,
                   DirectoryReport *report)
{
    const BindResult bind = BindObject(connection, guid, bound, &report->failure);
    if (bind == BindResult::OpenFailed)
        report->messages.append(photoFailure(kApplyFailed, report->failure));
    if (bind != BindResult::Bound)
        return false;
    report->failure = {};
    return true;
}

// Clear and commit; false with the message when either fails.
bool clearPhoto(AutomationObject *object, DirectoryReport *report)
{
    const QString clear = QStringLiteral("PutEx(1, ") + kPhoto + QStringLiteral(", '0')");
    for (const QString &command : {clear, QStringLiteral("SetInfo")}) {
        if (sendMethod(object, command) != S_OK) {
            report->failure = captureFailure(command);
            report->messages.append(photoFailure(kApplyFailed, report->failure));
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<JpegSize> jpegSize(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.emit_message = jpegSilent;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const JpegSize size{static_cast<int>(info.image_width), static_cast<int>(info.image_height)};
    jpeg_destroy_decompress(&info);
    return size;
}

std::optional<DecodedJpeg> decodeJpeg(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return std::nullopt;
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegFail;
    error.manager.emit_message = jpegCountWarnings;
    DecodedJpeg picture;
    QByteArray row;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    if (qint64(info.image_width) * info.image_height > kMaxDecodedPixels) {
        jpeg_destroy_decompress(&info);
        return std::nullopt;
    }
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.rgb.resize(qsizetype(picture.width) * picture.height * 3);
    row.resize(qsizetype(picture.width) * info.output_components);
    while (info.output_scanline < info.output_height) {
        auto *line = reinterpret_cast<unsigned char *>(row.data());
        const JDIMENSION y = info.output_scanline;
        jpeg_read_scanlines(&info, &line, 1);
        if (cmyk)
            cmykToRgb(line, picture.width);
        std::memcpy(picture.rgb.data() + qsizetype(y) * picture.width * 3, line, size_t(picture.width) * 3);
    }
    jpeg_finish_decompress(&info);
    const bool damaged = error.manager.num_warnings > 0;
    jpeg_destroy_decompress(&info);
    if (damaged)
        return std::nullopt;
    return picture;
}

std::optional<QByteArray> ReadPhoto(const DirectoryConnection &connection, const QString &guid,
                                    DirectoryReport *report)
{
    DirectoryReport own;
    DirectoryReport &r = report ? *report : own;
    BoundObject bound;
    const BindResult bind = BindObject(connection, guid, &bound, &r.failure);
    if (bind == BindResult::OpenFailed)
        r.messages.append(photoFailure(QStringLiteral(" Cannot open Active Directory object."), r.failure));
    if (bind != BindResult::Bound)
        return std::nullopt;
    VARIANT *value = getVariantProperty(bound.object(), QStringLiteral("thumbnailPhoto"));
    std::optional<QByteArray> bytes = variantToBytes(value);
    freeVariant(value);
    r.result = bytes ? 1 : 0;
    return bytes;
}

DirectoryReport SetPhoto(const DirectoryConnection &connection, const QString &guid, const QByteArray &bytes)
{
    DirectoryReport report;
    BoundObject bound;
    if (!bindForChange(connection, guid, &bound, &report))
        return report;
    VARIANT photo;
    VariantInit(&photo);
    if (!bytesToVariant(&photo, bytes)) {
        report.failure = {E_INVALIDARG, QStringLiteral("The image has no bytes."), QString(), QString()};
        report.messages.append(photoFailure(kApplyFailed, report.failure));
        return report;
    }
    VARIANT *old = getVariantProperty(bound.object(), QStringLiteral("thumbnailPhoto"));
    if (const HRESULT read = lastErrorCode(); FAILED(read) && read != hresult(0x8000500D)) {
        // The image held now could not be read: clearing it would risk losing it.
        report.failure = captureFailure(QStringLiteral("thumbnailPhoto"));
        report.messages.append(photoFailure(kApplyFailed, report.failure));
        freeVariant(old);
        VariantClear(&photo);
        return report;
    }
    if (clearPhoto(bound.object(), &report)) {
        const QString put = QStringLiteral("Put(") + kPhoto + QStringLiteral(", <bytes> as variant)");
        HRESULT hr = invokeWithVariant(bound.object(), QStringLiteral("Put(") + kPhoto + QStringLiteral(", "),
                                       &photo, QStringLiteral(")"));
        const QString failed = hr != S_OK ? put : QStringLiteral("SetInfo");
        if (hr == S_OK)
            hr = sendMethod(bound.object(), QStringLiteral("SetInfo"));
        if (hr == S_OK) {
            report.result = 1;
        } else {
            report.failure = captureFailure(failed);
            OperationMessage message = photoFailure(kApplyFailed, report.failure);
            const QString restored = restorePhoto(bound.object(), old);
            if (!restored.isEmpty())
                message.text += QStringLiteral("\n\n") + restored;
            report.messages.append(message);
        }
    }
    freeVariant(old);
    VariantClear(&photo);
    return report;
}

DirectoryReport RemovePhoto(const DirectoryConnection &connection, const QString &guid)
{
    DirectoryReport report;
    BoundObject bound;
    if (bindForChange(connection, guid, &bound, &report) && clearPhoto(bound.object(), &report))
        report.result = 1;
    return report;
}

PhotoFileCheck checkPhotoFile(const QString &path)
{
    PhotoFileCheck check;
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        check.message = notice(kImageFileTitle, QStringLiteral("Cannot open selected file."));
        return check;
    }
    if (info.size() > kMaxPhotoBytes) {
        check.message =
            notice(kImageFileTitle, QStringLiteral("The image size must be less or equal to 100 KB."));
        return check;
    }
    if (info.size() == 0)
        return check;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        check.message = notice(kImageFileTitle, QStringLiteral("Cannot open selected file."));
        return check;
    }
    QByteArray bytes = file.read(kMaxPhotoBytes + 1);
    const JpegSize size = jpegSize(bytes).value_or(JpegSize{});
    if (size.width != kPhotoSide || size.height != kPhotoSide) {
        check.message =
            notice(kImageFileTitle, QStringLiteral("The image dimension size must be 96x96 pixels. The "
                                                   "image you have loaded has %1x%2 pixels.")
                                        .arg(size.width)
                                        .arg(size.height));
        return check;
    }
    // The header alone says nothing of the image data behind it.
    check.picture = decodeJpeg(bytes);
    if (!check.picture) {
        check.message = notice(kImageFileTitle, QStringLiteral("Cannot open selected file."));
        return check;
    }
    check.bytes = std::move(bytes);
    return check;
}

std::optional<OperationMessage> exportPhoto(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return std::nullopt;
    return notice(QStringLiteral("Image file export"),
                  QStringLiteral("Cannot create ") + path + QStringLiteral(" file."));
}

} // namespace orvane
