// Twips and pixels. A twip is 1/1440 inch; the display's dots per inch give the twips per pixel
// (15 at 96 DPI, 10 at 144 DPI).
#pragma once

#include <cmath>

namespace nimbrel::win32 {

inline constexpr int kTwipsPerInch = 1440;

inline float TwipsPerPixel(int dpi) {
    return static_cast<float>(kTwipsPerInch) / static_cast<float>(dpi > 0 ? dpi : 96);
}

// Rounds to the nearest whole pixel.
inline int TwipsToPixels(float twips, int dpi) {
    return static_cast<int>(std::lround(static_cast<double>(twips) / static_cast<double>(TwipsPerPixel(dpi))));
}

inline float PixelsToTwips(int pixels, int dpi) {
    return static_cast<float>(pixels) * TwipsPerPixel(dpi);
}

}  // namespace nimbrel::win32
