// The bar's pictures: a strip of 16 x 16 pictures in one 32-bit bitmap with straight alpha, held in an image list.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/Platform.h"
#include "win32/Handles.h"

namespace nimbrel::win32 {

inline constexpr int kPictureSize = 16;

// A top-down 32-bit DIB section made from the bytes of a .bmp file (file header, BITMAPINFOHEADER,
// 32 bits per pixel, BI_RGB). Empty when the bytes are not such a file.
struct StripBitmap {
    UniqueBitmap bitmap;
    int width = 0;
    int height = 0;
};
StripBitmap DecodeStrip(const std::uint8_t* data, std::size_t size);

class ImageStrip final : public IImageList {
public:
    // An empty list (no pictures) when the bitmap is empty.
    explicit ImageStrip(const StripBitmap& strip);
    ImageStrip(const ImageStrip&) = delete;
    ImageStrip& operator=(const ImageStrip&) = delete;

    int Count() const override;
    HIMAGELIST Handle() const { return list_.get(); }
    // Draws picture index with its alpha at (x, y).
    void Draw(int index, HDC dc, int x, int y, bool greyed) const;

private:
    UniqueImageList list_;
};

// Loads the strip kept as RCDATA resource id in module; an empty list when the resource is missing.
std::shared_ptr<ImageStrip> LoadImageStrip(HINSTANCE module, int id);

}  // namespace nimbrel::win32
