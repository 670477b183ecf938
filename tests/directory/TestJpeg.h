#pragma once
// JPEG files made at test time with libjpeg: a grey picture of any size,
// padded with comment segments to an exact byte count when asked.

#include <QByteArray>
#include <QString>

namespace orvane::test
{

/// A baseline JPEG of `width` x `height` pixels; with `size` > 0, padded with
/// COM segments after SOI to exactly `size` bytes (empty when it is already larger).
QByteArray makeJpeg(int width, int height, int size = 0);

/// A JPEG whose header says `width` x `height` but whose image data ends
/// halfway (cut short before the end-of-image marker), as a damaged file does.
QByteArray makeDamagedJpeg(int width, int height);

/// Writes `bytes` to `path`; false when it cannot.
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace orvane::test
