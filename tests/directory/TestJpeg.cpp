#include "TestJpeg.h"

#include <QFile>
#include <cstdio>
#include <jpeglib.h>
#include <vector>

namespace orvane::test
{

QByteArray makeJpeg(int width, int height, int size)
{
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char *buffer = nullptr;
    unsigned long length = 0;
    jpeg_mem_dest(&info, &buffer, &length);
    info.image_width = width;
    info.image_height = height;
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(width);
    while (info.next_scanline < info.image_height) {
        for (int x = 0; x < width; ++x)
            row[x] = static_cast<unsigned char>((x * 7 + info.next_scanline * 3) & 0xFF);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    QByteArray jpeg(reinterpret_cast<const char *>(buffer), static_cast<qsizetype>(length));
    free(buffer);
    jpeg_destroy_compress(&info);
    if (size <= 0)
        return jpeg;
    const qsizetype missing = size - jpeg.size();
    if (missing < 4 && missing != 0)
        return QByteArray();
    // Each COM segment is 4 bytes of marker and length plus up to 65533 bytes.
    const qsizetype segments = (missing + 65536) / 65537;
    qsizetype body = missing - 4 * segments;
    QByteArray padding;
    for (qsizetype i = 0; i < segments; ++i) {
        const qsizetype part = std::min<qsizetype>(body, 65533);
        padding += QByteArray("\xFF\xFE", 2) + char((part + 2) >> 8) + char((part + 2) & 0xFF) +
                   QByteArray(part, 'p');
        body -= part;
    }
    return jpeg.left(2) + padding + jpeg.mid(2);
}

QByteArray makeDamagedJpeg(int width, int height)
{
    const QByteArray jpeg = makeJpeg(width, height);
    const qsizetype sos = jpeg.indexOf(QByteArray("\xFF\xDA", 2));
    if (sos < 0)
        return QByteArray();
    const int length = (uchar(jpeg[sos + 2]) << 8) | uchar(jpeg[sos + 3]);
    const qsizetype data = sos + 2 + length;
    const qsizetype kept = (jpeg.size() - 2 - data) / 2;
    return jpeg.left(data + kept) + QByteArray("\xFF\xD9", 2);
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace orvane::test
