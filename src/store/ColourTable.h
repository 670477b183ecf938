#pragma once
// The seven marker colours. A colour's color_id is its position; its icon sits
// in the image list right after the program's own icons.

#include <array>

namespace orvane
{

struct MarkerColour {
    const char *name;
    const char *hex;
    int red;
    int green;
    int blue;
    const char *iconFile; ///< resource name of its 16 x 16 swatch
};

inline constexpr int kFirstColourImage = 17;

inline constexpr std::array<MarkerColour, 7> kColourTable = {{
    {"Blue", "0000FF", 0, 0, 255, "swatch-blue.png"},
    {"Lime", "00FF00", 0, 255, 0, "swatch-lime.png"},
    {"Red", "FF0000", 255, 0, 0, "swatch-red.png"},
    {"Yellow", "FFFF00", 255, 255, 0, "swatch-yellow.png"},
    {"Violet", "FF00FF", 255, 0, 255, "swatch-violet.png"},
    {"Gray", "808080", 128, 128, 128, "swatch-gray.png"},
    {"Turquoise", "00FFFF", 0, 255, 255, "swatch-turquoise.png"},
}};

/// Image-list index of the icon of colour `colorId`.
inline constexpr int colourImageIndex(int colorId)
{
    return kFirstColourImage + colorId;
}

} // namespace orvane
