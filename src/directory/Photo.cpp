#include "directory/Photo.h"

namespace orvane
{

std::optional<JpegSize> jpegSize(const QByteArray &)
{
    return std::nullopt;
}

std::optional<QByteArray> ReadPhoto(const DirectoryConnection &, const QString &, DirectoryReport *)
{
    return std::nullopt;
}

DirectoryReport SetPhoto(const DirectoryConnection &, const QString &, const QByteArray &)
{
    return {};
}

DirectoryReport RemovePhoto(const DirectoryConnection &, const QString &)
{
    return {};
}

PhotoFileCheck checkPhotoFile(const QString &)
{
    return {};
}

std::optional<DirectoryMessage> exportPhoto(const QString &, const QByteArray &)
{
    return std::nullopt;
}

} // namespace orvane
