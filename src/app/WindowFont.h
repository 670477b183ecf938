#pragma once
// The program's windows place their controls at fixed pixel positions sized
// for a compact dialog font; this font keeps their texts inside those boxes.

#include <QFont>
#include <QWidget>

namespace orvane
{

/// Gives `window` (and so all its controls) the compact dialog font: 11
/// pixels high, in the family's condensed face where it has one.
inline void applyWindowFont(QWidget *window)
{
    QFont font = window->font();
    font.setPixelSize(11);
    font.setStretch(QFont::SemiCondensed);
    window->setFont(font);
}

} // namespace orvane
