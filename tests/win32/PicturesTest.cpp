// Decoding the PNG picture strips through WIC, and the image lists and menu bitmaps made from them.
#include <windows.h>

#include <objbase.h>
#include <wincodec.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "win32/Handles.h"
#include "win32/Pictures.h"

namespace nimbrel::win32 {
namespace {

// A PNG of width x height whose pixel (x, y) is BGRA (x, y, 7, alpha), made by WIC's own encoder.
std::vector<std::uint8_t> MakePng(UINT width, UINT height, std::uint8_t alpha = 0x80) {
    std::vector<std::uint8_t> bytes;
    IWICImagingFactory* factory = nullptr;
    IStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory1, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory))) ||
        FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(width, height)))
        return bytes;
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    frame->SetPixelFormat(&format);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (UINT y = 0; y < height; ++y) {
        for (UINT x = 0; x < width; ++x) {
            std::uint8_t* p = &pixels[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 7;
            p[3] = alpha;
        }
    }
    if (SUCCEEDED(frame->WritePixels(height, width * 4, static_cast<UINT>(pixels.size()), pixels.data())) &&
        SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit())) {
        HGLOBAL memory = nullptr;
        ::GetHGlobalFromStream(stream, &memory);
        const auto* data = static_cast<const std::uint8_t*>(::GlobalLock(memory));
        bytes.assign(data, data + ::GlobalSize(memory));
        ::GlobalUnlock(memory);
    }
    frame->Release();
    encoder->Release();
    stream->Release();
    factory->Release();
    return bytes;
}

class PicturesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { ::CoUninitialize(); }
};

TEST_F(PicturesTest, DecodesARowOfSquarePictures) {
    const std::vector<std::uint8_t> png = MakePng(48, 16);
    ASSERT_FALSE(png.empty());
    const auto strip = DecodeStrip(png.data(), png.size());
    ASSERT_TRUE(strip);
    EXPECT_EQ(strip->size, 16);
    EXPECT_EQ(strip->count, 3);
    ASSERT_EQ(strip->pixels.size(), 48u * 16u);
    // Straight BGRA, top row first.
    EXPECT_EQ(strip->pixels[0], 0x80070000u);
    EXPECT_EQ(strip->pixels[15 * 48 + 47], 0x80070F2Fu);
}

TEST_F(PicturesTest, RefusesWhatIsNotAStripOfOurs) {
    const std::vector<std::uint8_t> good = MakePng(32, 16);
    ASSERT_FALSE(good.empty());
    struct Case {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<std::uint8_t> garbage = good;
    garbage[1] = 'X';
    const std::vector<Case> cases = {
        {"no bytes", {}},
        {"not a PNG", garbage},
        {"cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<long>(good.size() / 2))},
        {"width not a whole number of pictures", MakePng(20, 16)},
        {"pictures taller than any we ship", MakePng(300, 300)},
        {"more pictures than any strip holds", MakePng(1025 * 2, 2)},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(DecodeStrip(c.bytes.data(), c.bytes.size())) << c.what;
    EXPECT_FALSE(DecodeStrip(nullptr, 10));
}

TEST_F(PicturesTest, PicksTheLargestSizeNotLargerThanWanted) {
    const int cases[][2] = {{0, 16},  {16, 16}, {19, 16}, {20, 20}, {23, 20}, {24, 24},
                            {31, 24}, {32, 32}, {47, 32}, {48, 48}, {96, 48}};
    for (const auto& [wanted, size] : cases)
        EXPECT_EQ(PictureSizeFor(wanted), size) << wanted;
}

TEST_F(PicturesTest, TheProgramsStripsHoldAllPicturesAtEverySize) {
    Pictures pictures(::GetModuleHandleW(nullptr));
    EXPECT_EQ(pictures.Count(), 38);
    for (int size : kPictureSizes) {
        HIMAGELIST list = pictures.List(size);
        ASSERT_NE(list, nullptr) << size;
        int cx = 0;
        int cy = 0;
        ASSERT_TRUE(::ImageList_GetIconSize(list, &cx, &cy));
        EXPECT_EQ(cx, size);
        EXPECT_EQ(cy, size);
        EXPECT_EQ(::ImageList_GetImageCount(list), 38) << size;
    }
    // Between the sizes the smaller one serves.
    EXPECT_EQ(pictures.ListSize(30), 24);
    EXPECT_EQ(pictures.List(30), pictures.List(24));
}

TEST_F(PicturesTest, MenuBitmapsArePremultiplied) {
    Pictures pictures(::GetModuleHandleW(nullptr));
    HBITMAP bitmap = pictures.MenuBitmap(2, 24);
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(pictures.MenuBitmap(2, 24), bitmap);  // made once
    EXPECT_EQ(pictures.MenuBitmap(38, 24), nullptr);
    EXPECT_EQ(pictures.MenuBitmap(-1, 24), nullptr);
    DIBSECTION section{};
    ASSERT_EQ(::GetObjectW(bitmap, sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBm.bmWidth, 24);
    EXPECT_EQ(section.dsBm.bmHeight, 24);
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    const auto* pixels = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
    int partial = 0;
    for (int i = 0; i < 24 * 24; ++i) {
        const std::uint32_t alpha = pixels[i] >> 24;
        for (int shift : {0, 8, 16})
            ASSERT_LE((pixels[i] >> shift) & 0xFFu, alpha) << "pixel " << i;
        partial += alpha > 0 && alpha < 255;
    }
    EXPECT_GT(partial, 0);  // the picture has soft edges to premultiply
}

TEST_F(PicturesTest, DrawsWithItsAlpha) {
    // Picture 0 drawn on white: where it is (nearly) transparent the white stays, where it is opaque its colour shows.
    Pictures pictures(::GetModuleHandleW(nullptr));
    HRSRC found = ::FindResourceW(nullptr, MAKEINTRESOURCEW(StripResourceId(16)), MAKEINTRESOURCEW(10));
    ASSERT_NE(found, nullptr);
    const auto strip = DecodeStrip(::LockResource(::LoadResource(nullptr, found)), ::SizeofResource(nullptr, found));
    ASSERT_TRUE(strip);
    BITMAPINFO header{};
    header.bmiHeader = {sizeof(BITMAPINFOHEADER), 16, -16, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    UniqueBitmap target(::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(target);
    std::memset(bits, 0xFF, 16 * 16 * 4);
    UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
    {
        SelectGuard select(dc.get(), target.get());
        pictures.Draw(0, 16, dc.get(), 0, 0, false);
        ::GdiFlush();
    }
    const auto* drawn = static_cast<const std::uint32_t*>(bits);
    int transparent = 0;
    int opaque = 0;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t source = strip->pixels[static_cast<std::size_t>(y) * 16 * 38 + x];
            const std::uint32_t result = drawn[y * 16 + x] & 0xFFFFFFu;
            if (source >> 24 <= 4) {
                for (int shift : {0, 8, 16})
                    EXPECT_GE((result >> shift) & 0xFFu, 0xF0u) << x << "," << y;
                ++transparent;
            } else if (source >> 24 == 0xFF) {
                EXPECT_EQ(result, source & 0xFFFFFFu) << x << "," << y;
                ++opaque;
            }
        }
    }
    EXPECT_GT(transparent, 0);
    EXPECT_GT(opaque, 0);
}

}  // namespace
}  // namespace nimbrel::win32
