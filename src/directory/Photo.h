#pragma once
// The user photo (thumbnailPhoto, the raw bytes of a JPEG file): reading,
// setting (clear, commit, put the bytes, commit) and removing it, and the
// checks a new photo file must pass (at most 102400 bytes, exactly 96 x 96
// pixels, and image data that libjpeg decodes whole, without a warning).
// The decoded pixels are what a window shows, so a photo that passes the
// checks always has a picture, whatever image plugins the toolkit has.
//
// SetPhoto restores the photo read before the clear when the put or its
// commit fails, and says whether that worked. Messages are titled "Image
// file"; nothing is shown here. Export writes the bytes unchanged.

#include "directory/DirectoryConnection.h"
#include "directory/OperationMessages.h"

#include <QByteArray>
#include <optional>

namespace orvane
{

inline constexpr qint64 kMaxPhotoBytes = 102400;
inline constexpr int kPhotoSide = 96;
inline const QString kImageFileTitle = QStringLiteral("Image file");

/// Width and height of a JPEG from its header; none when `bytes` is no JPEG.
struct JpegSize {
    int width = 0;
    int height = 0;
};
std::optional<JpegSize> jpegSize(const QByteArray &bytes);

/// A JPEG decoded whole: its size and its pixels as rows of RGB bytes
/// (3 x width bytes each, no padding).
struct DecodedJpeg {
    int width = 0;
    int height = 0;
    QByteArray rgb;
};

/// Largest picture decodeJpeg decodes, in pixels (a photo is 96 x 96).
inline constexpr qint64 kMaxDecodedPixels = 4096LL * 4096;

/// Decodes `bytes` whole with libjpeg; none when they are no JPEG, the
/// picture is larger than kMaxDecodedPixels, or the image data is damaged
/// (libjpeg reports an error or a warning such as "Corrupt JPEG data").
std::optional<DecodedJpeg> decodeJpeg(const QByteArray &bytes);

/// The photo of `guid`, or none (no photo, or a failure; an open failure
/// comes with its message in `report`, when given).
std::optional<QByteArray> ReadPhoto(const DirectoryConnection &connection, const QString &guid,
                                    DirectoryReport *report = nullptr);

/// Writes `bytes` as the photo of `guid`. result 1 on success, else 0 with
/// one message.
DirectoryReport SetPhoto(const DirectoryConnection &connection, const QString &guid, const QByteArray &bytes);

/// Removes the photo of `guid`. result 1 on success, else 0 with one message.
DirectoryReport RemovePhoto(const DirectoryConnection &connection, const QString &guid);

/// The checks of "Open image...": a file that passes gives its bytes and its
/// decoded picture; one that does not gives the message to show ("Cannot open
/// selected file." also for a 96 x 96 header over image data that does not
/// decode, the 100 KB text, the dimension text) or, for an empty file, neither.
struct PhotoFileCheck {
    std::optional<QByteArray> bytes;
    std::optional<DecodedJpeg> picture;
    std::optional<OperationMessage> message;
};
PhotoFileCheck checkPhotoFile(const QString &path);

/// Writes `bytes` unchanged to `path`; a message "Cannot create <path> file."
/// titled "Image file export" when it cannot.
std::optional<OperationMessage> exportPhoto(const QString &path, const QByteArray &bytes);

} // namespace orvane
