#pragma once
// The program's pictures, decoded once at start-up from PNG data compiled into
// the program. List views address the 16 x 16 icons by index: 0..16 are the
// program's own, 17..23 the marker colours in colour-table order.

#include <QIcon>
#include <QList>
#include <QPixmap>

namespace orvane
{

/// Indexes of the program's own 16 x 16 icons.
enum ImageIndex {
    ImagePrimaryArrow = 0,
    ImageMagnifier = 1,
    ImageMagnifierArrow = 2,
    ImageDisabled = 3,
    ImageDiffers = 4,
    ImageUpToDate = 5,
    ImageNoMarker = 6,
    ImageReplace = 7,
    ImagePencil = 8,
    ImageInformation = 9,
    ImageWarning = 10,
    ImageUnread = 11,
    ImageRead = 12,
    ImageSmallArrow = 13,
    ImageRedDot = 14,
    ImageGreenDot = 15,
    ImageExportArrow = 16,
};

class ImageList
{
  public:
    /// Decodes every built-in picture; missing resources become empty icons.
    void load();

    /// Returns icon `index`, or an empty icon outside 0..23.
    QIcon icon(int index) const;
    int count() const { return int(icons_.size()); }

    QPixmap syncPicture; ///< 24 x 24, the synchronize button
    QPixmap programIcon; ///< 32 x 32, the About window
    QPixmap silhouette;  ///< 96 x 96, shown for an object without photo

  private:
    QList<QIcon> icons_;
};

} // namespace orvane
