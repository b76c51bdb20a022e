#include "win32/ImageStrip.h"

#include <cstring>

namespace nimbrel::win32 {

StripBitmap DecodeStrip(const std::uint8_t* data, std::size_t size) {
    StripBitmap strip;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    if (data == nullptr || size < sizeof(file) + sizeof(info))
        return strip;
    std::memcpy(&file, data, sizeof(file));
    std::memcpy(&info, data + sizeof(file), sizeof(info));
    if (file.bfType != 0x4D42 || info.biSize < sizeof(info) || info.biBitCount != 32 || info.biCompression != BI_RGB ||
        info.biWidth <= 0 || info.biHeight == 0 || info.biPlanes != 1)
        return strip;
    const int width = info.biWidth;
    const int height = info.biHeight > 0 ? info.biHeight : -info.biHeight;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const std::size_t pixelBytes = rowBytes * static_cast<std::size_t>(height);
    if (file.bfOffBits < sizeof(file) + info.biSize || file.bfOffBits > size || size - file.bfOffBits < pixelBytes)
        return strip;

    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;  // top-down, so row 0 is the picture's top
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || bits == nullptr)
        return strip;
    const std::uint8_t* source = data + file.bfOffBits;
    auto* target = static_cast<std::uint8_t*>(bits);
    for (int row = 0; row < height; ++row) {
        // A positive height in the file means the rows are stored bottom-up.
        const int sourceRow = info.biHeight > 0 ? height - 1 - row : row;
        std::memcpy(target + rowBytes * static_cast<std::size_t>(row),
                    source + rowBytes * static_cast<std::size_t>(sourceRow), rowBytes);
    }
    ::GdiFlush();
    strip.bitmap = std::move(bitmap);
    strip.width = width;
    strip.height = height;
    return strip;
}

ImageStrip::ImageStrip(const StripBitmap& strip) {
    const int count = strip.bitmap ? strip.width / kPictureSize : 0;
    list_.reset(::ImageList_Create(kPictureSize, kPictureSize, ILC_COLOR32, count > 0 ? count : 1, 4));
    if (list_ && count > 0 && strip.height >= kPictureSize)
        ::ImageList_Add(list_.get(), strip.bitmap.get(), nullptr);
}

int ImageStrip::Count() const {
    return list_ ? ::ImageList_GetImageCount(list_.get()) : 0;
}

void ImageStrip::Draw(int index, HDC dc, int x, int y, bool greyed) const {
    if (!list_ || index < 0 || index >= Count())
        return;
    IMAGELISTDRAWPARAMS params{};
    params.cbSize = sizeof(params);
    params.himl = list_.get();
    params.i = index;
    params.hdcDst = dc;
    params.x = x;
    params.y = y;
    params.rgbBk = CLR_NONE;
    params.rgbFg = CLR_DEFAULT;
    params.fStyle = ILD_TRANSPARENT;
    params.fState = greyed ? ILS_SATURATE : ILS_NORMAL;
    ::ImageList_DrawIndirect(&params);
}

std::shared_ptr<ImageStrip> LoadImageStrip(HINSTANCE module, int id) {
    StripBitmap strip;
    if (HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10))) {  // RT_RCDATA
        HGLOBAL loaded = ::LoadResource(module, found);
        const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
        if (data != nullptr)
            strip = DecodeStrip(static_cast<const std::uint8_t*>(data), ::SizeofResource(module, found));
    }
    return std::make_shared<ImageStrip>(strip);
}

}  // namespace nimbrel::win32
