// Decoding the picture strip and filling the image list.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "win32/ImageStrip.h"

namespace nimbrel::win32 {
namespace {

// A .bmp file of width x 16 pixels, 32 bits, bottom-up; pixel (x, y) from the top is BGRA = (x, y, 7, alpha).
std::vector<std::uint8_t> MakeStripFile(int width, std::uint16_t bits = 32, std::uint8_t alpha = 0x80) {
    const int height = 16;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    info.biSize = sizeof(info);
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = bits;
    info.biCompression = BI_RGB;
    const std::size_t pixels = static_cast<std::size_t>(width) * height * 4;
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(info);
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels);
    std::vector<std::uint8_t> bytes(file.bfSize);
    std::memcpy(bytes.data(), &file, sizeof(file));
    std::memcpy(bytes.data() + sizeof(file), &info, sizeof(info));
    std::uint8_t* out = bytes.data() + file.bfOffBits;
    for (int row = 0; row < height; ++row) {
        const int y = height - 1 - row;  // stored bottom-up
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = out + (static_cast<std::size_t>(row) * width + x) * 4;
            p[0] = static_cast<std::uint8_t>(x);
            p[1] = static_cast<std::uint8_t>(y);
            p[2] = 7;
            p[3] = alpha;
        }
    }
    return bytes;
}

TEST(StripDecoding, MakesATopDownBitmapOfTheSameSize) {
    const std::vector<std::uint8_t> file = MakeStripFile(48);
    const StripBitmap strip = DecodeStrip(file.data(), file.size());
    ASSERT_TRUE(strip.bitmap);
    EXPECT_EQ(strip.width, 48);
    EXPECT_EQ(strip.height, 16);

    DIBSECTION section{};
    ASSERT_EQ(::GetObjectW(strip.bitmap.get(), sizeof(section), &section), static_cast<int>(sizeof(section)));
    EXPECT_EQ(section.dsBmih.biBitCount, 32);
    ASSERT_NE(section.dsBm.bmBits, nullptr);
    const auto* bits = static_cast<const std::uint8_t*>(section.dsBm.bmBits);
    // Row 0 of the section is the picture's top row (y = 0), whatever the file's order.
    EXPECT_EQ(bits[0], 0);
    EXPECT_EQ(bits[1], 0);
    EXPECT_EQ(bits[3], 0x80);
    const std::size_t lastRow = static_cast<std::size_t>(15) * 48 * 4;
    EXPECT_EQ(bits[lastRow + 1], 15);
    EXPECT_EQ(bits[lastRow + 4 * 47], 47);
}

TEST(StripDecoding, RefusesWhatIsNotA32BitStrip) {
    std::vector<std::uint8_t> file = MakeStripFile(32, 24);
    EXPECT_FALSE(DecodeStrip(file.data(), file.size()).bitmap);

    file = MakeStripFile(32);
    file[0] = 'X';
    EXPECT_FALSE(DecodeStrip(file.data(), file.size()).bitmap);

    file = MakeStripFile(32);
    EXPECT_FALSE(DecodeStrip(file.data(), file.size() - 1).bitmap);  // one byte of pixels short
    EXPECT_FALSE(DecodeStrip(file.data(), 20).bitmap);
    EXPECT_FALSE(DecodeStrip(nullptr, 0).bitmap);
}

TEST(ImageList, HoldsOnePicturePerSixteenPixels) {
    const std::vector<std::uint8_t> file = MakeStripFile(16 * 38);
    const ImageStrip images(DecodeStrip(file.data(), file.size()));
    EXPECT_EQ(images.Count(), 38);
    ASSERT_NE(images.Handle(), nullptr);
    int cx = 0;
    int cy = 0;
    ASSERT_TRUE(::ImageList_GetIconSize(images.Handle(), &cx, &cy));
    EXPECT_EQ(cx, 16);
    EXPECT_EQ(cy, 16);
}

TEST(ImageList, EmptyWhenTheStripIsMissing) {
    const ImageStrip images{StripBitmap{}};
    EXPECT_EQ(images.Count(), 0);
}

TEST(ImageList, DrawsWithItsAlpha) {
    // A nearly transparent strip leaves the target almost as it was; an opaque one paints over it. (A strip whose
    // alpha is zero everywhere counts as having no alpha at all, so 1 stands for transparent.)
    for (const std::uint8_t alpha : {std::uint8_t{1}, std::uint8_t{0xFF}}) {
        const std::vector<std::uint8_t> file = MakeStripFile(16, 32, alpha);
        const ImageStrip images(DecodeStrip(file.data(), file.size()));
        ASSERT_EQ(images.Count(), 1);

        BITMAPINFO header{};
        header.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        header.bmiHeader.biWidth = 16;
        header.bmiHeader.biHeight = -16;
        header.bmiHeader.biPlanes = 1;
        header.bmiHeader.biBitCount = 32;
        header.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        UniqueBitmap target(::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(target);
        std::memset(bits, 0xFF, 16 * 16 * 4);  // white
        UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
        {
            SelectGuard select(dc.get(), target.get());
            images.Draw(0, dc.get(), 0, 0, false);
            ::GdiFlush();
        }
        const auto* pixel = static_cast<const std::uint8_t*>(bits) + (5 * 16 + 9) * 4;  // x 9, y 5
        if (alpha == 1) {
            EXPECT_GE(pixel[0], 0xF0);
            EXPECT_GE(pixel[2], 0xF0);
        } else {
            EXPECT_EQ(pixel[0], 9);
            EXPECT_EQ(pixel[1], 5);
            EXPECT_EQ(pixel[2], 7);
        }
    }
}

}  // namespace
}  // namespace nimbrel::win32
