// The Links entries' pictures through the real shell: each kind of entry gives a picture of the asked size, the fitting
// keeps coverage and colour, and the pictures arrive on the message loop's thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "LinkSupport.h"
#include "TestSupport.h"
#include "win32/Com.h"
#include "win32/LinkIcons.h"
#include "win32/Strings.h"
#include "win32/UiThreadQueue.h"
#include "win32/resource.h"

namespace nimbrel::win32 {
namespace {

using test::MakeShortcut;
using test::PumpUntil;
using test::ScratchFolder;
using test::TestProgramFolder;
using test::WriteRawFile;

const char* SourceName(PictureSource source) {
    switch (source) {
        case PictureSource::ImageFactory:
            return "image factory";
        case PictureSource::LargestImage:
            return "largest image";
        case PictureSource::ExtractedIcon:
            return "extracted at size";
        case PictureSource::GenericIcon:
            return "generic";
        case PictureSource::Blank:
            return "blank";
    }
    return "?";
}

// The bitmap's pixels when it is a size x size 32-bit DIB section; empty otherwise.
std::vector<std::uint32_t> PixelsOf(HBITMAP bitmap, int size) {
    DIBSECTION dib{};
    if (bitmap == nullptr || ::GetObjectW(bitmap, sizeof(dib), &dib) != sizeof(dib))
        return {};
    // dsBmih.biHeight tells nothing of the rows' order: GetObject gives it positive for a top-down section too.
    if (dib.dsBm.bmWidth != size || dib.dsBm.bmHeight != size || dib.dsBm.bmBitsPixel != 32 ||
        dib.dsBm.bmBits == nullptr)
        return {};
    const auto* bits = static_cast<const std::uint32_t*>(dib.dsBm.bmBits);
    return {bits, bits + static_cast<std::size_t>(size) * size};
}

// Every channel within its alpha, and something to see.
::testing::AssertionResult IsVisiblePremultiplied(const std::vector<std::uint32_t>& pixels) {
    if (pixels.empty())
        return ::testing::AssertionFailure() << "not a top-down 32-bit picture of the asked size";
    int covered = 0;
    for (const std::uint32_t p : pixels) {
        const std::uint32_t alpha = p >> 24;
        if ((p & 0xFF) > alpha || ((p >> 8) & 0xFF) > alpha || ((p >> 16) & 0xFF) > alpha)
            return ::testing::AssertionFailure() << "a colour above its alpha: " << std::hex << p;
        covered += alpha > 0 ? 1 : 0;
    }
    if (covered * 10 < static_cast<int>(pixels.size()))
        return ::testing::AssertionFailure() << "almost nothing to see: " << covered << " pixels";
    return ::testing::AssertionSuccess();
}

class LinkIconsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(MakeShortcut(entry(L"Program.lnk"), {program, L"--x", {}, SW_SHOWNORMAL}));
        ASSERT_TRUE(MakeShortcut(entry(L"\u65E5\u672C \u0416.lnk"), {program, {}, {}, SW_SHOWNORMAL}));
        const std::wstring gone = scratch.Join(L"gone.exe");
        ASSERT_TRUE(test::PlaceRecorder(gone));
        ASSERT_TRUE(MakeShortcut(entry(L"Broken.lnk"), {gone, {}, {}, SW_SHOWNORMAL}));
        ASSERT_TRUE(::DeleteFileW(gone.c_str()));
        ASSERT_TRUE(WriteRawFile(entry(L"Site.url"), "[InternetShortcut]\r\nURL=http://www.example.com/\r\n"));
        ASSERT_TRUE(WriteRawFile(entry(L"Notes.txt"), "notes"));
        ASSERT_TRUE(WriteRawFile(entry(L"Unknown.nimbrelnothing"), "?"));
        ASSERT_TRUE(::CreateDirectoryW(entry(L"Folder").c_str(), nullptr));
    }

    std::wstring entry(const std::wstring& name) const { return scratch.Join(name); }

    ComApartment apartment;
    ScratchFolder scratch;
    // An executable with pictures of its own: the test program carries the bar's icon.
    std::wstring program = TestProgramFolder() + L"\\nimbrel_win32_tests.exe";
};

TEST_F(LinkIconsTest, EveryKindOfEntryGivesAPictureOfTheAskedSize) {
    const std::wstring names[] = {L"Program.lnk", L"\u65E5\u672C \u0416.lnk", L"Broken.lnk", L"Site.url",
                                  L"Notes.txt",   L"Unknown.nimbrelnothing",  L"Folder",     L"Absent.lnk"};
    for (const std::wstring& name : names) {
        for (const int size : {16, 20, 24, 32, 48}) {
            const LinkPicture picture = MakeLinkPicture(entry(name), size);
            EXPECT_TRUE(IsVisiblePremultiplied(PixelsOf(picture.bitmap.get(), size)))
                << WideToUtf8(name) << " at " << size << " from " << SourceName(picture.source);
            EXPECT_NE(picture.source, PictureSource::Blank) << WideToUtf8(name);
            if (name == L"Absent.lnk") {
                EXPECT_EQ(picture.source, PictureSource::GenericIcon);
            }
            if (size == 24)
                RecordProperty(WideToUtf8(name), SourceName(picture.source));
        }
    }
}

TEST_F(LinkIconsTest, SmallIconsGivesOnePictureAPathInOrder) {
    const std::vector<std::string> paths = {WideToUtf8(entry(L"Program.lnk")), WideToUtf8(entry(L"Absent.lnk")),
                                            WideToUtf8(entry(L"Notes.txt"))};
    const std::vector<UniqueBitmap> icons = SmallIcons(paths, 16);
    ASSERT_EQ(icons.size(), paths.size());
    for (const UniqueBitmap& icon : icons)
        EXPECT_TRUE(IsVisiblePremultiplied(PixelsOf(icon.get(), 16)));
}

PremultipliedImage Filled(int width, int height, std::uint32_t pixel) {
    return {width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, pixel)};
}

TEST(FitImage, ShrinksByAreaGrowsSmoothlyAndCentres) {
    const std::uint32_t red = 0xFFFF0000u;
    PremultipliedImage checker = Filled(2, 2, 0);
    checker.pixels[0] = checker.pixels[3] = 0xFFFFFFFFu;
    PremultipliedImage wide = Filled(4, 2, red);
    const struct {
        const char* what;
        PremultipliedImage image;
        int size;
        std::vector<std::uint32_t> expected;
    } rows[] = {
        {"halved", Filled(4, 4, red), 2, std::vector<std::uint32_t>(4, red)},
        {"half covered, averaged premultiplied", checker, 1, {0x80808080u}},
        {"grown", Filled(1, 1, red), 3, std::vector<std::uint32_t>(9, red)},
        {"wider than tall: centred", wide, 4, {0, 0, 0, 0, red, red, red, red, red, red, red, red, 0, 0, 0, 0}},
        {"nothing", PremultipliedImage{}, 2, std::vector<std::uint32_t>(4, 0)},
        {"a 256 image at 20: the edges keep full coverage", Filled(256, 256, red), 20,
         std::vector<std::uint32_t>(400, red)},
        {"a 48 image at 20", Filled(48, 48, 0x80402010u), 20, std::vector<std::uint32_t>(400, 0x80402010u)},
    };
    for (const auto& row : rows) {
        const PremultipliedImage fitted = FitImage(row.image, row.size);
        EXPECT_EQ(fitted.width, row.size) << row.what;
        EXPECT_EQ(fitted.height, row.size) << row.what;
        EXPECT_EQ(fitted.pixels, row.expected) << row.what;
    }
}

// An .ico file of square 32-bit images, each filled with one straight-alpha colour.
std::string IcoFile(const std::vector<std::pair<int, std::uint32_t>>& images) {
    std::string header(6, '\0');
    header[2] = 1;
    header[4] = static_cast<char>(images.size());
    std::string entries;
    std::string data;
    std::size_t offset = 6 + 16 * images.size();
    const auto put = [](std::string& out, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    };
    for (const auto& [size, colour] : images) {
        const auto side = static_cast<std::uint32_t>(size);
        std::string image;
        put(image, 40, 4);
        put(image, side, 4);
        put(image, side * 2, 4);  // the colours and the mask
        put(image, 1, 2);
        put(image, 32, 2);
        image.append(24, '\0');
        for (std::uint32_t i = 0; i < side * side; ++i)
            put(image, colour, 4);
        image.append(((side + 31) / 32) * 4 * side, '\0');
        put(entries, side == 256 ? 0 : side, 1);
        put(entries, side == 256 ? 0 : side, 1);
        put(entries, 0, 2);
        put(entries, 1, 2);
        put(entries, 32, 2);
        put(entries, static_cast<std::uint32_t>(image.size()), 4);
        put(entries, static_cast<std::uint32_t>(offset), 4);
        offset += image.size();
        data += image;
    }
    return header + entries + data;
}

TEST_F(LinkIconsTest, TheLargestImageOfAnIconIsTaken) {
    const std::wstring ico = entry(L"two sizes \u0416.ico");
    // Blue at 16, half-covered green at 48, given in that order and the other way round.
    ASSERT_TRUE(WriteRawFile(ico, IcoFile({{16, 0xFF0000FFu}, {48, 0x8000FF00u}})));
    const std::wstring reversed = entry(L"reversed.ico");
    ASSERT_TRUE(WriteRawFile(reversed, IcoFile({{48, 0x8000FF00u}, {16, 0xFF0000FFu}})));
    const struct {
        const char* what;
        std::wstring file;
        int index;
        int size;  // 0: none
    } rows[] = {
        {"an .ico file", ico, 0, 48},
        {"an .ico file, largest first", reversed, 0, 48},
        {"a program's first icon", program, 0, 256},
        {"a program's icon by its id", program, -IDI_NIMBREL, 256},
        {"an icon the program does not have", program, 7, 0},
        {"an id the program does not have", program, -999, 0},
        {"a file that is not there", entry(L"absent.ico"), 0, 0},
        {"a file that is no icon", entry(L"Notes.txt"), 0, 0},
    };
    for (const auto& row : rows) {
        const std::optional<PremultipliedImage> image = LargestIconImage(row.file, row.index);
        if (row.size == 0) {
            EXPECT_FALSE(image.has_value()) << row.what;
            continue;
        }
        ASSERT_TRUE(image.has_value()) << row.what;
        EXPECT_EQ(image->width, row.size) << row.what;
        EXPECT_EQ(image->height, row.size) << row.what;
    }
    const std::optional<PremultipliedImage> green = LargestIconImage(ico, 0);
    ASSERT_TRUE(green.has_value());
    EXPECT_EQ(green->pixels[green->pixels.size() / 2], 0x80008000u) << "green at half coverage, premultiplied";
}

TEST(IconPixels, TakesCoverageFromTheAlphaChannelOrFromTheMask) {
    constexpr int kSide = 4;
    const auto icon = [](std::uint32_t top, std::uint32_t bottom, bool maskBottom) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), kSide, -kSide, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        UniqueBitmap colour(::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int i = 0; i < kSide * kSide; ++i)
            pixels[i] = i < kSide * kSide / 2 ? top : bottom;
        // Rows of a word each; a set bit leaves the screen as it was.
        const BYTE maskBits[] = {0, 0, 0, 0, maskBottom ? BYTE{0xF0} : BYTE{0}, 0, maskBottom ? BYTE{0xF0} : BYTE{0},
                                 0};
        UniqueBitmap mask(::CreateBitmap(kSide, kSide, 1, 1, maskBits));
        ICONINFO parts{TRUE, 0, 0, mask.get(), colour.get()};
        return UniqueHandle<HICON, ::DestroyIcon>(::CreateIconIndirect(&parts));
    };
    const struct {
        const char* what;
        std::uint32_t top, bottom;
        bool maskBottom;
        std::uint32_t expectedTop, expectedBottom;
    } rows[] = {
        {"straight alpha", 0x80FF0000u, 0xFF00FF00u, false, 0x80800000u, 0xFF00FF00u},
        {"no alpha: the mask", 0x000000FFu, 0x00000000u, true, 0xFF0000FFu, 0x00000000u},
    };
    for (const auto& row : rows) {
        const auto made = icon(row.top, row.bottom, row.maskBottom);
        ASSERT_TRUE(made) << row.what;
        const std::optional<PremultipliedImage> image = IconPixels(made.get());
        ASSERT_TRUE(image.has_value()) << row.what;
        ASSERT_EQ(image->width, kSide);
        ASSERT_EQ(image->height, kSide);
        const auto withinOne = [](std::uint32_t a, std::uint32_t b) {
            for (int shift = 0; shift < 32; shift += 8) {
                const int x = static_cast<int>((a >> shift) & 0xFF);
                const int y = static_cast<int>((b >> shift) & 0xFF);
                if (x - y > 1 || y - x > 1)
                    return false;
            }
            return true;
        };
        EXPECT_PRED2(withinOne, image->pixels.front(), row.expectedTop) << row.what;
        EXPECT_PRED2(withinOne, image->pixels.back(), row.expectedBottom) << row.what;
    }
}

TEST_F(LinkIconsTest, PicturesArriveInBatchesOnTheLoopsThreadEachOnce) {
    std::vector<std::string> paths;
    for (int i = 0; i < 20; ++i) {
        const std::wstring path = entry(L"Entry " + std::to_wstring(i) + L".lnk");
        ASSERT_TRUE(MakeShortcut(path, {program, {}, {}, SW_SHOWNORMAL}));
        paths.push_back(WideToUtf8(path));
    }
    LinkIcons icons;
    std::multiset<std::size_t> positions;
    bool done = false;
    bool otherThread = false;
    const DWORD loopThread = ::GetCurrentThreadId();
    const DWORD start = ::GetTickCount();
    icons.Request(paths, 24, [&](std::vector<LinkPicture> pictures, bool last) {
        otherThread = otherThread || ::GetCurrentThreadId() != loopThread;
        for (const LinkPicture& picture : pictures) {
            positions.insert(picture.position);
            EXPECT_TRUE(IsVisiblePremultiplied(PixelsOf(picture.bitmap.get(), 24))) << picture.position;
        }
        done = last;
    });
    ASSERT_TRUE(PumpUntil([&] { return done; }, 20000));
    RecordProperty("MillisecondsFor20Shortcuts", static_cast<int>(::GetTickCount() - start));
    std::multiset<std::size_t> expected;
    for (std::size_t i = 0; i < paths.size(); ++i)
        expected.insert(i);
    EXPECT_EQ(positions, expected);
    EXPECT_FALSE(otherThread);
}

// What the message loop ran, in its order: tasks and a window's paints.
std::vector<std::string>* g_ran = nullptr;

LRESULT CALLBACK RecordingPaints(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        ::BeginPaint(window, &paint);
        ::EndPaint(window, &paint);
        g_ran->push_back("paint");
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

// The pictures are asked for only when the loop is idle, so that the shell's work never comes before the bar's first
// paint.
TEST(UiThreadQueueTest, AnIdleTaskRunsAfterTheWindowsPaintsAndThePostedTasks) {
    std::vector<std::string> ran;
    g_ran = &ran;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = RecordingPaints;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"NimbrelTestPaints";
    ::RegisterClassW(&windowClass);
    HWND window = ::CreateWindowExW(0, L"NimbrelTestPaints", L"", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                    windowClass.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    {
        UiThreadQueue queue;
        queue.PostWhenIdle([&] { ran.push_back("idle"); });
        queue.Post([&] { ran.push_back("posted"); });
        ::InvalidateRect(window, nullptr, TRUE);
        PumpUntil([&] { return ran.size() >= 3; }, 2000);
    }
    ::DestroyWindow(window);
    ::UnregisterClassW(L"NimbrelTestPaints", windowClass.hInstance);
    g_ran = nullptr;
    EXPECT_EQ(ran, (std::vector<std::string>{"posted", "paint", "idle"}));
}

TEST_F(LinkIconsTest, ANewRequestDropsTheOldOnesPictures) {
    const std::vector<std::string> many(40, WideToUtf8(entry(L"Program.lnk")));
    const std::vector<std::string> two = {WideToUtf8(entry(L"Notes.txt")), WideToUtf8(entry(L"Site.url"))};
    LinkIcons icons;
    int oldBatches = 0;
    icons.Request(many, 32, [&](std::vector<LinkPicture>, bool) { ++oldBatches; });
    std::vector<std::size_t> positions;
    bool done = false;
    icons.Request(two, 16, [&](std::vector<LinkPicture> pictures, bool last) {
        for (const LinkPicture& picture : pictures) {
            positions.push_back(picture.position);
            EXPECT_FALSE(PixelsOf(picture.bitmap.get(), 16).empty());
        }
        done = last;
    });
    ASSERT_TRUE(PumpUntil([&] { return done; }, 20000));
    EXPECT_EQ(oldBatches, 0);
    EXPECT_EQ(positions, (std::vector<std::size_t>{0, 1}));
}

TEST_F(LinkIconsTest, CancelledOrDestroyedItDeliversNothingMore) {
    const std::vector<std::string> many(40, WideToUtf8(entry(L"Program.lnk")));
    int batches = 0;
    {
        LinkIcons icons;
        icons.Request(many, 32, [&](std::vector<LinkPicture>, bool) { ++batches; });
        icons.Cancel();
        PumpUntil([] { return false; }, 300);
        icons.Request(many, 32, [&](std::vector<LinkPicture>, bool) { ++batches; });
        ::Sleep(20);
    }
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(batches, 0);
}

TEST_F(LinkIconsTest, AnEmptyRequestEndsAtOnce) {
    LinkIcons icons;
    bool done = false;
    std::size_t count = 99;
    icons.Request({}, 24, [&](std::vector<LinkPicture> pictures, bool last) {
        count = pictures.size();
        done = last;
    });
    ASSERT_TRUE(PumpUntil([&] { return done; }, 5000));
    EXPECT_EQ(count, 0u);
}

}  // namespace
}  // namespace nimbrel::win32
