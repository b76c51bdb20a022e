#include "win32/Pictures.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "win32/Com.h"

namespace nimbrel::win32 {
namespace {

// Anything beyond these is not one of ours: refuse it before it can overflow a size computation.
constexpr UINT kMaxPictureSize = 256;
constexpr UINT kMaxPictureCount = 1024;

// Straight alpha to premultiplied, one BGRA pixel.
std::uint32_t Premultiplied(std::uint32_t pixel) {
    const std::uint32_t alpha = pixel >> 24;
    auto channel = [&](int shift) { return ((((pixel >> shift) & 0xFFu) * alpha + 127u) / 255u) << shift; };
    return (alpha << 24) | channel(16) | channel(8) | channel(0);
}

}  // namespace

UniqueBitmap TopDownDib(int width, int height, void*& bits) {
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    header.bmiHeader.biWidth = width;
    header.bmiHeader.biHeight = -height;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (bits == nullptr)
        bitmap.reset();
    return bitmap;
}

int PictureSizeFor(int wanted) {
    int chosen = kPictureSizes.front();
    for (int size : kPictureSizes) {
        if (size <= wanted)
            chosen = size;
    }
    return chosen;
}

std::optional<DecodedStrip> DecodeStrip(const void* data, std::size_t size) {
    if (data == nullptr || size == 0 || size > UINT_MAX)
        return std::nullopt;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  factory.put_void())))
        return std::nullopt;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.put())))
        return std::nullopt;
    // WIC only reads the buffer, which stays ours.
    if (FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(data)), static_cast<DWORD>(size))))
        return std::nullopt;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.put())))
        return std::nullopt;
    GUID container{};
    if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatPng)
        return std::nullopt;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, frame.put())))
        return std::nullopt;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || height == 0 || height > kMaxPictureSize || width == 0 ||
        width % height != 0 || width / height > kMaxPictureCount)
        return std::nullopt;

    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.put())))
        return std::nullopt;
    if (FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return std::nullopt;
    DecodedStrip strip;
    strip.size = static_cast<int>(height);
    strip.count = static_cast<int>(width / height);
    strip.pixels.resize(static_cast<std::size_t>(width) * height);
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, reinterpret_cast<BYTE*>(strip.pixels.data()))))
        return std::nullopt;
    return strip;
}

Pictures::Strip* Pictures::StripFor(int size) const {
    const int chosen = PictureSizeFor(size);
    auto [it, added] = strips_.try_emplace(chosen);
    Strip& strip = it->second;
    if (!added)
        return strip.decoded ? &strip : nullptr;
    if (HRSRC found = ::FindResourceW(module_, MAKEINTRESOURCEW(StripResourceId(chosen)), MAKEINTRESOURCEW(10))) {
        HGLOBAL loaded = ::LoadResource(module_, found);
        const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
        strip.decoded = DecodeStrip(data, ::SizeofResource(module_, found));
    }
    if (strip.decoded && strip.decoded->size != chosen)
        strip.decoded.reset();
    return strip.decoded ? &strip : nullptr;
}

int Pictures::Count() const {
    const Strip* strip = StripFor(kPictureSizes.front());
    return strip != nullptr ? strip->decoded->count : 0;
}

HIMAGELIST Pictures::List(int size) {
    Strip* strip = StripFor(size);
    if (strip == nullptr)
        return nullptr;
    if (!strip->list) {
        const DecodedStrip& decoded = *strip->decoded;
        void* bits = nullptr;
        UniqueBitmap bitmap = TopDownDib(decoded.size * decoded.count, decoded.size, bits);
        UniqueImageList list(::ImageList_Create(decoded.size, decoded.size, ILC_COLOR32, decoded.count, 4));
        if (!bitmap || !list)
            return nullptr;
        // The image list takes straight alpha and blends it itself.
        std::memcpy(bits, decoded.pixels.data(), decoded.pixels.size() * sizeof(std::uint32_t));
        ::GdiFlush();
        if (::ImageList_Add(list.get(), bitmap.get(), nullptr) < 0)
            return nullptr;
        strip->list = std::move(list);
    }
    return strip->list.get();
}

int Pictures::ListSize(int size) {
    return List(size) != nullptr ? PictureSizeFor(size) : 0;
}

HBITMAP Pictures::MenuBitmap(int index, int size) {
    Strip* strip = StripFor(size);
    if (strip == nullptr || index < 0 || index >= strip->decoded->count)
        return nullptr;
    UniqueBitmap& cached = strip->menuBitmaps[index];
    if (!cached) {
        const DecodedStrip& decoded = *strip->decoded;
        void* bits = nullptr;
        UniqueBitmap bitmap = TopDownDib(decoded.size, decoded.size, bits);
        if (!bitmap)
            return nullptr;
        auto* target = static_cast<std::uint32_t*>(bits);
        const std::size_t rowPixels = static_cast<std::size_t>(decoded.size) * decoded.count;
        for (int y = 0; y < decoded.size; ++y) {
            const std::uint32_t* row =
                decoded.pixels.data() + rowPixels * y + static_cast<std::size_t>(index) * decoded.size;
            std::transform(row, row + decoded.size, target + static_cast<std::size_t>(y) * decoded.size, Premultiplied);
        }
        ::GdiFlush();
        cached = std::move(bitmap);
    }
    return cached.get();
}

void Pictures::Draw(int index, int size, HDC dc, int x, int y, bool greyed) {
    HIMAGELIST list = List(size);
    if (list == nullptr || index < 0 || index >= ::ImageList_GetImageCount(list))
        return;
    IMAGELISTDRAWPARAMS params{};
    params.cbSize = sizeof(params);
    params.himl = list;
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

}  // namespace nimbrel::win32
