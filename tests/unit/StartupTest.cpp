#include <gtest/gtest.h>

#include <tuple>

#include "FakePlatform.h"
#include "app/Module1.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

TEST(LoadMainWindow, RunsItsStepsInOrder) {
    // The placement of each edge; the bar keeps the 400 twips asked, and a vertical bar's window of
    // 440 twips is read back as 29 pixels, 435 twips.
    const std::pair<const char*, std::vector<std::string>> placements[] = {
        {"TOP",
         {"window.Left=0", "window.Top=0", "bar0.Align=TOP", "bar0.DockSide=TOP", "bar0.Height=400",
          "window.Height=450", "window.Width=15360"}},
        {"RIGHT",
         {"window.Top=0", "bar0.Align=RIGHT", "bar0.DockSide=RIGHT", "window.Height=11520", "bar0.Width=400",
          "window.Width=440", "window.Left=14925"}},
        {"BOTTOM",
         {"bar0.Align=BOTTOM", "bar0.DockSide=BOTTOM", "bar0.Height=400", "window.Height=450", "window.Width=15360",
          "window.Top=11080", "window.Left=0"}},
        {"LEFT",
         {"bar0.Align=LEFT", "bar0.DockSide=LEFT", "bar0.Width=400", "window.Height=11520", "window.Width=440",
          "window.Top=0", "window.Left=0"}},
    };
    for (const auto& [position, placement] : placements) {
        FakeSystem sys;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", std::string("TOOLBAR_POSITION=") + position);
        auto form = sys.MakeForm();
        ASSERT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);

        // Everything but the file checks of the catalogue and the listing of a Links folder (there is none), in the
        // order it happened.
        std::vector<std::string> calls;
        for (const std::string& e : sys.log.Entries()) {
            if (e.rfind("files.", 0) != 0 && e.rfind("folders.", 0) != 0)
                calls.push_back(e);
        }
        // The 32-bit Program Files folder (42) is looked up right after the Program Files folder (38).
        std::vector<std::string> expected = {"shell.GetSpecialFolder(38)", "shell.GetSpecialFolder(42)",
                                             "bar0.Align=none", "bar0.Height=0", "bar0.Width=0"};
        expected.insert(expected.end(), placement.begin(), placement.end());
        expected.insert(expected.end(),
                        {"bar0.ImageList0", "bar0.ImageList1", "bar0.Style=0", "window.Show", "window.KeyPreview=0",
                         "window.SetWindowPos(Top)", "window.SetActiveWindow", "window.SetFocus", "window.Refresh",
                         "Timer1.Interval=2000", "Timer1.Enabled=1", "Timer2.Interval=150",
                         // Drag and drop starts from the message loop.
                         "pump.Post"});
        EXPECT_EQ(calls, expected) << position;
        // The settings file is read right after the two Program Files lookups.
        EXPECT_EQ(sys.log.Entries()[2], "files.Read(C:\\Apps\\Bar\\Nimbrel.Txt)");

        EXPECT_TRUE(form->BarShown);
        EXPECT_TRUE(sys.window.visible);
        EXPECT_FALSE(sys.window.topmost);
        EXPECT_EQ(form->ProgramFilesDir, "C:\\Program Files");
        EXPECT_EQ(form->ProgramFilesX86Dir, "") << "the shell named the same folder";
        EXPECT_EQ(form->ProgramCatalogue.ProgramCount, 19);
        EXPECT_EQ(form->cmdBar[0]->MainBar(), form->cmdBar[0]->Bars().Item("STANDARD"));
        // One toolbar before the window shows, with the main bar's buttons and the user's: no rebuild after it.
        EXPECT_EQ(sys.barViews.views[0]->showCalls, 1);
        EXPECT_EQ(form->cmdBar[0]->ImageList(0), form->ImageList1);
        EXPECT_EQ(form->cmdBar[0]->ImageList(1), form->ImageList1);
        EXPECT_EQ(form->ImageList1->Count(), 38);
    }
}

TEST(LoadMainWindow, NoTimerTicksBeforeItsIntervalsRunOut) {
    FakeSystem sys;
    auto form = sys.StartedForm();
    sys.clock.Advance(149);
    EXPECT_TRUE(sys.log.Entries().empty());
    sys.clock.Advance(1);
    EXPECT_EQ(sys.log.Entries(),
              (std::vector<std::string>{"Timer2.Tick", "Timer2.Enabled=0", "window.SetWindowPos(NoTopmost)"}));
    sys.log.Clear();
    sys.clock.Advance(1849);
    EXPECT_TRUE(sys.log.Matching("Timer1.Tick").empty());
    sys.clock.Advance(1);
    EXPECT_EQ(sys.log.Matching("Timer1.Tick").size(), 1U);
}

struct PlacementCase {
    const char* position;
    float kept;  // the thickness the bar keeps when asked for 400
    float left, top, width, height;
    Edge side;  // the bar's alignment in the window and its dock side
};

TEST(LoadMainWindow, PlacesTheWindowAtEachEdgeAroundTheBarsActualSize) {
    // Screen 1024 x 768 pixels at 15 twips per pixel: 15360 x 11520 twips. The window keeps whole pixels:
    // 455 and 445 twips become 450, 380 and 370 become 375, 640 becomes 645.
    const PlacementCase cases[] = {
        {"TOP", 405, 0, 0, 15360, 450, Edge::Top},
        {"RIGHT", 405, 15360 - 450, 0, 450, 11520, Edge::Right},
        {"BOTTOM", 405, 0, 11520 - 450 + 10, 15360, 450, Edge::Bottom},
        {"LEFT", 405, 0, 0, 450, 11520, Edge::Left},
        {"TOP", 330, 0, 0, 15360, 375, Edge::Top},
        {"RIGHT", 600, 15360 - 645, 0, 645, 11520, Edge::Right},
        {"BOTTOM", 330, 0, 11520 - 375 + 10, 15360, 375, Edge::Bottom},
        {"LEFT", 330, 0, 0, 375, 11520, Edge::Left},
    };
    for (const PlacementCase& c : cases) {
        FakeSystem sys;
        sys.barViews.keptThickness = c.kept;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", std::string("TOOLBAR_POSITION=") + c.position);
        sys.window.left = sys.window.top = 777;
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        SCOPED_TRACE(std::string(c.position) + " kept " + test::Num(c.kept));
        EXPECT_EQ(sys.window.left, c.left);
        EXPECT_EQ(sys.window.top, c.top);
        EXPECT_EQ(sys.window.width, c.width);
        EXPECT_EQ(sys.window.height, c.height);
        EXPECT_EQ(form->cmdBar[0]->Alignment(), c.side);
        EXPECT_EQ(form->cmdBar[0]->DockSide(), c.side);
        EXPECT_EQ(form->BarSettings.ToolbarPosition, c.position);
    }
}

TEST(FormDpiChanged, KeepsTheTwipsSizesAtTheNewScaleAndTheBarWhereItWas) {
    // From 15 to 10 twips per pixel (96 to 144 DPI) on the same 1024 x 768 pixels: 10240 x 7680 twips. The
    // window moves once, at the end, so a parked bar never shows on the screen on the way.
    struct Case {
        const char* position;
        bool parked;
        float left, top, width, height;
    };
    const Case cases[] = {
        // A BOTTOM bar that has not parked yet keeps its start-up overhang.
        {"TOP", false, 0, 0, 10240, 450},        {"BOTTOM", false, 0, 7680 - 450 + 10, 10240, 450},
        {"LEFT", false, 0, 0, 440, 7680},        {"RIGHT", false, 10240 - 440, 0, 440, 7680},
        {"TOP", true, -1500, -1500, 10240, 450}, {"RIGHT", true, -1500, -1500, 440, 7680},
    };
    for (const Case& c : cases) {
        FakeSystem sys;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", std::string("TOOLBAR_POSITION=") + c.position);
        auto form = sys.StartedForm();
        if (c.parked)
            form->GO_BarOff();
        sys.screen.twipsPerPixelX = sys.screen.twipsPerPixelY = 10.0F;
        sys.log.Clear();
        form->Form_DpiChanged();
        SCOPED_TRACE(std::string(c.position) + (c.parked ? " parked" : " docked"));
        EXPECT_EQ(sys.window.left, c.left);
        EXPECT_EQ(sys.window.top, c.top);
        EXPECT_EQ(sys.window.width, c.width);
        EXPECT_EQ(sys.window.height, c.height);
        EXPECT_EQ(form->BarShown, !c.parked);
        EXPECT_EQ(sys.log.Matching("window.Move").size(), 1U);
        EXPECT_TRUE(sys.log.Matching("window.Left").empty() && sys.log.Matching("window.Top").empty());
    }
}

TEST(LoadMainWindow, AnyOtherPositionDocksAtTheTopInMemoryOnly) {
    for (const char* text : {"", " LEFT", "LEFT=1", "MIDDLE", "TOPX"}) {
        FakeSystem sys;
        const std::string file = std::string("TOOLBAR_POSITION=") + text + "\r\n";
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", file);
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        SCOPED_TRACE(text);
        EXPECT_EQ(form->BarSettings.ToolbarPosition, "TOP");
        EXPECT_EQ(sys.window.left, 0);
        EXPECT_EQ(sys.window.top, 0);
        EXPECT_EQ(sys.window.width, 15360);
        EXPECT_EQ(sys.window.height, 450);
        EXPECT_EQ(form->cmdBar[0]->Alignment(), Edge::Top);
        EXPECT_EQ(*sys.files.Content("C:\\Apps\\Bar\\Nimbrel.Txt"), file);
    }
}

TEST(LoadMainWindow, HandsTheStyleOverUnchangedZeroIncluded) {
    for (auto [file, style] : {std::pair{"STYLE=3", 3}, {"STYLE=2", 2}, {"TOOLBAR_POSITION=TOP", 0}, {"", 0}}) {
        FakeSystem sys;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", file);
        auto form = sys.MakeForm();
        form->LoadMainWindow();
        EXPECT_EQ(form->cmdBar[0]->Style(), style) << file;
        EXPECT_EQ(sys.barViews.views[0]->style, style) << file;
    }
}

TEST(LoadMainWindow, LastStepsGoOnWhenOneFails) {
    FakeSystem sys;
    sys.window.failZOrder = sys.window.failActivate = sys.window.failFocus = sys.window.failRefresh = true;
    auto form = sys.MakeForm();
    EXPECT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);
    EXPECT_TRUE(sys.log.Contains("window.Refresh"));
    EXPECT_EQ(form->Timer1->Interval(), 2000U);
    EXPECT_TRUE(form->Timer1->Enabled());
    EXPECT_EQ(form->Timer2->Interval(), 150U);
    EXPECT_TRUE(form->Timer2->Enabled());
}

TEST(GetProgramFilesDir, CutsThePathAtTheFirstNul) {
    EXPECT_EQ(PathBeforeFirstNul(std::string("C:\\Program Files\0junk\0", 23)), "C:\\Program Files");
    EXPECT_EQ(PathBeforeFirstNul(std::string(260, '\0')), "");
    EXPECT_EQ(PathBeforeFirstNul(std::string(260, 'x')), "") << "no NUL leaves the path empty";
}

TEST(GetProgramFilesDir, FailureShowsTheMessageAndEndsBeforeAnythingElse) {
    for (long result : {1L, -2147467259L, 0x80070002L}) {
        FakeSystem sys;
        sys.shell.specialFolderResult = result;
        auto form = sys.MakeForm();
        EXPECT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Ended);
        EXPECT_EQ(sys.log.Entries(),
                  (std::vector<std::string>{"shell.GetSpecialFolder(38)",
                                            "MsgBox(System 'Program Files' directory not found!|16|Nimbrel)",
                                            "process.End"}));
        EXPECT_FALSE(sys.window.visible);
        EXPECT_EQ(sys.files.writes, 0);
        EXPECT_TRUE(form->Ended());
        // Nothing runs after the end, not even a stray timer.
        sys.clock.Advance(10000);
        EXPECT_EQ(sys.log.Entries().size(), 3U);
    }
}

TEST(GetProgramFilesX86Dir, IsEmptyUnlessTheShellNamesAnotherFolder) {
    const std::tuple<long, const char*, const char*> cases[] = {
        {0, "C:\\Program Files (x86)", "C:\\Program Files (x86)"},
        {0, "c:\\PROGRAM FILES", ""},
        {0, "", ""},
        {1, "C:\\Program Files (x86)", ""},
        {-2147467259L, "C:\\Program Files (x86)", ""}};
    for (const auto& [result, path, found] : cases) {
        FakeSystem sys;
        sys.shell.programFilesX86 = test::FakeShell::Answer(result, path);
        auto form = sys.MakeForm();
        EXPECT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown) << path;
        EXPECT_EQ(form->ProgramFilesX86Dir, found) << result << " " << path;
        EXPECT_TRUE(sys.log.Matching("MsgBox").empty()) << "a failure is silent";
    }
}

TEST(GetProgramFilesDir, EmptyPathStartsUpWithIt) {
    FakeSystem sys;
    sys.shell.programFilesBuffer = std::string(260, '\0');
    sys.files.Put("\\Mozilla Firefox\\firefox.exe");
    auto form = sys.MakeForm();
    EXPECT_EQ(form->LoadMainWindow(), frmMain::LoadResult::Shown);
    EXPECT_EQ(form->ProgramFilesDir, "");
    EXPECT_TRUE(sys.log.Matching("MsgBox").empty());
    EXPECT_TRUE(form->cmdBar[0]->Buttons().Item("BROWSER:FIREFOX")->Visible());
}

}  // namespace
}  // namespace nimbrel
