#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "settings/BarSettings.h"

namespace nimbrel {
namespace {

using test::EntryKind;
using test::FakeSystem;

Settings Parse(std::string_view text) {
    Settings s{"TOP", "TOP", 0};
    ParseSettings(text, s);
    return s;
}

TEST(SettingsLines, SplitAtCarriageReturnOrCrLfOnly) {
    std::vector<std::string> lines;
    ForEachSettingsLine("a\r\nb\rc\nd\r\r\ne", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"a", "b", "c\nd", "", "e"}));

    lines.clear();
    ForEachSettingsLine("last\r\n", [&](std::string_view l) { lines.emplace_back(l); });
    EXPECT_EQ(lines, (std::vector<std::string>{"last"}));
}

TEST(ParseSettings, ReadsKeysCaseInsensitivelyAndUpperCasesPositions) {
    EXPECT_EQ(Parse("STYLE=2"), (Settings{"TOP", "TOP", 2}));
    EXPECT_EQ(Parse("toolbar_position=left"), (Settings{"LEFT", "TOP", 0}));
    EXPECT_EQ(Parse("Pointer_Position=Bottom\r\nstyle=3"), (Settings{"TOP", "BOTTOM", 3}));
    EXPECT_EQ(Parse("   POINTER_POSITION=BOTTOM   "), (Settings{"TOP", "BOTTOM", 0}));
}

TEST(ParseSettings, KeepsSpacesAroundTheEqualsSignAndSkipsOddLines) {
    // A space before "=" makes the key unknown; a space after it stays in the value.
    EXPECT_EQ(Parse("TOOLBAR_POSITION = LEFT"), (Settings{"TOP", "TOP", 0}));
    EXPECT_EQ(Parse("TOOLBAR_POSITION= LEFT").ToolbarPosition, " LEFT");
    EXPECT_EQ(Parse("TOOLBAR_POSITION=LEFT=1").ToolbarPosition, "LEFT=1");
    EXPECT_EQ(Parse("[TOOLBAR_POSITION=LEFT\r\n[General]\r\nno equals here\r\n\r\n"), (Settings{"TOP", "TOP", 0}));
    EXPECT_EQ(Parse("  [STYLE=2").Style, 0);
    // Only spaces are trimmed: a tab stays part of the key.
    EXPECT_EQ(Parse("\tSTYLE=2").Style, 0);
    EXPECT_EQ(Parse("STYLE=2\t").Style, 2);
    EXPECT_EQ(Parse("UNKNOWN=1\r\nSTYLE=1").Style, 1);
    EXPECT_EQ(Parse("TOOLBAR_POSITION=").ToolbarPosition, "");
}

TEST(ParseSettings, LastDuplicateWins) {
    EXPECT_EQ(Parse("TOOLBAR_POSITION=LEFT\r\nTOOLBAR_POSITION=right").ToolbarPosition, "RIGHT");
    EXPECT_EQ(Parse("STYLE=3\r\nSTYLE=2").Style, 2);
}

TEST(ParseSettings, LineFeedOnlyFileIsOneLine) {
    const Settings s = Parse("TOOLBAR_POSITION=LEFT\nPOINTER_POSITION=LEFT\nSTYLE=3\n");
    EXPECT_EQ(s.ToolbarPosition, "LEFT\nPOINTER_POSITION=LEFT\nSTYLE=3\n");
    EXPECT_EQ(s.PointerPosition, "TOP");
    EXPECT_EQ(s.Style, 0);
    // As the value of STYLE, line feeds are blanks that the number reader skips.
    EXPECT_EQ(Parse("STYLE=\n3\nTOOLBAR_POSITION=LEFT").Style, 3);
}

TEST(ParseSettings, EqualsFarIntoALongLineIsReadNormally) {
    const std::string line = "STYLE" + std::string(40000, ' ');
    EXPECT_EQ(Parse(line + "=2").Style, 0);  // the key holds the spaces
    EXPECT_EQ(Parse("STYLE=" + std::string(40000, ' ') + "3").Style, 3);
    EXPECT_EQ(Parse("TOOLBAR_POSITION=" + std::string(40000, 'x')).ToolbarPosition, std::string(40000, 'X'));
}

TEST(ReadCfg, MissingFileIsCreatedWithTheDefaultsAndRead) {
    FakeSystem sys;
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_EQ(form->BarSettings, (Settings{"TOP", "TOP", 1}));
    const auto written = sys.files.Content("C:\\Apps\\Bar\\Nimbrel.Txt");
    ASSERT_TRUE(written.has_value());
    EXPECT_EQ(*written, "TOOLBAR_POSITION=TOP\r\nPOINTER_POSITION=TOP\r\nSTYLE=1\r\n");
    EXPECT_EQ(written->size(), 53U);
    EXPECT_EQ(sys.log.Matching("files."), (std::vector<std::string>{"files.Read(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                                                    "files.Write(C:\\Apps\\Bar\\Nimbrel.Txt)",
                                                                    "files.Read(C:\\Apps\\Bar\\Nimbrel.Txt)"}));
}

TEST(ReadCfg, EmptyFileGivesStyleZeroAndStaysEmpty) {
    FakeSystem sys;
    sys.files.Put("c:\\apps\\bar\\nimbrel.txt", "");
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_EQ(form->BarSettings, (Settings{"TOP", "TOP", 0}));
    EXPECT_EQ(sys.files.writes, 0);
    EXPECT_EQ(*sys.files.Content("C:\\Apps\\Bar\\Nimbrel.Txt"), "");
}

TEST(ReadCfg, ExistingFileIsReadAndNeverRewritten) {
    FakeSystem sys;
    sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=bottom\r\nPOINTER_POSITION=left\r\nSTYLE=3\r\n");
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_EQ(form->BarSettings, (Settings{"BOTTOM", "LEFT", 3}));
    EXPECT_EQ(sys.files.writes, 0);
}

TEST(ReadCfg, AtADriveRootTheSeparatorIsNotDoubled) {
    FakeSystem sys;
    sys.process.executableFolder = "D:\\";
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_TRUE(sys.files.Content("D:\\Nimbrel.Txt").has_value());
}

TEST(ReadCfg, UnknownProgramFolderIsAnUnreadableFile) {
    FakeSystem sys;
    sys.process.executableFolder = "";
    sys.files.Put("\\Nimbrel.Txt", "TOOLBAR_POSITION=LEFT");
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_EQ(form->BarSettings, (Settings{"TOP", "TOP", 1}));
    EXPECT_TRUE(sys.log.Matching("files.").empty()) << "nothing read or written at the drive's root";
}

TEST(ReadCfg, UnwritableFolderRunsWithDefaultsAndTriesOnce) {
    FakeSystem sys;
    sys.files.MakeReadOnlyFolder("C:\\Apps\\Bar");
    auto form = sys.MakeForm();
    form->Read_CFG();
    EXPECT_EQ(form->BarSettings, (Settings{"TOP", "TOP", 1}));
    EXPECT_EQ(sys.files.writes, 1);
    EXPECT_FALSE(sys.files.Content("C:\\Apps\\Bar\\Nimbrel.Txt").has_value());
}

TEST(ReadCfg, UnreadableSettingsAreLeftAloneAndDefaultsUsed) {
    for (EntryKind kind : {EntryKind::Directory, EntryKind::Locked}) {
        FakeSystem sys;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=LEFT", kind);
        auto form = sys.MakeForm();
        form->Read_CFG();
        EXPECT_EQ(form->BarSettings, (Settings{"TOP", "TOP", 1}));
        EXPECT_EQ(sys.files.writes, 0) << "an existing file is never replaced";
        EXPECT_EQ(*sys.files.Content("C:\\Apps\\Bar\\Nimbrel.Txt"), "TOOLBAR_POSITION=LEFT");
    }
}

}  // namespace
}  // namespace nimbrel
