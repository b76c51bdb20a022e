// Text, command-line and unit conversions of the Win32 edge.
#include <windows.h>

#include <shellapi.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "win32/Shell.h"
#include "win32/Strings.h"
#include "win32/Units.h"

namespace nimbrel::win32 {
namespace {

TEST(Utf8, RoundTripsThroughUtf16) {
    const std::string text = "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80";  // Café € and an emoji
    const std::wstring wide = Utf8ToWide(text);
    EXPECT_EQ(wide, std::wstring(L"Caf\u00E9 \u20AC \xD83D\xDE00"));
    EXPECT_EQ(WideToUtf8(wide), text);
}

TEST(Utf8, KeepsEmbeddedNuls) {
    const std::wstring wide(L"C:\\A\0\0", 6);
    const std::string narrow = WideToUtf8(wide);
    ASSERT_EQ(narrow.size(), 6u);
    EXPECT_EQ(narrow, std::string("C:\\A\0\0", 6));
}

TEST(Utf8, EmptyStaysEmpty) {
    EXPECT_TRUE(Utf8ToWide("").empty());
    EXPECT_TRUE(WideToUtf8(L"").empty());
    EXPECT_TRUE(AnsiToUtf8("").empty());
}

TEST(AnsiCodePage, Cp1252BytesBecomeUtf8) {
    if (::GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << ::GetACP();
    EXPECT_EQ(AnsiToUtf8("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(AnsiToUtf8("\x80"), "\xE2\x82\xAC");  // the euro sign sits at 0x80 in 1252
    EXPECT_EQ(Utf8ToAnsi("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(Utf8ToAnsi("TOOLBAR_POSITION=TOP\r\n"), "TOOLBAR_POSITION=TOP\r\n");
}

std::vector<std::wstring> SplitLikeTheSystem(const std::wstring& commandLine) {
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> arguments;
    if (argv == nullptr)
        return arguments;
    for (int i = 0; i < count; ++i)
        arguments.emplace_back(argv[i]);
    ::LocalFree(argv);
    return arguments;
}

class QuoteRoundTrip : public ::testing::TestWithParam<std::wstring> {};

TEST_P(QuoteRoundTrip, CommandLineToArgvGivesTheArgumentBack) {
    const std::wstring argument = GetParam();
    const std::vector<std::wstring> split = SplitLikeTheSystem(L"program.exe " + QuoteArgument(argument));
    ASSERT_EQ(split.size(), 2u) << WideToUtf8(QuoteArgument(argument));
    EXPECT_EQ(split[1], argument);
}

INSTANTIATE_TEST_SUITE_P(Arguments,
                         QuoteRoundTrip,
                         ::testing::Values(L"",
                                           L"plain",
                                           L"C:\\Program Files\\Mozilla Firefox\\firefox.exe",
                                           L"C:\\Apps\\",
                                           L"C:\\Apps\\\\",
                                           L"with \"quotes\" inside",
                                           L"back\\\"slash quote",
                                           L"trailing quote\"",
                                           L"tab\there",
                                           L"\\\\server\\share\\a b\\",
                                           L"caf\u00E9 \u20AC"));

TEST(Quote, AlwaysQuotesAndDoublesOnlyTheBackslashesThatNeedIt) {
    EXPECT_EQ(QuoteArgument(L"C:\\a b\\x.exe"), L"\"C:\\a b\\x.exe\"");
    EXPECT_EQ(QuoteArgument(L"C:\\dir\\"), L"\"C:\\dir\\\\\"");
    EXPECT_EQ(QuoteArgument(L"a\"b"), L"\"a\\\"b\"");
    EXPECT_EQ(QuoteArgument(L"a\\\"b"), L"\"a\\\\\\\"b\"");
}

TEST(Quote, ProcessCommandLineIsThePathAloneQuoted) {
    const std::wstring path = L"C:\\Program Files\\Google\\Google Earth\\googleearth.exe";
    EXPECT_EQ(ProcessCommandLine(path), L"\"" + path + L"\"");
    const std::vector<std::wstring> split = SplitLikeTheSystem(ProcessCommandLine(path));
    ASSERT_EQ(split.size(), 1u);
    EXPECT_EQ(split[0], path);
}

TEST(Twips, FifteenTwipsPerPixelAt96Dpi) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(96), 15.0f);
    EXPECT_EQ(TwipsToPixels(400.0f, 96), 27);  // 26.67 rounds up
    EXPECT_FLOAT_EQ(PixelsToTwips(27, 96), 405.0f);
    EXPECT_EQ(TwipsToPixels(455.0f, 96), 30);  // 30.33 rounds down
    EXPECT_EQ(TwipsToPixels(-1500.0f, 96), -100);
    EXPECT_EQ(TwipsToPixels(15360.0f, 96), 1024);
    EXPECT_FLOAT_EQ(PixelsToTwips(768, 96), 11520.0f);
    EXPECT_FLOAT_EQ(PixelsToTwips(-100, 96), -1500.0f);
}

TEST(Twips, TenTwipsPerPixelAt144Dpi) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(144), 10.0f);
    EXPECT_EQ(TwipsToPixels(400.0f, 144), 40);
    EXPECT_EQ(TwipsToPixels(455.0f, 144), 46);  // 45.5 rounds away from zero
    EXPECT_EQ(TwipsToPixels(-1500.0f, 144), -150);
    EXPECT_FLOAT_EQ(PixelsToTwips(1920, 144), 19200.0f);
}

TEST(Twips, PixelsSurviveTheRoundTrip) {
    for (const int dpi : {96, 120, 144, 168, 192}) {
        for (int pixels = -200; pixels <= 4000; pixels += 7)
            EXPECT_EQ(TwipsToPixels(PixelsToTwips(pixels, dpi), dpi), pixels) << dpi << " dpi, " << pixels;
    }
}

TEST(Twips, UnknownDpiCountsAs96) {
    EXPECT_FLOAT_EQ(TwipsPerPixel(0), 15.0f);
}

TEST(FolderOf, CutsAtTheLastBackslash) {
    EXPECT_EQ(FolderOf(L"C:\\Apps\\Bar\\Nimbrel.exe"), L"C:\\Apps\\Bar");
    EXPECT_EQ(FolderOf(L"\\\\server\\share\\Nimbrel.exe"), L"\\\\server\\share");
}

TEST(FolderOf, KeepsTheBackslashOfADriveRoot) {
    EXPECT_EQ(FolderOf(L"C:\\Nimbrel.exe"), L"C:\\");
}

TEST(FolderOf, NoFolderWithoutBackslash) {
    EXPECT_EQ(FolderOf(L"Nimbrel.exe"), L"");
}

}  // namespace
}  // namespace nimbrel::win32
