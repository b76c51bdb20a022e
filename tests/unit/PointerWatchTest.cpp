#include <gtest/gtest.h>

#include "FakePlatform.h"
#include "docking/PointerWatch.h"

namespace nimbrel {
namespace {

using test::FakeSystem;

// Screen 1024 x 768 pixels at 15 twips per pixel. With the bar keeping 410 twips the window is
// 460 twips across a horizontal bar and 450 across a vertical one.
class PointerWatchTest : public ::testing::Test {
protected:
    void Start(const std::string& toolbar, const std::string& pointer) {
        sys.barViews.keptThickness = 410;
        sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt",
                      "TOOLBAR_POSITION=" + toolbar + "\r\nPOINTER_POSITION=" + pointer + "\r\n");
        form = sys.StartedForm();
    }
    // One tick with the pointer at (x, y) pixels; true when the bar is docked afterwards.
    bool TickAt(int x, int y) {
        sys.pointer.x = x;
        sys.pointer.y = y;
        form->Timer1_Timer();
        return form->BarShown;
    }
    bool ParkedTickAt(int x, int y) {
        form->GO_BarOff();
        return TickAt(x, y);
    }
    bool DockedTickAt(int x, int y) {
        form->GO_BarOn();
        return TickAt(x, y);
    }

    FakeSystem sys;
    std::unique_ptr<frmMain> form;
};

TEST_F(PointerWatchTest, DockedTopBarHidesFromItsHeightDown) {
    Start("TOP", "TOP");
    ASSERT_EQ(sys.window.height, 460);
    EXPECT_TRUE(DockedTickAt(500, 30));   // 450 twips: on the bar
    EXPECT_FALSE(DockedTickAt(500, 31));  // 465: off
    EXPECT_TRUE(DockedTickAt(5000, 0));   // beside the bar but within its band
    EXPECT_TRUE(DockedTickAt(-300, 10));  // a monitor to the left, same band
}

TEST_F(PointerWatchTest, BoundaryCountsAsOffTheBar) {
    // A window height of exactly 30 pixels puts the boundary on a pixel row.
    sys.barViews.keptThickness = 400;
    sys.files.Put("C:\\Apps\\Bar\\Nimbrel.Txt", "TOOLBAR_POSITION=TOP\r\n");
    form = sys.StartedForm();
    ASSERT_EQ(sys.window.height, 450);
    EXPECT_TRUE(DockedTickAt(0, 29));
    EXPECT_FALSE(DockedTickAt(0, 30));
}

TEST_F(PointerWatchTest, DockedBottomBarHidesFromItsTopEdgeUp) {
    Start("BOTTOM", "BOTTOM");
    form->GO_BarOff();
    form->GO_BarOn();  // flush with the bottom edge
    // Boundary: 11520 - 460 = 11060 twips, between pixel rows 737 (11055) and 738 (11070).
    EXPECT_FALSE(DockedTickAt(0, 737));
    EXPECT_TRUE(DockedTickAt(0, 738));
    EXPECT_TRUE(DockedTickAt(0, 900)) << "below the primary screen is still the band";
}

TEST_F(PointerWatchTest, DockedVerticalBarsUseTheXCoordinate) {
    Start("LEFT", "LEFT");
    ASSERT_EQ(sys.window.width, 450);
    EXPECT_TRUE(DockedTickAt(29, 700));
    EXPECT_FALSE(DockedTickAt(30, 0)) << "X equal to the window width is off the bar";
}

TEST_F(PointerWatchTest, DockedRightBarBoundaryIsItsOwnFirstColumn) {
    Start("RIGHT", "RIGHT");
    // Boundary: 15360 - 450 = 14910 twips = pixel column 994.
    EXPECT_FALSE(DockedTickAt(994, 0));
    EXPECT_TRUE(DockedTickAt(995, 0));
    EXPECT_TRUE(DockedTickAt(1500, 0));
}

TEST_F(PointerWatchTest, RecallEdgesAreFourPixelsDeepAtTopAndLeftThreeAtBottomAndRight) {
    Start("TOP", "TOP");
    EXPECT_TRUE(ParkedTickAt(500, 3));
    EXPECT_FALSE(ParkedTickAt(500, 4));
    EXPECT_TRUE(ParkedTickAt(500, -200)) << "a monitor above the primary screen";

    form->BarSettings.PointerPosition = "LEFT";
    EXPECT_TRUE(ParkedTickAt(3, 300));
    EXPECT_FALSE(ParkedTickAt(4, 300));
    EXPECT_TRUE(ParkedTickAt(-1, 300));

    form->BarSettings.PointerPosition = "BOTTOM";
    EXPECT_FALSE(ParkedTickAt(500, 764));
    EXPECT_TRUE(ParkedTickAt(500, 765));
    EXPECT_TRUE(ParkedTickAt(500, 767));
    EXPECT_TRUE(ParkedTickAt(500, 2000));

    form->BarSettings.PointerPosition = "RIGHT";
    EXPECT_FALSE(ParkedTickAt(1020, 300));
    EXPECT_TRUE(ParkedTickAt(1021, 300));
    EXPECT_TRUE(ParkedTickAt(4000, 300));
}

TEST_F(PointerWatchTest, RecallEdgeIsIndependentOfTheDockingEdge) {
    Start("TOP", "BOTTOM");
    EXPECT_FALSE(ParkedTickAt(500, 0));
    EXPECT_TRUE(ParkedTickAt(500, 767));
    EXPECT_EQ(sys.window.top, 0) << "docks at the top";
    EXPECT_FALSE(TickAt(500, 767)) << "parked again at the next tick unless the pointer reached the band";
}

TEST_F(PointerWatchTest, UnrecognisedRecallEdgeNeverRecalls) {
    for (const char* pointer : {"", "MIDDLE", " TOP", "TOP=1"}) {
        form.reset();
        Start("TOP", pointer);
        for (auto [x, y] : {std::pair{0, 0}, {500, 767}, {1023, 300}, {-5, -5}, {5000, 5000}})
            EXPECT_FALSE(ParkedTickAt(x, y)) << '"' << pointer << '"';
    }
}

TEST_F(PointerWatchTest, FailedPointerQueryUsesTheOrigin) {
    Start("TOP", "TOP");
    sys.pointer.fail = true;
    sys.pointer.x = sys.pointer.y = 400;
    EXPECT_TRUE(DockedTickAt(400, 400)) << "(0, 0) is inside a docked top bar";
    EXPECT_TRUE(ParkedTickAt(400, 400)) << "and touches the top edge";
}

TEST_F(PointerWatchTest, PumpsTwiceOnStayAndThreeTimesOtherwise) {
    Start("TOP", "TOP");
    sys.log.Clear();
    TickAt(0, 0);
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"DoEvents", "DoEvents"}));
    sys.log.Clear();
    TickAt(0, 400);
    EXPECT_EQ(sys.log.Entries(),
              (std::vector<std::string>{"DoEvents", "DoEvents", "DoEvents", "window.Move(-1500,-1500)",
                                        "Timer2.Interval=100", "Timer2.Enabled=1"}));
    sys.log.Clear();
    TickAt(0, 400);  // parked, not at the edge: still the third pump, nothing called
    EXPECT_EQ(sys.log.Entries(), (std::vector<std::string>{"DoEvents", "DoEvents", "DoEvents"}));
}

TEST_F(PointerWatchTest, HandlersRunningInsideATickDoNoHarm) {
    Start("TOP", "TOP");
    // A command click inside the last pump parks the bar before the tick's own park.
    sys.pointer.y = 400;
    sys.pump.pending.push_back([] {});
    sys.pump.pending.push_back([] {});
    form->Timer1_Timer();
    ASSERT_FALSE(form->BarShown);

    form->GO_BarOn();
    sys.log.Clear();
    int pumps = 0;
    std::function<void()> clickOnThirdPump = [&] {
        if (++pumps < 3) {
            sys.pump.pending.push_back(clickOnThirdPump);
            return;
        }
        form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item("FIREWALL"));
    };
    sys.pump.pending.push_back(clickOnThirdPump);
    form->Timer1_Timer();
    EXPECT_EQ(sys.log.Count("window.Move(-1500,-1500)"), 1U) << "parked once, by the click";
    EXPECT_FALSE(form->BarShown);

    // A Timer2 tick or a recall inside a parked tick: the tick's own GO_BarOn finds the bar docked.
    sys.log.Clear();
    sys.pointer.y = 0;
    sys.pump.pending.push_back([&] { form->GO_BarOn(); });
    sys.pump.pending.push_back([&] { form->Timer2_Timer(); });
    form->Timer1_Timer();
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.log.Count("window.Move(0,0)"), 1U);
    EXPECT_EQ(sys.log.Count("window.SetWindowPos(Topmost)"), 1U);
}

TEST_F(PointerWatchTest, ExitClickedInsideATickEndsEverything) {
    Start("TOP", "TOP");
    sys.pointer.y = 400;
    sys.pump.pending.push_back([&] { form->cmdBar_ButtonClick(0, *form->cmdBar[0]->Buttons().Item("EXIT")); });
    form->Timer1_Timer();
    EXPECT_EQ(sys.log.Entries().back(), "process.End");
    EXPECT_EQ(sys.pointer.queries, 0);
    EXPECT_TRUE(form->BarShown) << "nothing parks after the end";
}

TEST_F(PointerWatchTest, TicksEveryTwoSecondsOnTheClock) {
    Start("TOP", "TOP");
    sys.pointer.y = 400;
    sys.clock.Advance(1999);
    EXPECT_TRUE(form->BarShown);
    sys.clock.Advance(1);
    EXPECT_FALSE(form->BarShown);
    sys.pointer.y = 2;
    sys.clock.Advance(2000);
    EXPECT_TRUE(form->BarShown);
    EXPECT_EQ(sys.pointer.queries, 2);
    // Touching the edge and leaving it between two ticks does nothing.
    sys.pointer.y = 400;
    sys.clock.Advance(2000);
    ASSERT_FALSE(form->BarShown);
    sys.pointer.y = 0;
    sys.clock.Advance(1000);
    sys.pointer.y = 400;
    sys.clock.Advance(1000);
    EXPECT_FALSE(form->BarShown);
}

TEST(PixelsToTwips, RoundsTheFloatingPointProductHalfToEven) {
    EXPECT_EQ(PixelsToTwips(7, 15.0F), 105);
    EXPECT_EQ(PixelsToTwips(-7, 15.0F), -105);
    EXPECT_EQ(PixelsToTwips(1, 14.5F), 14);
    EXPECT_EQ(PixelsToTwips(3, 14.5F), 44);
    EXPECT_EQ(PixelsToTwips(-1, 14.5F), -14);
    EXPECT_EQ(PixelsToTwips(1, 10.0F), 10);  // 144 DPI
    // 1440 / 120 DPI: 12; single-precision 14.4 is slightly below 14.4.
    EXPECT_EQ(PixelsToTwips(5, 14.4F), 72);
    EXPECT_EQ(PixelsToTwips(2147483647, 15.0F), 2147483647) << "clamped, not wrapped";
    EXPECT_EQ(PixelsToTwips(-2147483647 - 1, 15.0F), -2147483647 - 1);
}

TEST(PointerWatchDecision, OtherTwipsPerPixelMoveTheZones) {
    WatchInput in;
    in.pointerPosition = "TOP";
    in.y = PixelsToTwips(4, 10.0F);  // 144 DPI: 40 twips, still in the zone
    EXPECT_TRUE(PointerTouchesRecallEdge(in));
    in.y = PixelsToTwips(5, 10.0F);
    EXPECT_FALSE(PointerTouchesRecallEdge(in));
    in.toolbarPosition = "NOWHERE";
    EXPECT_FALSE(PointerLeftBand(in));
}

}  // namespace
}  // namespace nimbrel
