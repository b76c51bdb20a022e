// The program's 38 pictures. The resources hold them as PNG strips at several sizes; a strip is decoded
// through WIC the first time its size is needed, and cut into an image list for the toolbar and into
// bitmaps for menu items.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "platform/Platform.h"
#include "win32/Handles.h"

namespace nimbrel::win32 {

// The picture sizes in the resources: 100, 125, 150, 200 and 300 % of 16 pixels.
inline constexpr std::array<int, 5> kPictureSizes = {16, 20, 24, 32, 48};

// The size to draw when size pixels are wanted: the largest there is that is not larger, at least the smallest.
int PictureSizeFor(int wanted);

// The resource id of the strip of pictures of that size.
constexpr int StripResourceId(int size) {
    return 100 + size;
}

// Square pictures side by side, as tall as the image: 32-bit BGRA with straight alpha, rows top-down.
struct DecodedStrip {
    int size = 0;
    int count = 0;
    std::vector<std::uint32_t> pixels;
};

// Decodes PNG bytes. Nothing when they are not a PNG, or not a row of square pictures of a sane size.
// WIC needs COM on the calling thread.
std::optional<DecodedStrip> DecodeStrip(const void* data, std::size_t size);

// A 32-bit DIB section of width x height whose rows run top-down; bits receives its pixels. Empty on failure.
UniqueBitmap TopDownDib(int width, int height, void*& bits);

class Pictures final : public IImageList {
public:
    // Strips come from module's resources; a missing or broken one leaves that size empty.
    explicit Pictures(HINSTANCE module) : module_(module) {}
    Pictures(const Pictures&) = delete;
    Pictures& operator=(const Pictures&) = delete;

    int Count() const override;

    // The image list of the strip for size (see PictureSizeFor); null when that strip is unusable.
    HIMAGELIST List(int size);
    // The size List(size) actually holds, or 0.
    int ListSize(int size);
    // One picture as a 32-bit top-down DIB section with premultiplied alpha, the form menu items take.
    // Owned here; null for an index that has no picture.
    HBITMAP MenuBitmap(int index, int size);
    // Draws one picture with its alpha; greyed draws it without colour.
    void Draw(int index, int size, HDC dc, int x, int y, bool greyed);

private:
    struct Strip {
        std::optional<DecodedStrip> decoded;
        UniqueImageList list;
        std::map<int, UniqueBitmap> menuBitmaps;
    };
    Strip* StripFor(int size) const;

    HINSTANCE module_;
    mutable std::map<int, Strip> strips_;
};

}  // namespace nimbrel::win32
